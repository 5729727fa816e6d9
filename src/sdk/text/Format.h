#pragma once
// The project's printf-style formatter with the Windows meaning on every platform: %s is a
// wide text, %d/%u/%x/%lu are 32-bit unless "ll" or "I64" says 64, %c is a wide character.
// The C library's wide printf on Linux reads %s as a narrow string, so it is never used.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace qrnv {

// One argument of a format: an integer (kept 64-bit, cut to 32 bits where the format says
// so), a floating-point number, a wide text or nothing.
class FormatArg {
public:
    enum class Kind { None, Int, Double, Text };

    FormatArg() = default;
    template <class T>
        requires(std::is_integral_v<T> || std::is_enum_v<T>)
    FormatArg(T value) : mKind(Kind::Int), mInt(static_cast<std::uint64_t>(static_cast<std::int64_t>(value)))
    {
        if constexpr (std::is_integral_v<T> && std::is_unsigned_v<T>) {
            mInt = static_cast<std::uint64_t>(value);
        }
    }
    FormatArg(double value) : mKind(Kind::Double), mDouble(value) {}
    FormatArg(float value) : mKind(Kind::Double), mDouble(value) {}
    FormatArg(const wchar_t* text) : mKind(Kind::Text), mText(text ? std::wstring_view(text) : std::wstring_view()) {}
    FormatArg(const std::wstring& text) : mKind(Kind::Text), mText(text) {}
    FormatArg(std::wstring_view text) : mKind(Kind::Text), mText(text) {}

    Kind GetKind() const { return mKind; }
    std::uint64_t Bits() const { return mInt; }
    double Real() const { return mDouble; }
    std::wstring_view Text() const { return mText; }

private:
    Kind mKind = Kind::None;
    std::uint64_t mInt = 0;
    double mDouble = 0.0;
    std::wstring_view mText;
};

// Formats fmt with args. Conversions: d i u x X o c s p f e g, with flags "-+ #0", width,
// precision (also "*"), and the length modifiers h, l, ll, I64, I32, z, j, t. A conversion
// without an argument prints as 0 or empty; an unknown one is copied as it stands.
std::wstring FormatTextV(std::wstring_view fmt, std::span<const FormatArg> args);

template <class... A>
std::wstring FormatText(std::wstring_view fmt, const A&... args)
{
    const FormatArg list[] = {FormatArg(args)..., FormatArg()};
    return FormatTextV(fmt, std::span<const FormatArg>(list, sizeof...(A)));
}

} // namespace qrnv
