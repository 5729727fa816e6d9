#pragma once
// The named marker that other programs test for (such as "%s is visible"): it exists under
// its name from its creation until this process ends.

#include <string>

namespace qrnv {

// Creates the marker. When one of that name exists already (in this process or another):
// error "SetEvent \"%s\" failed because event already exist!" and false. Any other failure:
// false without a log line. Otherwise info "SetEvent \"%s\" succeeded!" and true.
// Windows: a manual-reset event, never signalled, whose handle stays open. POSIX: a Unix
// socket in the abstract namespace bound to the name, whose descriptor stays open.
bool CreateNamedEvent(const std::wstring& name);

// True when a marker of that name exists now, in any process.
bool NamedEventExists(const std::wstring& name);

} // namespace qrnv
