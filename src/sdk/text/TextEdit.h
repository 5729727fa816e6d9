#pragma once
// Small edits of wide texts that several modules share.

#include <string>
#include <string_view>

namespace qrnv {

// Every occurrence of what, scanning left to right, replaced by with. An empty what
// changes nothing.
std::wstring ReplaceAll(std::wstring text, std::wstring_view what, std::wstring_view with);

} // namespace qrnv
