#pragma once
// Plain 8-bit forms of product texts, for the request documents and for folder names.

#include <string>

namespace qrnv {

// Appends to out: ASCII digits, letters, "." and " " as they are; a character of code 256
// or more as "~%d%c" with code / 255 and 'A' + code % 26; anything else below 256 nothing.
void ToAsciiName(const std::wstring& text, std::wstring& out);

// The text in the C runtime's default locale (U+0000..U+00FF as the same byte); when any
// character is above U+00FF, the ToAsciiName form of the whole text instead.
void ToMultiByteText(const std::wstring& text, std::string& out);

} // namespace qrnv
