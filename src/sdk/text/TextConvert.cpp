#include "sdk/text/TextConvert.h"

#include <cstdint>

namespace qrnv {

std::string ToCLocaleBytes(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto u = static_cast<std::uint32_t>(text[i]);
        out.push_back(u <= 0xFF ? static_cast<char>(u) : '?');
        // A character beyond the basic plane is one character in two UTF-16 units: one '?'.
        if constexpr (sizeof(wchar_t) == 2) {
            if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size()) {
                const auto next = static_cast<std::uint32_t>(text[i + 1]);
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    ++i;
                }
            }
        }
    }
    return out;
}

bool TryToCLocaleBytes(std::wstring_view text, std::string& out)
{
    std::string result;
    result.reserve(text.size());
    for (wchar_t c : text) {
        const auto u = static_cast<std::uint32_t>(c);
        if (u > 0xFF) {
            return false;
        }
        result.push_back(static_cast<char>(u));
    }
    out = std::move(result);
    return true;
}

std::string WideToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = static_cast<std::uint32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
                const std::uint32_t lo = static_cast<std::uint32_t>(text[i + 1]);
                if (lo >= 0xDC00 && lo <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    ++i;
                }
            }
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::wstring Utf8ToWide(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    auto push = [&out](std::uint32_t cp) {
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0x10000) {
                cp -= 0x10000;
                out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
                out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
                return;
            }
        }
        out.push_back(static_cast<wchar_t>(cp));
    };
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        int extra;
        std::uint32_t cp;
        if (b < 0x80) {
            push(b);
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3;
            cp = b & 0x07;
        } else {
            push(0xFFFD);
            ++i;
            continue;
        }
        if (i + static_cast<std::size_t>(extra) >= bytes.size()) {
            push(0xFFFD);
            ++i;
            continue;
        }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        const std::uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            push(0xFFFD);
            ++i;
            continue;
        }
        push(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

} // namespace qrnv
