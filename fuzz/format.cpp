// The printf-style formatter. Even inputs build one conversion from flags, width,
// precision, length and a value, as the program's formats are built ("%02d", "%-20s",
// "%.2f", "%04x", "%lu", "%lld", ...), and compare it with the C library's narrow printf,
// which means the same for these conversions once "l" is read as 32 bits. Odd inputs are
// any format with any arguments, through the formatter and the log front end: never a
// crash, undefined behaviour or an unbounded allocation.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Client/Log.h"
#include "FuzzSupport.h"
#include "sdk/text/Format.h"

namespace {

using namespace qrnv;

constexpr char kConversions[] = "diuxXosfeEgG";
// A modest "*" keeps the reference output small; extreme ones are for the odd inputs.
constexpr int kStarRange = 201;

std::string Reference(const std::string& conversion, wchar_t conv, int lengthBits, std::uint64_t bits, double real,
                      const std::string& text, const std::vector<int>& stars)
{
    std::string length = lengthBits == 16 ? "h" : lengthBits == 64 ? "ll" : "";
    std::string fmt = conversion + (std::strchr("diuxXo", static_cast<char>(conv)) ? length : "") + static_cast<char>(conv);
    std::vector<char> out(1 << 16);
    int a = stars.size() > 0 ? stars[0] : 0;
    int b = stars.size() > 1 ? stars[1] : 0;
    auto print = [&](auto value) {
        switch (stars.size()) {
        case 0: return std::snprintf(out.data(), out.size(), fmt.c_str(), value);
        case 1: return std::snprintf(out.data(), out.size(), fmt.c_str(), a, value);
        default: return std::snprintf(out.data(), out.size(), fmt.c_str(), a, b, value);
        }
    };
    int n = 0;
    const bool isSigned = conv == L'd' || conv == L'i';
    if (conv == L's') {
        n = print(text.c_str());
    } else if (std::strchr("fFeEgG", static_cast<char>(conv))) {
        n = print(real);
    } else if (lengthBits == 64) {
        n = isSigned ? print(static_cast<long long>(bits)) : print(static_cast<unsigned long long>(bits));
    } else if (lengthBits == 16) {
        n = isSigned ? print(static_cast<int>(static_cast<std::int16_t>(bits))) : print(static_cast<unsigned>(static_cast<std::uint16_t>(bits)));
    } else {
        n = isSigned ? print(static_cast<int>(static_cast<std::int32_t>(bits))) : print(static_cast<unsigned>(static_cast<std::uint32_t>(bits)));
    }
    FUZZ_CHECK(n >= 0 && static_cast<std::size_t>(n) < out.size());
    return std::string(out.data(), static_cast<std::size_t>(n));
}

void OneConversion(fuzz::Reader& in)
{
    const std::uint8_t flags = in.Byte();
    const std::uint8_t widthByte = in.Byte();
    const std::uint8_t precisionByte = in.Byte();
    const std::uint8_t lengthByte = in.Byte();
    const wchar_t conv = static_cast<wchar_t>(kConversions[in.Byte() % (sizeof kConversions - 1)]);
    const bool isText = conv == L's';
    const bool isReal = std::wcschr(L"fFeEgG", conv) != nullptr;

    std::string conversion = "%";
    if (flags & 1) conversion += '-';
    if (flags & 2) conversion += '+';
    if (flags & 4) conversion += ' ';
    // "%#.0o" of 0: C prints "0", Microsoft describes "#" for non-zero values only; the
    // program writes no "%#o", so that corner is left unchecked.
    if ((flags & 8) && conv != L'o') conversion += '#';
    if ((flags & 16) && !isText) conversion += '0'; // "0" with "%s" means nothing in C
    std::vector<int> stars;
    std::vector<FormatArg> args;
    if (widthByte & 0x80) {
        conversion += '*';
        stars.push_back(static_cast<int>(static_cast<std::int8_t>(in.Byte())) % kStarRange);
        args.emplace_back(stars.back());
    } else if (widthByte % 64 != 0) {
        conversion += std::to_string(widthByte % 64);
    }
    if (precisionByte & 0x80) {
        conversion += ".*";
        stars.push_back(static_cast<int>(static_cast<std::int8_t>(in.Byte())) % kStarRange);
        args.emplace_back(stars.back());
    } else if (precisionByte & 0x40) {
        // Long precisions of "%f" give digits beyond any fixed buffer.
        conversion += "." + std::to_string(isReal ? (precisionByte & 0x3F) * 13 : precisionByte & 0x3F);
    }
    const char* const lengths[] = {"", "h", "l", "ll", "I64", "I32"};
    const int lengthBitsOf[] = {32, 16, 32, 64, 64, 32};
    const std::size_t li = isText || isReal ? 0 : lengthByte % 6;
    const std::string wideSpec = conversion + lengths[li] + static_cast<char>(conv);

    const std::uint64_t bits = in.Number(8);
    double real = 0;
    std::memcpy(&real, &bits, sizeof real);
    std::string text;
    for (char c : in.Piece(80)) {
        text += c >= ' ' && c <= '~' ? c : '.';
    }
    const std::wstring wideText(text.begin(), text.end()); // FormatArg only views it
    if (isReal) {
        if (!std::isfinite(real)) {
            return; // the Windows library writes these its own way
        }
        args.emplace_back(real);
    } else if (isText) {
        args.emplace_back(wideText);
    } else {
        args.emplace_back(bits);
    }

    const std::wstring got = FormatTextV(std::wstring(wideSpec.begin(), wideSpec.end()), args);
    const std::string want = Reference(conversion, conv, lengthBitsOf[li], bits, real, text, stars);
    if (got != std::wstring(want.begin(), want.end())) {
        std::fprintf(stderr, "format \"%s\": got \"%s\", the C library gives \"%s\"\n", wideSpec.c_str(), fuzz::Shown(got).c_str(),
                     want.c_str());
        FUZZ_CHECK(got == std::wstring(want.begin(), want.end()));
    }
}

void AnyFormat(fuzz::Reader& in)
{
    const std::wstring format = Utf8ToWide(in.Piece(255));
    std::vector<std::wstring> texts;
    std::vector<FormatArg> args;
    const int count = in.Byte() % 9;
    texts.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::uint8_t kind = in.Byte() % 4;
        if (kind == 0) {
            args.emplace_back();
        } else if (kind == 1) {
            args.emplace_back(in.Number(8));
        } else if (kind == 2) {
            double real = 0;
            const std::uint64_t bits = in.Number(8);
            std::memcpy(&real, &bits, sizeof real);
            args.emplace_back(real);
        } else {
            texts.push_back(Utf8ToWide(in.Piece(255)));
            args.emplace_back(texts.back());
        }
    }
    const std::wstring out = FormatTextV(format, args);
    // Widths and precisions are held at 100000: the output stays bounded by the format.
    std::size_t textChars = 0;
    for (const auto& t : texts) {
        textChars += t.size();
    }
    FUZZ_CHECK(out.size() <= format.size() * 100400 + textChars);
    LogMessage(kLogLevelInfo, format, args);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::QuietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Reader in(data, size);
    if (in.Byte() % 2 == 0) {
        OneConversion(in);
    } else {
        AnyFormat(in);
    }
    return 0;
}
