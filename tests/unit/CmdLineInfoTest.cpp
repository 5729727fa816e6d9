#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "Client/CmdLineInfo.h"
#include "sdk/text/Format.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

using Args = std::vector<std::wstring>;

// Every member of the parser as one text, so that a case compares all of them at once.
std::string Describe(const CmdLineInfo& c)
{
    const ProgramInfo& p = c.mProductInfo;
    std::wstring files;
    for (const auto& f : p.mFileList) {
        files += L"[" + f + L"]";
    }
    const std::wstring text = FormatText(
        L"RestartAfterSelfUpdate=%d V1=%d WriteCheckResultToReg=%d UpdateCheckSilent=%d UpdateSilent=%d "
        L"QuickCheck=%d HideUpdateCheckResult=%d\n",
        c.mRestartAfterSelfUpdate, c.mIsUpdateFromVersionV1, c.mWriteCheckResultToReg, c.mUpdateCheckSilent,
        c.mUpdateSilent, c.mQuickCheck, c.mHideUpdateCheckResult) +
        FormatText(L"OnlyDownload=%d UpdateInterval=%d WindowRec=[%s] WindowCaption=[%s] Tray=%d OnlyAdViewer=%d\n",
                   c.mOnlyDownload, c.mUpdateIntervalInHours, c.mWindowRec, c.mWindowCaption, c.mTray, c.mOnlyAdViewer) +
        FormatText(L"CheckInterval=%d Pending=%d SwitchWords=[%s]\n", c.mCheckIntervalInHours,
                   static_cast<int>(c.mPendingOption), c.mSwitchWords) +
        FormatText(L"ProgramName=[%s] DisplayName=[%s] Title=[%s] Escaped=[%s] Version=[%s] InstallDate=[%s]\n",
                   p.mProgramName, p.mDisplayName, p.mProductTitle, p.mEscapedDisplayName, p.mProgramVersion,
                   p.mInstallDate) +
        FormatText(L"Location=[%s] ProductCode=[%s] Files=%s Language=%d Stub=%d Affiliate=[%s]", p.mInstalledLocation,
                   p.mProductCode, files, p.mLanguage, p.mIsStubExe, p.mAffiliateId);
    return test::Narrow(text);
}

// Parses the arguments (after the program path) as the program does, with a fresh
// argument counter, in a fresh current directory: the version-1 form may make folders
// there. created: what the current directory holds afterwards.
struct ParseResult {
    CmdLineInfo parsed;
    std::vector<std::wstring> created;
};

void Parse(const Args& args, ParseResult& out)
{
    const std::wstring cwd = test::MakeFreshFolder(L"cmd");
    const std::wstring previous = test::ChangeDirectory(cwd);
    ResetCommandLineCounterForTests();
    Args all = {L"quarnrenova"};
    all.insert(all.end(), args.begin(), args.end());
    out.parsed.ParseCommandLine(all);
    out.created = test::ListFolder(cwd);
    test::ChangeDirectory(previous);
    test::RemoveTree(cwd);
}

#ifdef _WIN32
constexpr bool kSlashMarksOptions = true;
#else
constexpr bool kSlashMarksOptions = false;
#endif

TEST(CmdLineInfo, OptionsAndTheirEdgeCases)
{
    const wchar_t sep = test::Separator();
    const std::wstring loc = std::wstring(L"x") + sep + L"Quarn Tool";
    const std::wstring own = test::OwnExecutablePath();
    const std::wstring longText(6000, L'L');

    using P = CmdLineInfo::PendingOption;
    struct Case {
        const char* name;
        Args args;
        std::function<void(CmdLineInfo&)> expect;
        std::vector<std::wstring> created = {};
    };
    const Case cases[] = {
        {"nothing", {}, [](CmdLineInfo&) {}},
        {"-QuickCheck", {L"-QuickCheck"}, [](CmdLineInfo& e) { e.mQuickCheck = 1; e.mSwitchWords = L"QuickCheck "; }},
        {"QuickCheck without mark", {L"QuickCheck"}, [](CmdLineInfo& e) { e.mQuickCheck = 1; e.mSwitchWords = L"QuickCheck "; }},
        {"/QuickCheck", {L"-Tray", L"/QuickCheck"},
         [](CmdLineInfo& e) {
             e.mTray = 1;
             if (kSlashMarksOptions) {
                 e.mQuickCheck = 1;
                 e.mSwitchWords = L"Tray QuickCheck ";
             } else {
                 e.mSwitchWords = L"Tray /QuickCheck ";
             }
         }},
        // Case matters: an unrecognised first word is tried as a version-1 folder.
        {"-quickcheck", {L"-quickcheck"}, [](CmdLineInfo& e) { e.mSwitchWords = L"quickcheck "; }, {L"quickcheck"}},
        {"every flag",
         {L"-IsStubExe", L"-QuickCheck", L"-UpdateCheckSilent", L"-UpdateSilent", L"-WriteCheckResultToReg",
          L"-HideUpdateCheckResult", L"-OnlyDownload", L"-Tray", L"-OnlyAdViewer", L"-RestartAfterSelfUpdate",
          L"-UpdateFromVersionV1"},
         [sep](CmdLineInfo& e) {
             e.mProductInfo.mIsStubExe = 1;
             e.mQuickCheck = e.mUpdateCheckSilent = e.mUpdateSilent = e.mWriteCheckResultToReg = 1;
             e.mHideUpdateCheckResult = e.mOnlyDownload = e.mTray = e.mOnlyAdViewer = e.mRestartAfterSelfUpdate = 1;
             e.mIsUpdateFromVersionV1 = 1;
             e.mProductInfo.mInstalledLocation = std::wstring(1, sep); // an empty location becomes a lone separator
             e.mSwitchWords = L"IsStubExe QuickCheck UpdateCheckSilent UpdateSilent WriteCheckResultToReg "
                              L"HideUpdateCheckResult OnlyDownload Tray OnlyAdViewer RestartAfterSelfUpdate "
                              L"UpdateFromVersionV1 ";
         }},
        {"every value option",
         {L"-ProgramName", L"P", L"-DisplayName", L"D", L"-ProgramVersion", L"1.2.3", L"-InstallDate", L"2024-3-7",
          L"-Language", L"1031", L"-InstalledLocation", loc, L"-FileList", L"a;b", L"-AffiliateId", L"42",
          L"-UpdateIntervalInHours", L"24", L"-CheckIntervalInHours", L"12", L"-WindowRec", L"10 20",
          L"-WindowCaption", L"Cap & Co"},
         [&](CmdLineInfo& e) {
             auto& p = e.mProductInfo;
             p.mProgramName = L"P";
             p.mDisplayName = L"D";
             p.mProgramVersion = L"1.2.3";
             p.mInstallDate = L"2024-3-7";
             p.mLanguage = 1031;
             p.mInstalledLocation = loc + sep;
             p.mFileList = {L"a", L"b"};
             p.mAffiliateId = L"42";
             e.mUpdateIntervalInHours = 24;
             e.mCheckIntervalInHours = 12;
             e.mWindowRec = L"10 20";
             e.mWindowCaption = L"Cap & Co";
         }},
        {"-ProgramName -DisplayName X", {L"-ProgramName", L"-DisplayName", L"X"},
         [](CmdLineInfo& e) {
             e.mProductInfo.mProgramName = e.mProductInfo.mDisplayName = L"DisplayName";
             e.mSwitchWords = L"X ";
         }},
        {"display name first", {L"-DisplayName", L"A", L"-ProgramName", L"B"},
         [](CmdLineInfo& e) { e.mProductInfo.mDisplayName = L"A"; e.mProductInfo.mProgramName = L"B"; }},
        {"program name first", {L"-ProgramName", L"B", L"-DisplayName", L"A"},
         [](CmdLineInfo& e) { e.mProductInfo.mDisplayName = L"A"; e.mProductInfo.mProgramName = L"B"; }},
        {"program name alone", {L"-ProgramName", L"B"},
         [](CmdLineInfo& e) { e.mProductInfo.mDisplayName = L"B"; e.mProductInfo.mProgramName = L"B"; }},
        {"location without separator", {L"-InstalledLocation", loc}, [&](CmdLineInfo& e) { e.mProductInfo.mInstalledLocation = loc + sep; }},
        {"location with one separator", {L"-InstalledLocation", loc + sep}, [&](CmdLineInfo& e) { e.mProductInfo.mInstalledLocation = loc + sep; }},
        {"location with five separators", {L"-InstalledLocation", loc + std::wstring(5, sep)},
         [&](CmdLineInfo& e) { e.mProductInfo.mInstalledLocation = loc + sep; }},
        {"location empty", {L"-InstalledLocation", L""}, [&](CmdLineInfo& e) { e.mProductInfo.mInstalledLocation = std::wstring(1, sep); }},
        {"location only separators", {L"-InstalledLocation", std::wstring(3, sep)},
         [&](CmdLineInfo& e) { e.mProductInfo.mInstalledLocation = std::wstring(1, sep); }},
        {"V1 flag normalises the location", {L"-InstalledLocation", loc, L"-UpdateFromVersionV1"},
         [&](CmdLineInfo& e) {
             e.mProductInfo.mInstalledLocation = loc + sep;
             e.mIsUpdateFromVersionV1 = 1;
             e.mSwitchWords = L"UpdateFromVersionV1 ";
         }},
        {"file list with an empty entry", {L"-FileList", L";a; ;b;"}, [](CmdLineInfo& e) { e.mProductInfo.mFileList = {L"a", L"", L"b"}; }},
        {"file lists accumulate and are trimmed", {L"-FileList", L"a;b", L"-FileList", L";; c\t;d ;", L"-FileList", L";;;"},
         [](CmdLineInfo& e) { e.mProductInfo.mFileList = {L"a", L"b", L"c", L"d"}; }},
        {"Language de", {L"-Language", L"de"}, [](CmdLineInfo&) {}},
        {"interval 24h", {L"-UpdateIntervalInHours", L"24h", L"-CheckIntervalInHours", L" -7x"},
         [](CmdLineInfo& e) { e.mUpdateIntervalInHours = 24; e.mCheckIntervalInHours = -7; }},
        {"language overflows", {L"-Language", L"99999999999"}, [](CmdLineInfo& e) { e.mProductInfo.mLanguage = INT_MAX; }},
        // The option mark is removed from every argument, values too.
        {"a value's dash is removed", {L"-Language", L"-5", L"-WindowCaption", L"-QuickCheck"},
         [](CmdLineInfo& e) { e.mProductInfo.mLanguage = 5; e.mWindowCaption = L"QuickCheck"; }},
        {"value option last", {L"-Tray", L"-ProgramName"},
         [](CmdLineInfo& e) { e.mTray = 1; e.mSwitchWords = L"Tray "; e.mPendingOption = P::ProgramName; }},
        {"own path skipped where a value is expected", {L"-ProgramName", own, L"Tool"},
         [](CmdLineInfo& e) { e.mProductInfo.mProgramName = e.mProductInfo.mDisplayName = L"Tool"; }},
        {"own path alone", {own}, [](CmdLineInfo&) {}},
        {"ForceUpdate is no option", {L"-Tray", L"ForceUpdate"}, [](CmdLineInfo& e) { e.mTray = 1; e.mSwitchWords = L"Tray ForceUpdate "; }},
        {"over-long values are kept whole", {L"-ProgramName", longText, L"-WindowCaption", longText + L"C", L"-Tray", L"-" + longText},
         [&](CmdLineInfo& e) {
             e.mProductInfo.mProgramName = e.mProductInfo.mDisplayName = longText;
             e.mWindowCaption = longText + L"C";
             e.mTray = 1;
             e.mSwitchWords = L"Tray " + longText + L" ";
         }},
    };
    for (const auto& c : cases) {
        ParseResult actual;
        Parse(c.args, actual);
        CmdLineInfo expected;
        c.expect(expected);
        EXPECT_EQ(Describe(expected), Describe(actual.parsed)) << c.name;
        std::string created;
        for (const auto& f : actual.created) {
            created += "[" + test::Narrow(f) + "]";
        }
        std::string wanted;
        for (const auto& f : c.created) {
            wanted += "[" + test::Narrow(f) + "]";
        }
        EXPECT_EQ(wanted, created) << c.name << ": folders made in the current directory";
    }
}

TEST(CmdLineInfo, NumbersAreReadLikeWtoi)
{
    const std::pair<const wchar_t*, std::int32_t> cases[] = {
        {L"", 0},
        {L"0", 0},
        {L"42", 42},
        {L"+42", 42},
        {L"-42", -42},
        {L"  7", 7},
        {L"\t\n\v\f\r 8", 8},
        {L"- 5", 0},
        {L"+-5", 0},
        {L"12abc", 12},
        {L"abc", 0},
        {L"007", 7},
        {L"1e3", 1},
        {L"0x1A", 0},
        {L"1 2", 1},
        {L"2147483647", INT_MAX},
        {L"2147483648", INT_MAX},
        {L"-2147483648", INT_MIN},
        {L"-2147483649", INT_MIN},
        {L"99999999999999999999999", INT_MAX},
        {L"-99999999999999999999999", INT_MIN},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(value, ParseNumber(text)) << "text: [" << test::Narrow(text) << "]";
    }
}

// The version-1 positional form: a first argument that is no option names the product's
// folder when that exists.
class VersionOneForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        mFolder = test::MakeFreshFolder(L"v1");
        ASSERT_FALSE(mFolder.empty());
        mExisting = mFolder + L"Existing Product"; // no final separator
        ASSERT_TRUE(test::MakeFolder(mExisting));
        mCwd = test::MakeFreshFolder(L"v1cwd");
        mPreviousCwd = test::ChangeDirectory(mCwd);
        ResetCommandLineCounterForTests();
    }
    void TearDown() override
    {
        test::ChangeDirectory(mPreviousCwd);
        test::RemoveTree(mCwd);
        test::RemoveTree(mFolder);
    }
    static CmdLineInfo Parse(const Args& args)
    {
        Args all = {L"quarnrenova"};
        all.insert(all.end(), args.begin(), args.end());
        CmdLineInfo c;
        c.ParseCommandLine(all);
        return c;
    }

    std::wstring mFolder, mExisting, mCwd, mPreviousCwd;
};

TEST_F(VersionOneForm, AnExistingFolderBecomesTheLocation)
{
    const wchar_t sep = test::Separator();
    for (const std::wstring& given : {mExisting, mExisting + sep, mExisting + std::wstring(3, sep)}) {
        ResetCommandLineCounterForTests();
        const CmdLineInfo c = Parse({given, L"-Tray"});
        EXPECT_EQ(mExisting + sep, c.mProductInfo.mInstalledLocation) << test::Narrow(given);
        EXPECT_EQ(1, c.mIsUpdateFromVersionV1);
        EXPECT_EQ(given + L" Tray ", c.mSwitchWords);
        EXPECT_EQ(1, c.mTray);
    }
}

TEST_F(VersionOneForm, ARelativeExistingFolderCountsFromTheCurrentDirectory)
{
    ASSERT_TRUE(test::MakeFolder(mCwd + L"rel"));
    const CmdLineInfo c = Parse({L"rel"});
    EXPECT_EQ(std::wstring(L"rel") + test::Separator(), c.mProductInfo.mInstalledLocation);
    EXPECT_EQ(1, c.mIsUpdateFromVersionV1);
}

TEST_F(VersionOneForm, AMissingFolderIsCreatedAndNothingElseHappens)
{
    const std::wstring missing = mFolder + L"New Folder";
    const CmdLineInfo c = Parse({missing});
    EXPECT_TRUE(test::IsFolder(missing));
    EXPECT_EQ(L"", c.mProductInfo.mInstalledLocation);
    EXPECT_EQ(0, c.mIsUpdateFromVersionV1);
    EXPECT_EQ(missing + L" ", c.mSwitchWords);
}

TEST_F(VersionOneForm, OnlyTheFirstCountedArgumentIsTried)
{
    struct Case {
        const char* name;
        Args args;
        std::int32_t v1;
    };
    const std::wstring own = test::OwnExecutablePath();
    const Case cases[] = {
        {"after a flag", {L"-QuickCheck", mExisting}, 0},
        {"after a value option", {L"-ProgramName", L"P", mExisting}, 0},
        {"after the own path, which is not counted", {own, mExisting}, 1},
    };
    for (const auto& c : cases) {
        ResetCommandLineCounterForTests();
        const CmdLineInfo parsed = Parse(c.args);
        EXPECT_EQ(c.v1, parsed.mIsUpdateFromVersionV1) << c.name;
        EXPECT_EQ(c.v1 ? mExisting + test::Separator() : L"", parsed.mProductInfo.mInstalledLocation) << c.name;
    }
    // A missing folder in second place is not made.
    ResetCommandLineCounterForTests();
    Parse({L"-Tray", mFolder + L"Second"});
    EXPECT_FALSE(test::PathExists(mFolder + L"Second"));
}

TEST_F(VersionOneForm, ARecognisedOptionFirstIsNeverTriedAsAFolder)
{
    for (const Args& args : {Args{L"QuickCheck"}, Args{L"-UpdateFromVersionV1"}, Args{L"ProgramName", L"x"}, Args{L"IsStubExe"}}) {
        ResetCommandLineCounterForTests();
        Parse(args);
    }
    EXPECT_TRUE(test::ListFolder(mCwd).empty());
}

TEST_F(VersionOneForm, TheArgumentCounterIsProcessWide)
{
    // A second parser in the same process continues the count: its first argument is not
    // argument number 0 any more.
    Parse({L"-Tray"});
    const CmdLineInfo second = Parse({mExisting});
    EXPECT_EQ(0, second.mIsUpdateFromVersionV1);
    EXPECT_EQ(L"", second.mProductInfo.mInstalledLocation);
}

} // namespace
} // namespace qrnv
