#include <gtest/gtest.h>

#include <cwctype>
#include <optional>

#include "Client/Settings.h"
#include "Client/system/Registry.h"
#include "RegistrySandbox.h"

namespace qrnv {
namespace {

// The settings keys as the calling product and the tools name them, written out in full.
const std::wstring kBase = L"Software\\Quarn\\Quarn Renova";

class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        mInfo.mProgramName = mSandbox.UniqueProductName(L"Quarn Tool");
        mInfo.mProgramVersion = L"1.2.3";
        mProductKey = kBase + L"\\" + mInfo.mProgramName;
        mVersionKey = mProductKey + L"\\1.2.3";
        // Values of the shared base key that the tests set.
        for (const wchar_t* name : {L"Debug", L"DebugUrl_v2", L"DebugBannerDownloadUrl_v2"}) {
            mSandbox.KeepValue(RegHive::CurrentUser, kBase, name);
        }
    }

    static bool KeyExists(RegHive hive, const std::wstring& path)
    {
        RegKey key;
        return key.Open(hive, path, RegView::Registry64, false);
    }
    static std::optional<std::wstring> Text(RegHive hive, const std::wstring& path, const std::wstring& name)
    {
        RegKey key;
        std::wstring text;
        if (key.Open(hive, path, RegView::Registry64, false) && key.ReadText(name, text, 4096)) {
            return text;
        }
        return std::nullopt;
    }
    static std::optional<std::uint32_t> Number(RegHive hive, const std::wstring& path, const std::wstring& name)
    {
        RegKey key;
        std::uint32_t number = 0;
        if (key.Open(hive, path, RegView::Registry64, false) && key.ReadNumber(name, number)) {
            return number;
        }
        return std::nullopt;
    }
    static void PutText(RegHive hive, const std::wstring& path, const std::wstring& name, const std::wstring& value)
    {
        RegKey key;
        ASSERT_TRUE(key.Create(hive, path, RegView::Registry64));
        ASSERT_TRUE(key.WriteText(name, value));
    }
    static void PutNumber(RegHive hive, const std::wstring& path, const std::wstring& name, std::uint32_t value)
    {
        RegKey key;
        ASSERT_TRUE(key.Create(hive, path, RegView::Registry64));
        ASSERT_TRUE(key.WriteNumber(name, value));
    }
    static void Remove(RegHive hive, const std::wstring& path, const std::wstring& name)
    {
        RegKey key;
        if (key.Open(hive, path, RegView::Registry64, true)) {
            key.DeleteValue(name);
        }
    }

    test::RegistrySandbox mSandbox;
    ProgramInfo mInfo;
    std::wstring mProductKey;
    std::wstring mVersionKey;
};

TEST(SettingsKeys, AreTheBaseKeyThenProgramNameThenVersion)
{
    ProgramInfo info;
    info.mProgramName = L"Quarn Tool";
    info.mProgramVersion = L"1.2.3";
    EXPECT_EQ(L"Software\\Quarn\\Quarn Renova", std::wstring(kSettingsBaseKeyPath));
    EXPECT_EQ(L"Software\\Quarn\\Quarn Renova\\Quarn Tool", ProductKeyPath(info));
    EXPECT_EQ(L"Software\\Quarn\\Quarn Renova\\Quarn Tool\\1.2.3", ProductVersionKeyPath(info));
}

TEST_F(Settings, LastUpdateCheckLivesInTheMachineVersionKey)
{
    std::wstring text;
    EXPECT_FALSE(ReadLastUpdateCheck(mInfo, text));

    SetLastUpdateCheck(mInfo, 1733952000);
    EXPECT_EQ(L"1733952000", Text(RegHive::LocalMachine, mVersionKey, L"LastUpdateCheck"));
    EXPECT_EQ(std::nullopt, Text(RegHive::CurrentUser, mVersionKey, L"LastUpdateCheck"));
    EXPECT_EQ(std::nullopt, Text(RegHive::LocalMachine, mProductKey, L"LastUpdateCheck"));
    EXPECT_TRUE(ReadLastUpdateCheck(mInfo, text));
    EXPECT_EQ(L"1733952000", text);

    // The time is 64-bit.
    SetLastUpdateCheck(mInfo, 1LL << 40);
    EXPECT_TRUE(ReadLastUpdateCheck(mInfo, text));
    EXPECT_EQ(L"1099511627776", text);

    ResetLastUpdateCheck(mInfo);
    EXPECT_TRUE(ReadLastUpdateCheck(mInfo, text));
    EXPECT_EQ(L"0", text);
}

TEST_F(Settings, LastUpdateCheckOfAnotherTypeCannotBeRead)
{
    PutNumber(RegHive::LocalMachine, mVersionKey, L"LastUpdateCheck", 1733952000);
    std::wstring text = L"untouched";
    EXPECT_FALSE(ReadLastUpdateCheck(mInfo, text));
    EXPECT_EQ(L"untouched", text);
}

TEST_F(Settings, AStubStampsNoCheckTime)
{
    mInfo.mIsStubExe = 1;
    SetLastUpdateCheck(mInfo, 1733952000);
    ResetLastUpdateCheck(mInfo);
    EXPECT_FALSE(KeyExists(RegHive::LocalMachine, mProductKey));
}

TEST_F(Settings, UpdateResultGoesToBothUserKeys)
{
    StoreUpdateResult(mInfo, 1, L"Update verf\u00fcgbar");
    for (const auto& path : {mProductKey, mVersionKey}) {
        EXPECT_EQ(1u, Number(RegHive::CurrentUser, path, L"UpdateResult")) << path;
        EXPECT_EQ(L"Update verf\u00fcgbar", Text(RegHive::CurrentUser, path, L"UpdateResultString")) << path;
        EXPECT_EQ(std::nullopt, Number(RegHive::LocalMachine, path, L"UpdateResult")) << path;
    }
    ClearUpdateResult(mInfo);
    for (const auto& path : {mProductKey, mVersionKey}) {
        EXPECT_EQ(std::nullopt, Number(RegHive::CurrentUser, path, L"UpdateResult")) << path;
        EXPECT_EQ(std::nullopt, Text(RegHive::CurrentUser, path, L"UpdateResultString")) << path;
    }
}

TEST_F(Settings, ClearingTheUpdateResultCreatesBothUserKeysWithoutTheValues)
{
    ASSERT_FALSE(KeyExists(RegHive::CurrentUser, mProductKey));
    ClearUpdateResult(mInfo);
    for (const auto& path : {mProductKey, mVersionKey}) {
        RegKey key;
        ASSERT_TRUE(key.Open(RegHive::CurrentUser, path, RegView::Registry64, false)) << path;
        std::wstring name;
        RegValueType type;
        EXPECT_EQ(RegEnumResult::NoMore, key.EnumValue(0, name, type)) << path;
    }
    EXPECT_FALSE(KeyExists(RegHive::LocalMachine, mProductKey));
}

TEST_F(Settings, DebugUrlUnderTheProductKeyWinsEvenWhenEmpty)
{
    EXPECT_EQ(L"", GetDebugUrl(mInfo));

    PutText(RegHive::CurrentUser, kBase, L"DebugUrl_v2", L"http://127.0.0.1:8001/");
    EXPECT_EQ(L"http://127.0.0.1:8001/", GetDebugUrl(mInfo)) << "base key when the product has none";

    PutNumber(RegHive::CurrentUser, mProductKey, L"DebugUrl_v2", 1);
    EXPECT_EQ(L"http://127.0.0.1:8001/", GetDebugUrl(mInfo)) << "a number is no address";

    PutText(RegHive::CurrentUser, mProductKey, L"DebugUrl_v2", L"http://127.0.0.1:8002/");
    EXPECT_EQ(L"http://127.0.0.1:8002/", GetDebugUrl(mInfo));

    PutText(RegHive::CurrentUser, mProductKey, L"DebugUrl_v2", L"");
    EXPECT_EQ(L"", GetDebugUrl(mInfo)) << "an empty product value hides the base key's";
    EXPECT_EQ(L"", ReadUserSetting(mInfo, L"DebugUrl_v2"));
}

TEST_F(Settings, BannerAddressFallsBackToTheDebugUrl)
{
    EXPECT_EQ(L"", GetDebugBannerDownloadUrl(mInfo));
    PutText(RegHive::CurrentUser, mProductKey, L"DebugUrl_v2", L"http://127.0.0.1:8001/");
    PutText(RegHive::CurrentUser, mProductKey, L"DebugBannerDownloadUrl_v2", L"");
    EXPECT_EQ(L"http://127.0.0.1:8001/", GetDebugBannerDownloadUrl(mInfo));

    PutText(RegHive::CurrentUser, kBase, L"DebugBannerDownloadUrl_v2", L"http://127.0.0.1:8003/");
    EXPECT_EQ(L"http://127.0.0.1:8001/", GetDebugBannerDownloadUrl(mInfo)) << "the product's empty value hides the base key's";

    Remove(RegHive::CurrentUser, mProductKey, L"DebugBannerDownloadUrl_v2");
    EXPECT_EQ(L"http://127.0.0.1:8003/", GetDebugBannerDownloadUrl(mInfo));
}

TEST_F(Settings, IgnoredProductVersionIsMinusOneWhenMissingAndEmptyWhenCleared)
{
    EXPECT_EQ(L"-1", GetIgnoredProductVersion(mInfo));
    SetIgnoredProductVersion(mInfo, L"2.0.1");
    EXPECT_EQ(L"2.0.1", Text(RegHive::CurrentUser, mVersionKey, L"IgnoreProductVersionUpdate"));
    EXPECT_EQ(std::nullopt, Text(RegHive::CurrentUser, mProductKey, L"IgnoreProductVersionUpdate"));
    EXPECT_EQ(L"2.0.1", GetIgnoredProductVersion(mInfo));
    ClearIgnoredProductVersion(mInfo);
    EXPECT_EQ(L"", GetIgnoredProductVersion(mInfo));

    PutNumber(RegHive::CurrentUser, mVersionKey, L"IgnoreProductVersionUpdate", 2);
    EXPECT_EQ(L"-1", GetIgnoredProductVersion(mInfo)) << "a number counts as missing";
}

TEST_F(Settings, IgnoredMajorUpgradeIsADecimalTextInTheProductKey)
{
    EXPECT_EQ(-1, GetIgnoredMajorVersionUpgrade(mInfo));
    SetIgnoredMajorVersionUpgrade(mInfo, 11);
    EXPECT_EQ(L"11", Text(RegHive::CurrentUser, mProductKey, L"IgnoreProductMajorVersionUpgrade"));
    EXPECT_EQ(std::nullopt, Text(RegHive::CurrentUser, mVersionKey, L"IgnoreProductMajorVersionUpgrade"));
    EXPECT_EQ(11, GetIgnoredMajorVersionUpgrade(mInfo));
    SetIgnoredMajorVersionUpgrade(mInfo, -1);
    EXPECT_EQ(L"-1", Text(RegHive::CurrentUser, mProductKey, L"IgnoreProductMajorVersionUpgrade"));

    // Read as the C runtime's _wtoi reads a number.
    const struct {
        const char* label;
        std::wstring stored;
        std::int32_t read;
    } cases[] = {
        {"no digits", L"none", 0},
        {"empty", L"", 0},
        {"digits, then letters", L"12abc", 12},
        {"blanks and sign", L"  -3", -3},
        {"plus sign", L"+4", 4},
        {"too large", L"99999999999", 2147483647},
        {"too small", L"-99999999999", -2147483647 - 1},
    };
    for (const auto& c : cases) {
        PutText(RegHive::CurrentUser, mProductKey, L"IgnoreProductMajorVersionUpgrade", c.stored);
        EXPECT_EQ(c.read, GetIgnoredMajorVersionUpgrade(mInfo)) << c.label;
    }
    PutNumber(RegHive::CurrentUser, mProductKey, L"IgnoreProductMajorVersionUpgrade", 5);
    EXPECT_EQ(-1, GetIgnoredMajorVersionUpgrade(mInfo)) << "a number counts as missing";
}

TEST_F(Settings, DebugFlagCountsOnlyAsANumber)
{
    Remove(RegHive::CurrentUser, kBase, L"Debug");
    EXPECT_EQ(0u, GetDebugFlag());
    PutNumber(RegHive::CurrentUser, kBase, L"Debug", 1);
    EXPECT_EQ(1u, GetDebugFlag());
    PutText(RegHive::CurrentUser, kBase, L"Debug", L"1");
    EXPECT_EQ(0u, GetDebugFlag());
    PutNumber(RegHive::CurrentUser, mProductKey, L"Debug", 1);
    EXPECT_EQ(0u, GetDebugFlag()) << "only the base key counts";
}

TEST_F(Settings, MachineGuidIsAGuidText)
{
    std::wstring guid;
    ASSERT_TRUE(GetMachineGuid(guid));
    ASSERT_EQ(36u, guid.size()) << "8-4-4-4-12 hex digits";
    for (std::size_t i = 0; i < guid.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        EXPECT_EQ(dash, guid[i] == L'-') << i;
        if (!dash) {
            EXPECT_TRUE(iswxdigit(guid[i])) << i;
        }
    }
}

} // namespace
} // namespace qrnv
