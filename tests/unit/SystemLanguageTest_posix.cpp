#include <gtest/gtest.h>

#include "Client/system/OsVersion.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

// The system's default language comes from the locale environment here.
TEST(SystemLanguage, TheLocaleEnvironmentGivesTheLanguage)
{
    const std::wstring saved[] = {test::GetEnv(L"LC_ALL"), test::GetEnv(L"LC_MESSAGES"), test::GetEnv(L"LANG")};
    struct Case {
        const wchar_t *all, *messages, *lang;
        int language;
    };
    const Case cases[] = {
        {L"de_DE.UTF-8", L"", L"", 1031},
        {L"ja_JP.UTF-8", L"", L"", 1041},
        {L"fr_FR.UTF-8", L"", L"", 1033},
        {L"C", L"de_DE", L"de_DE", 1033},
        {L"", L"ja_JP", L"de_DE", 1041},
        {L"", L"", L"de_AT.UTF-8", 1031},
        {L"", L"", L"", 1033},
    };
    for (const auto& c : cases) {
        test::SetEnv(L"LC_ALL", c.all);
        test::SetEnv(L"LC_MESSAGES", c.messages);
        test::SetEnv(L"LANG", c.lang);
        EXPECT_EQ(c.language, GetSystemDefaultLanguage())
            << test::Narrow(c.all) << "|" << test::Narrow(c.messages) << "|" << test::Narrow(c.lang);
    }
    test::SetEnv(L"LC_ALL", saved[0]);
    test::SetEnv(L"LC_MESSAGES", saved[1]);
    test::SetEnv(L"LANG", saved[2]);
}

} // namespace
} // namespace qrnv
