#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "Client/Discovery.h"
#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/system/OsVersion.h"
#include "support/LogLines.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

#ifdef _WIN32
const wchar_t* const kClientFileName = L"quarnrenova.exe";
#else
const wchar_t* const kClientFileName = L"quarnrenova";
#endif

const wchar_t* UnknownFor(int language)
{
    return language == 1031 ? L"Unbekannt" : language == 1041 ? L"\u4e0d\u660e" : L"Unknown";
}

// How many lines of the current log file have that body.
int CountLogLines(const std::string& body)
{
    int n = 0;
    for (const auto& line : test::SplitLogLines(test::ReadFileBytes(GetLog().FilePath())).lines) {
        const auto parsed = test::ParseLogLine(line);
        if (parsed && parsed->body == body) {
            ++n;
        }
    }
    return n;
}

const std::string kValid = "Product infos valid";
const std::string kIncomplete = "Product infos invalid or incomplete, try to read von different sources";

class ProgramInfoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProgramInfoForTests();
        mFolder = test::MakeFreshFolder(L"product");
        ASSERT_FALSE(mFolder.empty());
    }
    void TearDown() override
    {
        ResetProgramInfoForTests();
        test::RemoveTree(mFolder);
    }
    ProgramInfo Complete(int language = 1033)
    {
        ProgramInfo r;
        r.mProgramName = L"Quarn Tool";
        r.mDisplayName = L"Quarn A&B";
        r.mProgramVersion = L"1.2.3";
        r.mInstalledLocation = mFolder;
        r.mLanguage = language;
        return r;
    }
    std::wstring mFolder;
};

TEST_F(ProgramInfoTest, ACompleteRecordIsValidAndGetsTheInstallDateOfTheClientFile)
{
    ASSERT_TRUE(test::WriteFileBytes(mFolder + kClientFileName, "x"));
    ASSERT_TRUE(test::SetFileDay(mFolder + kClientFileName, 2024, 3, 7));
    const int validBefore = CountLogLines(kValid);
    ProgramInfo r = Complete();
    EXPECT_EQ(1, CompleteProgramInfo(r));
    EXPECT_EQ(validBefore + 1, CountLogLines(kValid));

    const ProgramInfo& p = GetProgramInfo();
    EXPECT_EQ(L"Quarn Tool", p.mProgramName);
    EXPECT_EQ(L"Quarn A&B", p.mDisplayName);
    EXPECT_EQ(L"Quarn A&&B", p.mEscapedDisplayName);
    EXPECT_EQ(L"Quarn A&B", p.mProductTitle);
    EXPECT_EQ(L"1.2.3", p.mProgramVersion);
    EXPECT_EQ(mFolder, p.mInstalledLocation);
    EXPECT_EQ(1033, p.mLanguage);
    EXPECT_EQ(L"20240307", p.mInstallDate);
}

TEST_F(ProgramInfoTest, TheInstallDateFallsBackToTheRunningProgramsFileName)
{
    const std::wstring own = test::OwnExecutablePath().substr(test::OwnExecutableFolder().size());
    ASSERT_TRUE(test::WriteFileBytes(mFolder + own, "x"));
    ASSERT_TRUE(test::SetFileDay(mFolder + own, 2023, 1, 2));
    ProgramInfo r = Complete();
    ASSERT_EQ(1, CompleteProgramInfo(r));
    EXPECT_EQ(L"20230102", GetProgramInfo().mInstallDate);

    // Neither file there: no date. A date given is kept as it is.
    ResetProgramInfoForTests();
    ProgramInfo none = Complete();
    none.mInstalledLocation = mFolder + L"elsewhere" + test::Separator();
    ASSERT_EQ(1, CompleteProgramInfo(none));
    EXPECT_EQ(L"", GetProgramInfo().mInstallDate);

    ResetProgramInfoForTests();
    ProgramInfo given = Complete();
    given.mInstallDate = L"from the caller";
    ASSERT_EQ(1, CompleteProgramInfo(given));
    EXPECT_EQ(L"from the caller", GetProgramInfo().mInstallDate);
}

TEST_F(ProgramInfoTest, AnIncompleteRecordIsDiscoveredAndFallsBackToUnknownInItsLanguage)
{
    struct Case {
        const char* name;
        std::function<void(ProgramInfo&)> change;
        int language; // of the fallback names
    };
    const int system = GetSystemDefaultLanguage();
    const Case cases[] = {
        {"language 0", [](ProgramInfo& r) { r.mLanguage = 0; }, system},
        {"German without version", [](ProgramInfo& r) { r.mLanguage = 1031; r.mProgramVersion.clear(); }, 1031},
        {"Japanese without location", [](ProgramInfo& r) { r.mLanguage = 1041; r.mInstalledLocation.clear(); }, 1041},
        {"English without display name", [](ProgramInfo& r) { r.mLanguage = 1033; r.mDisplayName.clear(); }, 1033},
        {"British without program name", [](ProgramInfo& r) { r.mLanguage = 2057; r.mProgramName.clear(); }, 2057},
    };
    for (const auto& c : cases) {
        ResetProgramInfoForTests();
        ProgramInfo r = Complete();
        r.mEscapedDisplayName = L"kept";
        c.change(r);
        const int incompleteBefore = CountLogLines(kIncomplete);
        const int validBefore = CountLogLines(kValid);
        EXPECT_EQ(1, CompleteProgramInfo(r)) << c.name;
        EXPECT_EQ(incompleteBefore + 1, CountLogLines(kIncomplete)) << c.name;
        EXPECT_EQ(validBefore, CountLogLines(kValid)) << c.name;
        const ProgramInfo& p = GetProgramInfo();
        EXPECT_EQ(UnknownFor(c.language), p.mProgramName) << c.name;
        EXPECT_EQ(UnknownFor(c.language), p.mDisplayName) << c.name;
        EXPECT_EQ(UnknownFor(c.language), p.mProductTitle) << c.name;
        EXPECT_EQ(L"kept", p.mEscapedDisplayName) << c.name << ": the fallback leaves the escaped name";
    }
}

TEST_F(ProgramInfoTest, WithLanguageZeroTheSystemsLanguageNamesTheFallback)
{
    // Natively the locale environment gives the system's language; under Windows it stays
    // the system's, whatever these say.
    const std::wstring previous = test::GetEnv(L"LC_ALL");
    for (const wchar_t* locale : {L"de_DE.UTF-8", L"ja_JP.UTF-8", L"C"}) {
        test::SetEnv(L"LC_ALL", locale);
        ResetProgramInfoForTests();
        ProgramInfo r = Complete(0);
        EXPECT_EQ(1, CompleteProgramInfo(r));
        const wchar_t* unknown = UnknownFor(GetSystemDefaultLanguage());
        EXPECT_EQ(unknown, GetProgramInfo().mProgramName) << test::Narrow(locale);
        EXPECT_EQ(unknown, GetProgramInfo().mDisplayName) << test::Narrow(locale);
        EXPECT_EQ(0, GetProgramInfo().mLanguage);
    }
    test::SetEnv(L"LC_ALL", previous);
}

TEST_F(ProgramInfoTest, AStubIsNeverValidatedAndLosesItsLocation)
{
    ProgramInfo r;
    r.mIsStubExe = 1;
    r.mProgramName = L"Stub Product";
    r.mDisplayName = L"Stub & Co";
    r.mInstalledLocation = mFolder;
    const int incompleteBefore = CountLogLines(kIncomplete);
    const int validBefore = CountLogLines(kValid);
    EXPECT_EQ(1, CompleteProgramInfo(r));
    EXPECT_EQ(incompleteBefore, CountLogLines(kIncomplete));
    EXPECT_EQ(validBefore, CountLogLines(kValid));
    const ProgramInfo& p = GetProgramInfo();
    EXPECT_EQ(L"Stub Product", p.mProgramName);
    EXPECT_EQ(L"Stub & Co", p.mDisplayName);
    EXPECT_EQ(L"Stub && Co", p.mEscapedDisplayName);
    EXPECT_EQ(L"", p.mInstalledLocation);
    EXPECT_EQ(1, p.mIsStubExe);
    EXPECT_EQ(L"", p.mInstallDate);
}

TEST_F(ProgramInfoTest, AStubWithoutProgramNameLeavesTheRecordEmpty)
{
    ProgramInfo r;
    r.mIsStubExe = 1;
    r.mDisplayName = L"Only Shown";
    EXPECT_EQ(1, CompleteProgramInfo(r));
    const ProgramInfo& p = GetProgramInfo();
    EXPECT_EQ(L"", p.mProgramName);
    EXPECT_EQ(L"", p.mDisplayName);
    EXPECT_EQ(0, p.mIsStubExe);
}

TEST_F(ProgramInfoTest, NothingGivenPublishesNothingAndTheFirstReaderDiscovers)
{
    // Something published before is discarded too.
    ProgramInfo first = Complete();
    ASSERT_EQ(1, CompleteProgramInfo(first));
    ProgramInfo empty;
    empty.mProgramVersion = L"9.9";
    empty.mLanguage = 1031;
    EXPECT_EQ(0, CompleteProgramInfo(empty));
    const ProgramInfo& p = GetProgramInfo();
    const wchar_t* unknown = UnknownFor(GetSystemDefaultLanguage());
    EXPECT_EQ(unknown, p.mProgramName);
    EXPECT_EQ(unknown, p.mDisplayName);
    EXPECT_EQ(unknown, p.mProductTitle);
    EXPECT_EQ(L"", p.mProgramVersion);
    EXPECT_EQ(0, p.mLanguage);
}

TEST_F(ProgramInfoTest, APublishedRecordIsWhatReadersGet)
{
    ProgramInfo r;
    r.mProgramName = L"Published";
    r.mFileList = {L"a", L"b"};
    r.mLanguage = 1041;
    PublishProgramInfo(r);
    const ProgramInfo& p = GetProgramInfo();
    EXPECT_EQ(L"Published", p.mProgramName);
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b"}), p.mFileList);
    EXPECT_EQ(1041, p.mLanguage);
}

TEST_F(ProgramInfoTest, ThePreviewSuffixIsStrippedAndAddedOnceAtTheEnd)
{
    const std::wstring suffix = L" [Preview Channel]";
    struct Case {
        const char* name;
        std::wstring programName, displayName;
        std::wstring wantProgram, wantDisplay, wantEscaped, wantTitle;
    };
    const Case cases[] = {
        {"both names", L"Quarn Tool" + suffix, L"Quarn A&B" + suffix, L"Quarn Tool" + suffix, L"Quarn A&B" + suffix,
         L"Quarn A&&B" + suffix, L"Quarn A&B" + suffix},
        {"program name only", L"Quarn Tool" + suffix, L"Quarn Tool", L"Quarn Tool" + suffix, L"Quarn Tool" + suffix,
         L"Quarn Tool" + suffix, L"Quarn Tool" + suffix},
        {"display name only", L"Quarn Tool", L"Quarn Tool Professional" + suffix, L"Quarn Tool" + suffix,
         L"Quarn Tool Professional" + suffix, L"Quarn Tool Professional" + suffix, L"Quarn Tool Professional Edition" + suffix},
        {"every occurrence goes", L"Quarn" + suffix + L" Tool" + suffix, L"D", L"Quarn Tool" + suffix, L"D" + suffix,
         L"D" + suffix, L"D" + suffix},
        {"not at the end: kept", L"Quarn" + suffix + L" Tool", L"D", L"Quarn" + suffix + L" Tool", L"D", L"D", L"D"},
    };
    for (const auto& c : cases) {
        ResetProgramInfoForTests();
        ProgramInfo r = Complete();
        r.mProgramName = c.programName;
        r.mDisplayName = c.displayName;
        ASSERT_EQ(1, CompleteProgramInfo(r)) << c.name;
        const ProgramInfo& p = GetProgramInfo();
        EXPECT_EQ(c.wantProgram, p.mProgramName) << c.name;
        EXPECT_EQ(c.wantDisplay, p.mDisplayName) << c.name;
        EXPECT_EQ(c.wantEscaped, p.mEscapedDisplayName) << c.name;
        EXPECT_EQ(c.wantTitle, p.mProductTitle) << c.name;
    }
}

TEST(ProgramInfoNaming, DoubleAmpersands)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"", L""}, {L"&", L"&&"}, {L"Quarn A&B", L"Quarn A&&B"}, {L"&&", L"&&&&"}, {L"a&b&c&", L"a&&b&&c&&"}, {L"none", L"none"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(out, DoubleAmpersands(in)) << test::Narrow(in);
    }
}

TEST(ProgramInfoNaming, MakeProductTitleNormalisesTheFirstEditionWord)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"Quarn Tool Professional", L"Quarn Tool Professional Edition"},
        {L"Quarn Tool Server Workstation", L"Quarn Tool Server EditionWorkstation"},
        {L"Quarn Workstation Server", L"Quarn Workstation Server Edition"}, // Server is tried before Workstation
        {L"Quarn Professional Suite", L"Quarn Professional EditionSuite"},
        {L"Quarn ProfessionalX", L"Quarn ProfessionalX Edition"},
        {L"Professional", L"Professional Edition"},
        {L"Quarn Tech Admin", L"Quarn Tech EditionAdmin"},
        {L"Quarn Admin", L"Quarn Admin Edition"},
        {L"Quarn Express", L"Quarn Express Edition"},
        {L"Quarn Professional Media", L"Quarn Professional EditionMedia"},
        {L"Quarn Media", L"Quarn Media Edition"},
        {L"Quarn Media Center", L"Quarn Media Center"},
        {L"Media Center Media", L"Media Center Media"}, // its first Media does not end the title
        {L"Quarn professional", L"Quarn professional"},
        {L"Quarn Tool", L"Quarn Tool"},
        {L"", L""},
    };
    for (const auto& [display, title] : cases) {
        for (int language : {1031, 1041, 1033}) {
            ProgramInfo r;
            r.mDisplayName = display;
            r.mProgramName = L"Other Professional";
            r.mLanguage = language;
            MakeProductTitle(r);
            EXPECT_EQ(title, r.mProductTitle) << test::Narrow(display) << " in " << language;
            EXPECT_EQ(display, r.mDisplayName);
        }
    }
}

TEST_F(ProgramInfoTest, TwoThreadsReadingAtOnceGetTheSameRecord)
{
    std::atomic<int> ready{0};
    const ProgramInfo* seen[2] = {};
    std::wstring names[2];
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&, i] {
            ++ready;
            while (ready.load() < 2) {
            }
            const ProgramInfo& p = GetProgramInfo();
            seen[i] = &p;
            names[i] = p.mProgramName;
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(names[0], names[1]);
    EXPECT_EQ(UnknownFor(GetSystemDefaultLanguage()), names[0]);
}

} // namespace
} // namespace qrnv
