#pragma once
// Command lines as text, split and built by the rules of the Windows C runtime, so that a
// program gets the same arguments on every platform.

#include <string>
#include <string_view>
#include <vector>

namespace qrnv {

// White space separates arguments; double quotes group; 2n backslashes before a quote give
// n backslashes and the quote groups, 2n+1 give n and a literal quote; "" inside a quoted
// part gives a literal quote. With programFirst the first argument is the program's path,
// which the runtime takes without backslash rules: up to the closing quote or a blank.
std::vector<std::wstring> SplitCommandLine(std::wstring_view line, bool programFirst = false);

// One argument quoted so that SplitCommandLine gives it back unchanged.
std::wstring QuoteArgument(std::wstring_view argument);

// Arguments joined with blanks, each quoted where needed.
std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments);

} // namespace qrnv
