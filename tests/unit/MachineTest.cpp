#include <gtest/gtest.h>

#include <cwctype>

#include "Client/system/MacAddress.h"
#include "Client/system/OsVersion.h"

namespace qrnv {
namespace {

TEST(MacAddress, SixBytesInUpperCaseHexWithoutLeadingZeros)
{
    EXPECT_EQ(L"0:1A:2B:3:4C:5D", FormatMacAddress({0x00, 0x1A, 0x2B, 0x03, 0x4C, 0x5D}));
    EXPECT_EQ(L"FF:FF:FF:FF:FF:FF", FormatMacAddress({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(MacAddress, TheFirstAdapterThatIsUpWithIpv4Counts)
{
    AdapterFacts down{false, false, true, true, {1, 1, 1, 1, 1, 1}};
    AdapterFacts loopback{true, true, true, true, {2, 2, 2, 2, 2, 2}};
    AdapterFacts noIpv4{true, false, false, true, {3, 3, 3, 3, 3, 3}};
    AdapterFacts noAddress{true, false, true, false, {}};
    AdapterFacts good{true, false, true, true, {0xA, 0, 0, 0, 0, 4}};
    AdapterFacts later{true, false, true, true, {5, 5, 5, 5, 5, 5}};
    EXPECT_EQ(L"A:0:0:0:0:4", ChooseMacAddress({down, loopback, noIpv4, noAddress, good, later}));
    // The only connected adapter has no IPv4 address: nothing.
    EXPECT_FALSE(ChooseMacAddress({down, noIpv4}));
    EXPECT_FALSE(ChooseMacAddress({}));
}

TEST(MacAddress, TheMachinesAddressIsWellFormedAndKept)
{
    std::wstring first;
    if (!GetMacAddress(first)) {
        GTEST_SKIP() << "this machine has no adapter that is up with an IPv4 address";
    }
    int groups = 1;
    for (wchar_t c : first) {
        if (c == L':') {
            ++groups;
        } else {
            EXPECT_TRUE(std::iswxdigit(c) && !std::iswlower(c)) << first;
        }
    }
    EXPECT_EQ(6, groups) << first;
    std::wstring second = L"other";
    EXPECT_TRUE(GetMacAddress(second));
    EXPECT_EQ(first, second);
}

TEST(OsVersion, TheKernelVersionIsRead)
{
    OsVersionInfo record;
    record.mServicePack = L"left over";
    ASSERT_EQ(0, GetOsVersion(record));
    EXPECT_GE(record.mMajorVersion, 1u);
    EXPECT_GE(record.mProductType, 1u);
    EXPECT_LE(record.mProductType, 3u);
}

TEST(OsVersion, LocaleNamesGiveTheThreeLanguages)
{
    struct Case {
        const char* locale;
        std::int32_t language;
    };
    const Case cases[] = {
        {"de_DE.UTF-8", 1031}, {"de_AT", 1031}, {"de", 1031},       {"de@euro", 1031}, {"ja_JP.UTF-8", 1041},
        {"ja", 1041},          {"en_US", 1033}, {"C.UTF-8", 1033}, {"dea_XX", 1033},  {"", 1033},
        {"fr_FR", 1033},       {"jade", 1033},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.language, LanguageOfLocaleName(c.locale)) << c.locale;
    }
}

TEST(OsVersion, KernelReleasesGiveTheirNumbers)
{
    struct Case {
        const char* release;
        std::uint32_t major, minor, build;
    };
    const Case cases[] = {
        {"6.1.0-18-amd64", 6, 1, 0}, {"5.15.153.1-microsoft", 5, 15, 153}, {"6.18", 6, 18, 0},
        {"4", 4, 0, 0},              {"", 0, 0, 0},                         {"x.1", 0, 0, 0},
        {"7.x.3", 7, 0, 0},          {"99999999999.2", 0xFFFFFFFFu, 2, 0},
    };
    for (const auto& c : cases) {
        OsVersionInfo record;
        ParseKernelRelease(c.release, record);
        EXPECT_EQ(c.major, record.mMajorVersion) << c.release;
        EXPECT_EQ(c.minor, record.mMinorVersion) << c.release;
        EXPECT_EQ(c.build, record.mBuildNumber) << c.release;
    }
}

TEST(OsVersion, ThisTestIsNoThirtyTwoBitProcessOnSixtyFourBitWindows)
{
    // The tests run as 64-bit programs (win64 under wine64, or natively); only the shipped
    // 32-bit program runs under WOW64.
    static_assert(sizeof(void*) == 8, "the test builds are 64-bit");
    EXPECT_FALSE(RunsAsWow64());
}

} // namespace
} // namespace qrnv
