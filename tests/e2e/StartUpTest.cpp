#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "Client/system/Registry.h"
#include "support/LogLines.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

#ifdef _WIN32
const wchar_t* const kClientFileName = L"quarnrenova.exe";
#else
const wchar_t* const kClientFileName = L"quarnrenova";
#endif

// Each run gets a temporary folder and a current directory of its own; the client inherits
// both.
class StartUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        mClient = test::HelperProgramPath(L"quarnrenova");
        ASSERT_TRUE(test::PathExists(mClient)) << test::Narrow(mClient);
        mTemp = test::MakeFreshFolder(L"e2e");
        ASSERT_FALSE(mTemp.empty());
        mPreviousTemp = test::SetTempFolder(mTemp);
        mCwd = test::MakeFreshFolder(L"e2e-cwd");
        mPreviousCwd = test::ChangeDirectory(mCwd);
        const wchar_t sep = test::Separator();
        mLogFolder = mTemp + L"Quarn Software" + sep + L"Quarn Renova" + sep;
        // The run's check goes to a loopback port where nothing listens, never to the
        // built-in service address (natively in a store of this test's own).
        mRegistry = test::MakeFreshFolder(L"e2e-registry");
        test::SetEnv(L"QRNV_REGISTRY_ROOT", mRegistry);
        RegKey base;
        ASSERT_TRUE(base.Create(RegHive::CurrentUser, kBaseKey, RegView::Registry64));
        ASSERT_TRUE(base.WriteText(L"DebugUrl_v2", L"http://127.0.0.1:9/"));
    }
    void TearDown() override
    {
        RegKey base;
        if (base.Open(RegHive::CurrentUser, kBaseKey, RegView::Registry64, true)) {
            base.DeleteValue(L"DebugUrl_v2");
        }
        test::SetEnv(L"QRNV_REGISTRY_ROOT", L"");
        test::RemoveTree(mRegistry);
        test::ChangeDirectory(mPreviousCwd);
        test::SetTempFolder(mPreviousTemp);
        test::RemoveTree(mCwd);
        test::RemoveTree(mTemp);
    }

    // The log files whose names are 14 digits, "_" and then what matches namePattern.
    std::vector<std::wstring> LogFiles(const std::wstring& namePattern) const
    {
        std::vector<std::wstring> found;
        const std::wregex pattern(L"[0-9]{14}_" + namePattern);
        for (const auto& entry : test::ListFolder(mLogFolder)) {
            if (std::regex_match(entry, pattern)) {
                found.push_back(mLogFolder + entry);
            }
        }
        return found;
    }

    // The bodies of a log file's lines; every line must be whole and carry the tag QRNV.
    static std::vector<std::string> Bodies(const std::wstring& file, std::vector<std::string>* levels = nullptr)
    {
        const auto lines = test::SplitLogLines(test::ReadFileBytes(file));
        EXPECT_TRUE(lines.complete) << test::Narrow(file);
        std::vector<std::string> bodies;
        for (const auto& line : lines.lines) {
            const auto parsed = test::ParseLogLine(line);
            EXPECT_TRUE(parsed) << line.substr(0, 300);
            if (!parsed) {
                continue;
            }
            EXPECT_EQ("QRNV", parsed->tag) << line.substr(0, 300);
            bodies.push_back(parsed->body);
            if (levels) {
                levels->push_back(parsed->level);
            }
        }
        return bodies;
    }

    static constexpr const wchar_t* kBaseKey = L"Software\\Quarn\\Quarn Renova";
    std::wstring mClient, mTemp, mPreviousTemp, mCwd, mPreviousCwd, mLogFolder, mRegistry;
};

TEST_F(StartUp, TheSampleCommandLineWritesTheStartLinesAndEndsWithTheDialogsCode)
{
    const wchar_t sep = test::Separator();
    const std::wstring product = mTemp + L"Quarn Tool Folder"; // given without a final separator
    ASSERT_TRUE(test::MakeFolder(product));
    ASSERT_TRUE(test::WriteFileBytes(product + sep + kClientFileName, "client"));
    ASSERT_TRUE(test::SetFileDay(product + sep + kClientFileName, 2024, 3, 7));

    const std::wstring commandLine = mClient + L" -ProgramName \"Quarn Tool\" -DisplayName \"Quarn Tool\" -ProgramVersion 1.2.3 "
                                               L"-InstalledLocation \"" + product + L"\" -Language 1031 -UpdateSilent";
    // Silent, with the service out of reach: the run ends with the error state's code.
    ASSERT_EQ(1, test::RunProcess(commandLine));

    // The completion's line went to the log of the default name, written before the set-up.
    const auto early = LogFiles(L"QuarnRenova\\.log");
    ASSERT_EQ(1u, early.size());
    EXPECT_EQ((std::vector<std::string>{"STARTING LOG", "Product infos valid"}), Bodies(early[0]));

    const auto files = LogFiles(L"Quarn Tool\\.log");
    ASSERT_EQ(1u, files.size()) << test::Narrow(mLogFolder);
    std::vector<std::string> levels;
    const auto bodies = Bodies(files[0], &levels);
    const std::vector<std::string> expected = {
        "STARTING LOG",
        "Quarn Tool(Quarn Tool) Renova v10.0.29 started",
        "ProgramName: Quarn Tool",
        "DisplayName: Quarn Tool",
        "ProgramVersionNumber: 1.2.3",
        "ProgramInstallDate: 20240307",
        "ProgramLanguage: 1031",
        "IsStubExe: 0",
        "InstalledLocation: " + test::Narrow(product) + static_cast<char>(sep),
        "StartParameter: " + test::Narrow(commandLine),
    };
    // The start lines come first; the check's lines follow; the run ends with its code.
    ASSERT_GT(bodies.size(), expected.size());
    EXPECT_EQ(expected, std::vector<std::string>(bodies.begin(), bodies.begin() + expected.size()));
    EXPECT_NE(bodies.end(), std::find(bodies.begin(), bodies.end(), "ExitCode 1"));
    ASSERT_EQ(bodies.size(), levels.size());
    EXPECT_EQ("AUD", levels[0]);
    for (std::size_t i = 1; i < expected.size(); ++i) {
        EXPECT_EQ("INF", levels[i]) << bodies[i];
    }
}

TEST_F(StartUp, WithoutProductOptionsTheStartLinesCarryTheUnknownNames)
{
    test::SetEnv(L"LC_ALL", L"C"); // English names where the language comes from the environment
    ASSERT_EQ(1, test::RunProcess(mClient + L" -UpdateSilent"));
    test::SetEnv(L"LC_ALL", L"");

    const auto files = LogFiles(L"Unknown\\.log");
    ASSERT_EQ(1u, files.size()) << test::Narrow(mLogFolder);
    const auto bodies = Bodies(files[0]);
    ASSERT_GT(bodies.size(), 10u);
    EXPECT_NE(bodies.end(), std::find(bodies.begin(), bodies.end(), "ExitCode 1"));
    EXPECT_EQ("STARTING LOG", bodies[0]);
    EXPECT_EQ("Unknown(Unknown) Renova v10.0.29 started", bodies[1]);
    EXPECT_EQ("ProgramName: Unknown", bodies[2]);
    EXPECT_EQ("DisplayName: Unknown", bodies[3]);
    EXPECT_EQ(0u, bodies[4].rfind("ProgramVersionNumber: ", 0)) << bodies[4];
    EXPECT_EQ(0u, bodies[5].rfind("ProgramInstallDate: ", 0)) << bodies[5];
    EXPECT_EQ("ProgramLanguage: 0", bodies[6]);
    EXPECT_EQ("IsStubExe: 0", bodies[7]);
    EXPECT_EQ(0u, bodies[8].rfind("InstalledLocation: ", 0)) << bodies[8];
    EXPECT_EQ("StartParameter: " + test::Narrow(mClient) + " -UpdateSilent", bodies[9]);
}

TEST_F(StartUp, AnOverLongArgumentAndUnknownOptionsEndNormally)
{
    const std::wstring longName(6000, L'n');
    const std::wstring commandLine = mClient + L" -ProgramName " + longName + L" -NoSuchOption -DisplayName D "
                                               L"-ProgramVersion 1.0 -InstalledLocation \"" + mTemp + L"p\" -Language 1033 -UpdateSilent " +
                                     std::wstring(4000, L'z');
    ASSERT_EQ(1, test::RunProcess(commandLine));
    // The name is too long for a file name of its own: the log path is cut, but the log is
    // written and holds the whole name.
    const auto files = LogFiles(L"n+");
    ASSERT_EQ(1u, files.size()) << test::Narrow(mLogFolder);
    const auto bodies = Bodies(files[0]);
    ASSERT_FALSE(bodies.empty());
    EXPECT_EQ("STARTING LOG", bodies[0]);
    EXPECT_NE(bodies.end(), std::find(bodies.begin(), bodies.end(), "ProgramName: " + test::Narrow(longName)));
    EXPECT_NE(bodies.end(), std::find(bodies.begin(), bodies.end(), "ExitCode 1"));

    // Nothing but unknown words, the first of them tried as a version-1 folder.
    ASSERT_EQ(1, test::RunProcess(mClient + L" -NoSuchOption " + std::wstring(5000, L'q') + L" -quickcheck -UpdateSilent"));
}

} // namespace
} // namespace qrnv
