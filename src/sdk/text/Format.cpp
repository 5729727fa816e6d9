#include "sdk/text/Format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace qrnv {
namespace {

// Widths and precisions are held here, written or given by "*": a hostile value must not
// make one conversion allocate gigabytes.
constexpr int kMaxFieldChars = 100000;

struct Conversion {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = 0;
    int precision = -1;
    int lengthBits = 32; // 16, 32 or 64
    wchar_t conv = 0;
};

std::wstring Pad(std::wstring body, const Conversion& s, bool numeric, std::wstring_view prefix)
{
    // prefix: sign or "0x" that zero padding goes after.
    const std::size_t len = prefix.size() + body.size();
    if (s.width > 0 && len < static_cast<std::size_t>(s.width)) {
        const std::size_t fill = static_cast<std::size_t>(s.width) - len;
        if (s.left) {
            return std::wstring(prefix) + body + std::wstring(fill, L' ');
        }
        if (s.zero && numeric) {
            return std::wstring(prefix) + std::wstring(fill, L'0') + body;
        }
        return std::wstring(fill, L' ') + std::wstring(prefix) + body;
    }
    return std::wstring(prefix) + body;
}

std::wstring Digits(std::uint64_t v, unsigned base, bool upper)
{
    const wchar_t* set = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring out;
    do {
        out.insert(out.begin(), set[v % base]);
        v /= base;
    } while (v != 0);
    return out;
}

// A real number given for an integer conversion: its value toward zero, held within 64
// bits, NaN as 0. The plain cast is undefined outside that range.
std::int64_t TruncatedReal(double v)
{
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= 9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (v < -9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(v);
}

std::wstring FormatInteger(const Conversion& s, const FormatArg* arg)
{
    std::uint64_t bits = arg && arg->GetKind() == FormatArg::Kind::Int ? arg->Bits() : 0;
    if (arg && arg->GetKind() == FormatArg::Kind::Double) {
        bits = static_cast<std::uint64_t>(TruncatedReal(arg->Real()));
    }
    const bool isSigned = s.conv == L'd' || s.conv == L'i';
    std::wstring prefix;
    std::uint64_t magnitude;
    if (isSigned) {
        std::int64_t v;
        if (s.lengthBits == 64) {
            v = static_cast<std::int64_t>(bits);
        } else if (s.lengthBits == 16) {
            v = static_cast<std::int16_t>(bits);
        } else {
            v = static_cast<std::int32_t>(bits);
        }
        if (v < 0) {
            prefix = L"-";
            magnitude = 0 - static_cast<std::uint64_t>(v);
        } else {
            prefix = s.plus ? L"+" : (s.space ? L" " : L"");
            magnitude = static_cast<std::uint64_t>(v);
        }
    } else {
        if (s.lengthBits == 64) {
            magnitude = bits;
        } else if (s.lengthBits == 16) {
            magnitude = static_cast<std::uint16_t>(bits);
        } else {
            magnitude = static_cast<std::uint32_t>(bits);
        }
    }
    unsigned base = 10;
    bool upper = false;
    if (s.conv == L'x' || s.conv == L'X' || s.conv == L'p') {
        base = 16;
        upper = s.conv != L'x';
    } else if (s.conv == L'o') {
        base = 8;
    }
    std::wstring body = (s.precision == 0 && magnitude == 0) ? std::wstring() : Digits(magnitude, base, upper);
    if (s.conv == L'p') {
        // Windows prints pointers as a full-width upper-case field.
        const std::size_t width = sizeof(void*) * 2;
        if (body.size() < width) {
            body.insert(0, width - body.size(), L'0');
        }
    }
    if (s.precision > 0 && body.size() < static_cast<std::size_t>(s.precision)) {
        body.insert(0, static_cast<std::size_t>(s.precision) - body.size(), L'0');
    }
    if (s.alt && magnitude != 0) {
        if (base == 16) {
            prefix = s.conv == L'x' ? L"0x" : L"0X";
        } else if (base == 8 && (body.empty() || body[0] != L'0')) {
            body.insert(0, 1, L'0');
        }
    }
    // A precision switches zero padding off, as in every C library.
    Conversion padding = s;
    if (s.precision >= 0) {
        padding.zero = false;
    }
    return Pad(body, padding, true, prefix);
}

std::wstring FormatReal(const Conversion& s, const FormatArg* arg)
{
    double v = 0.0;
    if (arg && arg->GetKind() == FormatArg::Kind::Double) {
        v = arg->Real();
    } else if (arg && arg->GetKind() == FormatArg::Kind::Int) {
        v = static_cast<double>(static_cast<std::int64_t>(arg->Bits()));
    }
    // The narrow snprintf is locale-free for these digits in the "C" locale the program
    // runs in; only its digits are taken, flags and width are applied here.
    char fmt[16];
    const int precision = s.precision < 0 ? 6 : s.precision;
    const char conv = static_cast<char>(s.conv);
    std::snprintf(fmt, sizeof fmt, "%%%s.%d%c", s.alt ? "#" : "", precision, conv);
    // Sized from the first answer: a large number or precision has hundreds of digits.
    const double mag = std::signbit(v) ? -v : v;
    std::string buf(64, '\0');
    int n = std::snprintf(buf.data(), buf.size(), fmt, mag);
    if (n >= static_cast<int>(buf.size())) {
        buf.resize(static_cast<std::size_t>(n) + 1);
        n = std::snprintf(buf.data(), buf.size(), fmt, mag);
    }
    if (n < 0) {
        n = 0;
    }
    std::wstring body;
    body.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n && i < static_cast<int>(buf.size()) - 1; ++i) {
        body.push_back(static_cast<unsigned char>(buf[i]));
    }
    std::wstring prefix = std::signbit(v) && !std::isnan(v) ? L"-" : (s.plus ? L"+" : (s.space ? L" " : L""));
    return Pad(body, s, std::isfinite(v), prefix);
}

std::wstring FormatString(const Conversion& s, const FormatArg* arg)
{
    std::wstring_view text;
    if (arg && arg->GetKind() == FormatArg::Kind::Text) {
        text = arg->Text();
    }
    if (s.precision >= 0 && text.size() > static_cast<std::size_t>(s.precision)) {
        text = text.substr(0, static_cast<std::size_t>(s.precision));
    }
    return Pad(std::wstring(text), s, false, L"");
}

std::wstring FormatChar(const Conversion& s, const FormatArg* arg)
{
    std::wstring body;
    if (arg && arg->GetKind() == FormatArg::Kind::Int) {
        const wchar_t c = static_cast<wchar_t>(arg->Bits() & (sizeof(wchar_t) == 2 ? 0xFFFFu : 0x1FFFFFu));
        if (c != 0) {
            body.push_back(c);
        }
    }
    return Pad(body, s, false, L"");
}

} // namespace

std::wstring FormatTextV(std::wstring_view fmt, std::span<const FormatArg> args)
{
    std::wstring out;
    out.reserve(fmt.size() + 16);
    std::size_t next = 0;
    auto take = [&]() -> const FormatArg* { return next < args.size() ? &args[next++] : nullptr; };
    auto takeInt = [&]() -> int {
        const FormatArg* a = take();
        return a && a->GetKind() == FormatArg::Kind::Int ? static_cast<int>(static_cast<std::int32_t>(a->Bits())) : 0;
    };

    for (std::size_t i = 0; i < fmt.size(); ++i) {
        const wchar_t c = fmt[i];
        if (c != L'%') {
            out.push_back(c);
            continue;
        }
        const std::size_t start = i;
        if (i + 1 >= fmt.size()) {
            out.push_back(c); // a lone "%" at the end stays as it is
            break;
        }
        if (fmt[i + 1] == L'%') {
            out.push_back(L'%');
            ++i;
            continue;
        }
        Conversion s;
        std::size_t j = i + 1;
        for (; j < fmt.size(); ++j) {
            const wchar_t f = fmt[j];
            if (f == L'-') s.left = true;
            else if (f == L'+') s.plus = true;
            else if (f == L' ') s.space = true;
            else if (f == L'#') s.alt = true;
            else if (f == L'0') s.zero = true;
            else break;
        }
        if (j < fmt.size() && fmt[j] == L'*') {
            // A negative width means "-" and its size; INT_MIN has a size too.
            const std::int64_t width = takeInt();
            if (width < 0) {
                s.left = true;
            }
            s.width = static_cast<int>(std::min<std::int64_t>(width < 0 ? -width : width, kMaxFieldChars));
            ++j;
        } else {
            while (j < fmt.size() && fmt[j] >= L'0' && fmt[j] <= L'9') {
                s.width = s.width * 10 + (fmt[j] - L'0');
                if (s.width > kMaxFieldChars) s.width = kMaxFieldChars;
                ++j;
            }
        }
        if (j < fmt.size() && fmt[j] == L'.') {
            ++j;
            s.precision = 0;
            if (j < fmt.size() && fmt[j] == L'*') {
                // Negative: as if none was given.
                s.precision = std::min(takeInt(), kMaxFieldChars);
                ++j;
            } else {
                while (j < fmt.size() && fmt[j] >= L'0' && fmt[j] <= L'9') {
                    s.precision = s.precision * 10 + (fmt[j] - L'0');
                    if (s.precision > kMaxFieldChars) s.precision = kMaxFieldChars;
                    ++j;
                }
            }
        }
        // Length modifiers; "l" is 32 bits on Windows.
        while (j < fmt.size()) {
            const wchar_t m = fmt[j];
            if (m == L'h') {
                s.lengthBits = 16;
                ++j;
                if (j < fmt.size() && fmt[j] == L'h') ++j;
            } else if (m == L'l') {
                ++j;
                if (j < fmt.size() && fmt[j] == L'l') {
                    s.lengthBits = 64;
                    ++j;
                }
            } else if (m == L'I' && fmt.substr(j, 3) == L"I64") {
                s.lengthBits = 64;
                j += 3;
            } else if (m == L'I' && fmt.substr(j, 3) == L"I32") {
                s.lengthBits = 32;
                j += 3;
            } else if (m == L'z' || m == L'j' || m == L't' || m == L'I') {
                s.lengthBits = sizeof(void*) == 8 ? 64 : 32;
                ++j;
            } else if (m == L'w' || m == L'L') {
                ++j;
            } else {
                break;
            }
        }
        if (j >= fmt.size()) {
            out.append(fmt.substr(start));
            break;
        }
        s.conv = fmt[j];
        switch (s.conv) {
        case L'd': case L'i': case L'u': case L'x': case L'X': case L'o':
            out += FormatInteger(s, take());
            break;
        case L'p':
            s.lengthBits = sizeof(void*) == 8 ? 64 : 32;
            out += FormatInteger(s, take());
            break;
        case L'f': case L'F': case L'e': case L'E': case L'g': case L'G':
            out += FormatReal(s, take());
            break;
        case L's': case L'S':
            out += FormatString(s, take());
            break;
        case L'c': case L'C':
            out += FormatChar(s, take());
            break;
        default:
            // Unknown conversion: copied as it stands, consuming nothing.
            out.append(fmt.substr(start, j - start + 1));
            break;
        }
        i = j;
    }
    return out;
}

} // namespace qrnv
