#include "Client/system/AsciiName.h"

#include "sdk/text/Format.h"
#include "sdk/text/TextConvert.h"

namespace qrnv {

void ToAsciiName(const std::wstring& text, std::wstring& out)
{
    for (wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if ((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'.' || c == L' ') {
            out.push_back(c);
        } else if (code >= 256) {
            out += FormatText(L"~%d%c", static_cast<int>(code / 255), static_cast<wchar_t>(L'A' + code % 26));
        }
    }
}

void ToMultiByteText(const std::wstring& text, std::string& out)
{
    if (TryToCLocaleBytes(text, out)) {
        return;
    }
    std::wstring reduced;
    ToAsciiName(text, reduced);
    out = ToCLocaleBytes(reduced);
}

} // namespace qrnv
