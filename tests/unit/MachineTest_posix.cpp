#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <cstdlib>
#include <string>

#include "Client/system/OsVersion.h"

namespace qrnv {
namespace {

class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : mName(name)
    {
        const char* old = std::getenv(name);
        mHad = old != nullptr;
        mOld = old ? old : "";
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedVariable()
    {
        if (mHad) {
            setenv(mName.c_str(), mOld.c_str(), 1);
        } else {
            unsetenv(mName.c_str());
        }
    }

private:
    std::string mName;
    bool mHad = false;
    std::string mOld;
};

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
        const ScopedVariable all("LC_ALL", c.all), messages("LC_MESSAGES", c.messages), lang("LANG", c.lang);
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
