#include <gtest/gtest.h>

#include <climits>
#include <limits>

#include "sdk/text/Format.h"

namespace qrnv {
namespace {

struct FormatCase {
    const wchar_t* format;
    std::wstring expected;
    std::wstring actual;
};

// Every format the program writes, as Windows' wide printf prints it.
TEST(Format, FormatsOfTheProgramComeOutAsOnWindows)
{
    const FormatCase cases[] = {
        {L"%02lu.%02lu.%04lu %02lu:%02lu:%02lu:%03lu", L"09.12.2026 03:01:09:007", FormatText(L"%02lu.%02lu.%04lu %02lu:%02lu:%02lu:%03lu", 9u, 12u, 2026u, 3u, 1u, 9u, 7u)},
        {L"%-20s %s", L"09.12.2026 23:31:39:123 AUD: x", FormatText(L"%-20s %s", L"09.12.2026 23:31:39:123", L"AUD: x")},
        {L"%-20s short", L"ab                   |", FormatText(L"%-20s |", L"ab")},
        {L"%s: %s%s", L"INF: QRNV:", FormatText(L"%s: %s%s", L"INF", L"QRNV", L":")},
        {L"[08%x]", L"[081a2c] m", FormatText(L"[08%x] %s", 0x1A2Cu, L"m")},
        {L"%d%02d%02d", L"20240307", FormatText(L"%d%02d%02d", 2024, 3, 7)},
        {L"%d negative", L"-1", FormatText(L"%d", -1)},
        {L"%u of -1", L"4294967295", FormatText(L"%u", -1)},
        {L"%x of -1", L"ffffffff", FormatText(L"%x", -1)},
        {L"%X", L"1A", FormatText(L"%X", 26)},
        {L"%lld", L"1733952000123", FormatText(L"%lld", 1733952000123LL)},
        {L"%d cuts to 32 bits", L"-2147483648", FormatText(L"%d", 0x80000000LL)},
        {L"%.2f KB", L"1.50 KB", FormatText(L"%.2f KB", 1.5f)},
        {L"%.2f GB", L"1.00 GB", FormatText(L"%.2f GB", 1.0)},
        {L"%2d blank pad", L" 5", FormatText(L"%2d", 5)},
        {L"%d.%2d.%2d", L"2026. 1. 5", FormatText(L"%d.%2d.%2d", 2026, 1, 5)},
        {L"%%%2x low", L"% a", FormatText(L"%%%2x", 10)},
        {L"%%%2x high", L"%3042", FormatText(L"%%%2x", 0x3042)},
        {L"%c", L"S", FormatText(L"%c", L'S')},
        {L"~%d%c", L"~32S", FormatText(L"~%d%c", 32, static_cast<wchar_t>(L'A' + 8364 % 26))},
        {L"%s wide", L"Gr\u00fc\u00dfe \u4e0d\u660e", FormatText(L"%s", L"Gr\u00fc\u00dfe \u4e0d\u660e")},
        {L"\"%s\" (%d)", L"\"x\" (5)", FormatText(L"\"%s\" (%d)", std::wstring(L"x"), 5)},
        {L" (%lu)", L" (12029)", FormatText(L" (%lu)", 12029ul)},
        {L"%%", L"100%", FormatText(L"100%%")},
        {L"%s%s %lld", L"ab 17", FormatText(L"%s%s %lld", L"a", L"b", 17LL)},
        {L"%5.1f", L"  2.5", FormatText(L"%5.1f", 2.5)},
        {L"%-5d|", L"42   |", FormatText(L"%-5d|", 42)},
        {L"%05d", L"-0042", FormatText(L"%05d", -42)},
        {L"%.3s", L"abc", FormatText(L"%.3s", L"abcdef")},
        {L"%I64d", L"-5000000000", FormatText(L"%I64d", -5000000000LL)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, c.actual) << "format: " << c.format;
    }
}

TEST(Format, MissingArgumentsAndOddFormatsAreSafe)
{
    EXPECT_EQ(L"a  0", FormatText(L"a %s %d"));
    EXPECT_EQ(L"ends with %", FormatText(L"ends with %"));
    EXPECT_EQ(L"%q stays", FormatText(L"%q stays"));
    EXPECT_EQ(L"%l", FormatText(L"%l"));
    EXPECT_EQ(L"", FormatText(L"%s", static_cast<const wchar_t*>(nullptr)));
    // A number where a text is expected prints nothing instead of reading memory.
    EXPECT_EQ(L"[]", FormatText(L"[%s]", 42));
}

// A real number for an integer conversion: toward zero, held within 64 bits, NaN as 0; and
// a precision with more digits than a small buffer holds comes out whole.
TEST(Format, RealNumbersGiveDefinedIntegersAndAllTheirDigits)
{
    const FormatCase cases[] = {
        {L"%lld of NaN", L"0", FormatText(L"%lld", std::numeric_limits<double>::quiet_NaN())},
        {L"%lld of 1e300", L"9223372036854775807", FormatText(L"%lld", 1e300)},
        {L"%lld of -1e300", L"-9223372036854775808", FormatText(L"%lld", -1e300)},
        {L"%d of -2.9", L"-2", FormatText(L"%d", -2.9)},
        {L"%.600f", L"0.5" + std::wstring(599, L'0'), FormatText(L"%.600f", 0.5)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, c.actual) << "format: " << c.format;
    }
}

// "*" widths and precisions are held at 100000 like written ones; INT_MIN means "-" too.
TEST(Format, StarWidthsAndPrecisionsAreBounded)
{
    const FormatCase cases[] = {
        {L"%*d| with INT_MIN", L"5" + std::wstring(99999, L' ') + L"|", FormatText(L"%*d|", INT_MIN, 5)},
        {L"%*d with INT_MAX", std::wstring(99999, L' ') + L"7", FormatText(L"%*d", INT_MAX, 7)},
        {L"%.*d with INT_MAX", std::wstring(99999, L'0') + L"7", FormatText(L"%.*d", INT_MAX, 7)},
        {L"%.*s negative is none", L"abc", FormatText(L"%.*s", -1, L"abc")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, c.actual) << "format: " << c.format;
    }
}

} // namespace
} // namespace qrnv
