#include "RegistrySandbox.h"

namespace qrnv::test {

// Under Wine the prefix of the test run holds the registry; nothing to relocate.
void RegistrySandbox::BeginStore() {}
void RegistrySandbox::EndStore() {}

} // namespace qrnv::test
