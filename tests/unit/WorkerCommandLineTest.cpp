#include <gtest/gtest.h>

#include <functional>

#include "Client/CmdLineInfo.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/system/CommandLineText.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

class WorkerCommandLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProgramInfoForTests();
        mFolder = test::MakeFreshFolder(L"worker loc"); // has a blank and a final separator
        ASSERT_FALSE(mFolder.empty());
    }
    void TearDown() override
    {
        ResetProgramInfoForTests();
        test::RemoveTree(mFolder);
    }
    std::wstring mFolder;
};

TEST_F(WorkerCommandLine, EveryPieceInItsFormAndOrder)
{
    const wchar_t sep = test::Separator();
    const std::wstring loc = std::wstring(L"x") + sep + L"Quarn Tool";
    // Inside its quotes the location ends so that the C runtime's splitting leaves exactly one
    // separator: two backslashes on Windows, one slash on POSIX.
    const std::wstring tail = sep == L'\\' ? L"\\\\" : L"/";

    struct Case {
        const char* name;
        std::function<void(ProgramInfo&, CmdLineInfo&)> set;
        std::wstring expected;
    };
    const Case cases[] = {
        {"nothing", [](ProgramInfo&, CmdLineInfo&) {}, L""},
        {"only switch words", [](ProgramInfo&, CmdLineInfo& c) { c.mSwitchWords = L"QuickCheck Tray "; }, L"QuickCheck Tray "},
        {"stub twice", [](ProgramInfo& p, CmdLineInfo& c) { p.mIsStubExe = 1; c.mSwitchWords = L"IsStubExe "; },
         L"IsStubExe -IsStubExe "},
        {"program name", [](ProgramInfo& p, CmdLineInfo&) { p.mProgramName = L"Quarn Tool"; }, L"-ProgramName \"Quarn Tool\" "},
        {"display name", [](ProgramInfo& p, CmdLineInfo&) { p.mDisplayName = L"Quarn A&B"; }, L"-DisplayName \"Quarn A&B\" "},
        {"version", [](ProgramInfo& p, CmdLineInfo&) { p.mProgramVersion = L"1.2.3"; }, L"-ProgramVersion 1.2.3 "},
        {"install date", [](ProgramInfo& p, CmdLineInfo&) { p.mInstallDate = L"20240307"; }, L"-InstallDate 20240307 "},
        {"location with one separator", [&](ProgramInfo& p, CmdLineInfo&) { p.mInstalledLocation = loc + sep; },
         L"-InstalledLocation \"" + loc + tail + L"\" "},
        {"location with three separators", [&](ProgramInfo& p, CmdLineInfo&) { p.mInstalledLocation = loc + std::wstring(3, sep); },
         L"-InstalledLocation \"" + loc + tail + L"\" "},
        {"location without separator", [&](ProgramInfo& p, CmdLineInfo&) { p.mInstalledLocation = loc; },
         L"-InstalledLocation \"" + loc + tail + L"\" "},
        {"file list", [](ProgramInfo& p, CmdLineInfo&) { p.mFileList = {L"a.dll", L"", L"b c.exe"}; },
         L"-FileList \"a.dll;;b c.exe;\" "},
        {"language", [](ProgramInfo& p, CmdLineInfo&) { p.mLanguage = 1031; }, L"-Language 1031 "},
        {"negative language", [](ProgramInfo& p, CmdLineInfo&) { p.mLanguage = -5; }, L"-Language -5 "},
        {"affiliate", [](ProgramInfo& p, CmdLineInfo&) { p.mAffiliateId = L"A 1"; }, L"-AffiliateId \"A 1\" "},
        {"update interval", [](ProgramInfo&, CmdLineInfo& c) { c.mUpdateIntervalInHours = 24; }, L"-UpdateIntervalInHours 24 "},
        {"window position", [](ProgramInfo&, CmdLineInfo& c) { c.mWindowRec = L"10 20"; }, L"-WindowRec \"10 20\" "},
        {"window caption", [](ProgramInfo&, CmdLineInfo& c) { c.mWindowCaption = L"My Tool"; }, L"-WindowCaption \"My Tool\" "},
        {"version 1", [](ProgramInfo&, CmdLineInfo& c) { c.mIsUpdateFromVersionV1 = 1; }, L"-UpdateFromVersionV1 "},
        {"check interval", [](ProgramInfo&, CmdLineInfo& c) { c.mCheckIntervalInHours = 12; }, L"-CheckIntervalInHours 12 "},
        {"quotes go unescaped",
         [](ProgramInfo& p, CmdLineInfo& c) {
             p.mProgramName = L"Q\"T";
             p.mDisplayName = L"D\"";
             p.mAffiliateId = L"\"a";
             p.mFileList = {L"f\"g"};
             c.mWindowCaption = L"c\"";
         },
         L"-ProgramName \"Q\"T\" -DisplayName \"D\"\" -FileList \"f\"g;\" -AffiliateId \"\"a\" -WindowCaption \"c\"\" "},
        {"ForceUpdate passes through", [](ProgramInfo&, CmdLineInfo& c) { c.mSwitchWords = L"ForceUpdate "; }, L"ForceUpdate "},
        {"title, escaped name and product code are not passed",
         [](ProgramInfo& p, CmdLineInfo&) {
             p.mProductTitle = L"T";
             p.mEscapedDisplayName = L"E";
             p.mProductCode = L"{C}";
         },
         L""},
        {"everything, in order",
         [&](ProgramInfo& p, CmdLineInfo& c) {
             c.mSwitchWords = L"IsStubExe ForceUpdate ";
             p.mIsStubExe = 1;
             p.mProgramName = L"P";
             p.mDisplayName = L"D";
             p.mProgramVersion = L"1.2";
             p.mInstallDate = L"20240101";
             p.mInstalledLocation = loc + sep;
             p.mFileList = {L"a", L"b"};
             p.mLanguage = 1041;
             p.mAffiliateId = L"7";
             c.mUpdateIntervalInHours = -1;
             c.mWindowRec = L"1 2";
             c.mWindowCaption = L"W";
             c.mIsUpdateFromVersionV1 = 1;
             c.mCheckIntervalInHours = 3;
         },
         L"IsStubExe ForceUpdate -IsStubExe -ProgramName \"P\" -DisplayName \"D\" -ProgramVersion 1.2 -InstallDate 20240101 "
         L"-InstalledLocation \"" + loc + tail + L"\" -FileList \"a;b;\" -Language 1041 -AffiliateId \"7\" "
         L"-UpdateIntervalInHours -1 -WindowRec \"1 2\" -WindowCaption \"W\" -UpdateFromVersionV1 -CheckIntervalInHours 3 "},
    };
    for (const auto& c : cases) {
        ResetProgramInfoForTests();
        ProgramInfo published;
        CmdLineInfo cmd;
        c.set(published, cmd);
        PublishProgramInfo(published);
        EXPECT_EQ(test::Narrow(c.expected), test::Narrow(cmd.BuildWorkerCommandLine())) << c.name;
    }
}

TEST_F(WorkerCommandLine, TheLocationArrivesWithOneSeparatorAfterSplitting)
{
    const wchar_t sep = test::Separator();
    const std::wstring& loc = mFolder;
    ProgramInfo published;
    published.mInstalledLocation = loc + sep + sep;
    PublishProgramInfo(published);
    const auto args = SplitCommandLine(CmdLineInfo().BuildWorkerCommandLine());
    ASSERT_EQ(2u, args.size());
    EXPECT_EQ(L"-InstalledLocation", args[0]);
    EXPECT_EQ(loc, args[1]);
}

TEST_F(WorkerCommandLine, ProductValuesComeFromThePublishedRecordNotTheParser)
{
    CmdLineInfo cmd;
    cmd.mProductInfo.mProgramName = L"Parser";
    cmd.mProductInfo.mLanguage = 1031;
    ProgramInfo published;
    published.mProgramName = L"Published";
    PublishProgramInfo(published);
    EXPECT_EQ(L"-ProgramName \"Published\" ", cmd.BuildWorkerCommandLine());
}

// What the client passes on, the worker's own parsing gives back: parse, complete, build,
// split and parse again.
TEST_F(WorkerCommandLine, TheWorkerParsesTheSameProductFactsBack)
{
    const std::wstring& loc = mFolder;
    const std::vector<std::wstring> args = {
        L"quarnrenova", L"-ProgramName", L"Quarn \"Tool\"", L"-DisplayName", L"Quarn & Co", L"-ProgramVersion", L"1.2.3",
        L"-InstallDate", L"20240307", L"-InstalledLocation", loc, L"-Language", L"1031", L"-FileList", L"a; b c ;d",
        L"-AffiliateId", L"99", L"-Tray", L"-UpdateIntervalInHours", L"5", L"-WindowCaption", L"Cap"};
    ResetCommandLineCounterForTests();
    CmdLineInfo first;
    first.ParseCommandLine(args);
    ProgramInfo record = first.mProductInfo;
    ASSERT_EQ(1, CompleteProgramInfo(record));

    std::vector<std::wstring> again = {L"worker"};
    for (const auto& a : SplitCommandLine(first.BuildWorkerCommandLine())) {
        again.push_back(a);
    }
    ResetCommandLineCounterForTests();
    CmdLineInfo second;
    second.ParseCommandLine(again);
    const ProgramInfo& p = second.mProductInfo;
    // The quotes inside the program name are not escaped, so the worker's splitting loses
    // them and joins what follows; everything else arrives unchanged.
    EXPECT_EQ(L"Quarn Tool", p.mProgramName);
    EXPECT_EQ(L"Quarn & Co", p.mDisplayName);
    EXPECT_EQ(L"1.2.3", p.mProgramVersion);
    EXPECT_EQ(L"20240307", p.mInstallDate);
    EXPECT_EQ(loc, p.mInstalledLocation);
    EXPECT_EQ(1031, p.mLanguage);
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b c", L"d"}), p.mFileList);
    EXPECT_EQ(L"99", p.mAffiliateId);
    EXPECT_EQ(1, second.mTray);
    EXPECT_EQ(5, second.mUpdateIntervalInHours);
    EXPECT_EQ(L"Cap", second.mWindowCaption);
}

} // namespace
} // namespace qrnv
