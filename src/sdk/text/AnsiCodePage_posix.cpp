#include "sdk/text/TextConvert.h"

namespace qrnv {

// No ANSI code page here: Latin-1, each byte the character of the same value.
std::string WideToAnsi(std::wstring_view text)
{
    return ToCLocaleBytes(text);
}

std::wstring AnsiToWide(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    for (char b : bytes) {
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(b)));
    }
    return out;
}

} // namespace qrnv
