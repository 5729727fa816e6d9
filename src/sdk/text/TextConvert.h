#pragma once
// Conversions between the program's wide texts and bytes.

#include <string>
#include <string_view>

namespace qrnv {

// The C runtime's default ("C") locale: U+0000..U+00FF become the byte of the same value.
// A character above U+00FF cannot be converted; it is written as '?'.
std::string ToCLocaleBytes(std::wstring_view text);

// Strict form of the above: false (and out untouched) when any character is above U+00FF.
bool TryToCLocaleBytes(std::wstring_view text, std::string& out);

// The system's ANSI code page (Windows); Latin-1 elsewhere, each byte the character of the
// same value.
std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view bytes);

// UTF-8, for file system paths and arguments on POSIX. Invalid input bytes become U+FFFD.
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view bytes);

} // namespace qrnv
