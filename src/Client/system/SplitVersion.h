#pragma once

#include <string>

#include "Client/VersionParts.h"

namespace qrnv {

// "10.0.29" gives 10, 0 and 29; "4.10.16.123" gives 4, 10 and 16.123. False when the text
// has fewer than two dots; the parts found before that stay set.
bool SplitVersion(const std::wstring& version, VersionParts& parts);

} // namespace qrnv
