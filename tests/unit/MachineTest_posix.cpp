#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <memory>
#include <string>

#include "Client/system/OsVersion.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

// A locale variable for the case: unset (nullptr), empty or a name.
std::unique_ptr<test::ScopedVariable> Locale(const wchar_t* name, const char* value)
{
    if (!value) {
        return std::make_unique<test::ScopedVariable>(name, nullptr);
    }
    return std::make_unique<test::ScopedVariable>(name, test::Widen(value));
}

TEST(OsVersion, TheDefaultLanguageFollowsTheLocaleVariablesInOrder)
{
    struct Case {
        const char* all;
        const char* messages;
        const char* lang;
        std::int32_t language;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, 1033},
        {nullptr, nullptr, "de_DE.UTF-8", 1031},
        {nullptr, "ja_JP.UTF-8", "de_DE.UTF-8", 1041},
        {"en_GB.UTF-8", "ja_JP.UTF-8", "de_DE.UTF-8", 1033},
        {"", "", "ja_JP", 1041},
    };
    for (const auto& c : cases) {
        const auto all = Locale(L"LC_ALL", c.all), messages = Locale(L"LC_MESSAGES", c.messages),
                   lang = Locale(L"LANG", c.lang);
        EXPECT_EQ(c.language, GetSystemDefaultLanguage()) << (c.all ? c.all : "-") << (c.messages ? c.messages : "-")
                                                          << (c.lang ? c.lang : "-");
    }
}

TEST(OsVersion, ThePosixRecordIsTheKernelsReleaseAsAWorkstation)
{
    utsname name;
    ASSERT_EQ(0, uname(&name));
    OsVersionInfo expected;
    ParseKernelRelease(name.release, expected);
    OsVersionInfo record;
    ASSERT_EQ(0, GetOsVersion(record));
    EXPECT_EQ(expected.mMajorVersion, record.mMajorVersion);
    EXPECT_EQ(expected.mMinorVersion, record.mMinorVersion);
    EXPECT_EQ(expected.mBuildNumber, record.mBuildNumber);
    EXPECT_EQ(kProductTypeWorkstation, record.mProductType);
    EXPECT_FALSE(RunsAsWow64());
}

} // namespace
} // namespace qrnv
