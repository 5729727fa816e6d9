#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <regex>

#include "Client/Log.h"
#include "support/LogLines.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

using test::ParseLogLine;

// Every test sets the log up afresh in a temporary folder of its own.
class LogFrontEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mTemp = test::MakeFreshFolder(L"front");
        ASSERT_FALSE(mTemp.empty());
        mPreviousTemp = test::SetTempFolder(mTemp);
        ResetLogForTests();
        const wchar_t sep = test::Separator();
        mLogFolder = mTemp + L"Quarn Software" + sep + L"Quarn Renova" + sep;
    }
    void TearDown() override
    {
        ResetLogForTests();
        test::SetTempFolder(mPreviousTemp);
        test::RemoveTree(mTemp);
    }

    // The log files of that program name in the log folder: "<14 digits>_<name>.log".
    std::vector<std::wstring> LogFiles(const std::wstring& name) const
    {
        std::vector<std::wstring> found;
        const std::wregex pattern(L"[0-9]{14}_" + std::regex_replace(name, std::wregex(L"[.^$|()\\[\\]{}*+?\\\\]"), L"\\$&") + L"\\.log");
        for (const auto& entry : test::ListFolder(mLogFolder)) {
            if (std::regex_match(entry, pattern)) {
                found.push_back(mLogFolder + entry);
            }
        }
        return found;
    }
    std::vector<std::string> LinesOf(const std::wstring& path) const { return test::SplitLogLines(test::ReadFileBytes(path)).lines; }

    std::wstring mPreviousTemp;
    std::wstring mTemp;
    std::wstring mLogFolder;
};

void ExpectStartingLog(const std::string& line)
{
    const auto parsed = ParseLogLine(line);
    ASSERT_TRUE(parsed) << line;
    EXPECT_EQ("AUD", parsed->level);
    EXPECT_EQ("QRNV", parsed->tag);
    EXPECT_EQ("STARTING LOG", parsed->body);
}

TEST_F(LogFrontEndTest, SetUpLogOpensTheProductFileWithStartingLogFirst)
{
    const std::string before = test::LocalTimeStamp();
    SetUpLog(L"Quarn Tool");
    const std::string after = test::LocalTimeStamp();
    EXPECT_TRUE(IsLogSetUp());

    const auto files = LogFiles(L"Quarn Tool");
    ASSERT_EQ(1u, files.size()) << test::Narrow(mLogFolder);
    EXPECT_EQ(files[0], GetLog().FilePath());
    const std::string stamp = test::Narrow(files[0].substr(mLogFolder.size(), 14));
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);
    const auto lines = LinesOf(files[0]);
    ASSERT_EQ(1u, lines.size());
    ExpectStartingLog(lines[0]);
    EXPECT_EQ(test::ThreadHex(test::SystemThreadId()), ParseLogLine(lines[0])->threadHex);
}

TEST_F(LogFrontEndTest, TheThreeCallsWriteTheirLevelWithTagQrnv)
{
    SetUpLog(L"Levels");
    LogInfo(L"Value %s=%d", L"x", 5);
    LogWarning(L"warn %d", -3);
    LogError(L"err %s", std::wstring(L"text"));
    const auto files = LogFiles(L"Levels");
    ASSERT_EQ(1u, files.size());
    const auto lines = LinesOf(files[0]);
    ASSERT_EQ(4u, lines.size());
    const std::pair<const char*, const char*> expected[] = {{"INF", "Value x=5"}, {"WAR", "warn -3"}, {"ERR", "err text"}};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto parsed = ParseLogLine(lines[i + 1]);
        ASSERT_TRUE(parsed) << lines[i + 1];
        EXPECT_EQ(expected[i].first, parsed->level);
        EXPECT_EQ("QRNV", parsed->tag);
        EXPECT_EQ(expected[i].second, parsed->body);
    }
}

TEST_F(LogFrontEndTest, AFormatWithMoreThanSevenPercentSignsIsDropped)
{
    struct Case {
        const char* what;
        std::function<void()> log;
        std::optional<std::string> body; // nothing: dropped
    };
    const Case cases[] = {
        {"seven conversions", [] { LogInfo(L"%d%d%d%d%d%d%d", 1, 2, 3, 4, 5, 6, 7); }, "1234567"},
        {"eight conversions", [] { LogInfo(L"%d%d%d%d%d%d%d%d", 1, 2, 3, 4, 5, 6, 7); }, std::nullopt},
        {"%% and six", [] { LogInfo(L"100%% %d%d%d%d%d%d", 1, 2, 3, 4, 5, 6); }, "100% 123456"},
        {"%% and seven", [] { LogInfo(L"100%% %d%d%d%d%d%d%d", 1, 2, 3, 4, 5, 6, 7); }, std::nullopt},
        {"four %%", [] { LogInfo(L"%%%%%%%%"); }, "%%%%"},
        {"eight %%", [] { LogInfo(L"%%%%%%%%%%%%%%%%"); }, std::nullopt},
        {"% at the end", [] { LogInfo(L"six %d%d%d%d%d%d %", 1, 2, 3, 4, 5, 6); }, "six 123456 %"},
        {"warning with eight", [] { LogWarning(L"%s%s%s%s%s%s%s%s", L"a"); }, std::nullopt},
        {"error with eight", [] { LogError(L"%x%x%x%x%x%x%x%x", 1); }, std::nullopt},
    };
    SetUpLog(L"Percent");
    const auto files = LogFiles(L"Percent");
    ASSERT_EQ(1u, files.size());
    for (const auto& c : cases) {
        const std::size_t before = LinesOf(files[0]).size();
        c.log();
        const auto lines = LinesOf(files[0]);
        if (!c.body) {
            EXPECT_EQ(before, lines.size()) << c.what;
            continue;
        }
        ASSERT_EQ(before + 1, lines.size()) << c.what;
        const auto parsed = ParseLogLine(lines.back());
        ASSERT_TRUE(parsed) << lines.back();
        EXPECT_EQ(*c.body, parsed->body) << c.what;
    }
}

TEST_F(LogFrontEndTest, LoggingBeforeTheSetUpUsesTheDefaultNameUntilTheProductSetUp)
{
    EXPECT_FALSE(IsLogSetUp());
    LogError(L"early %d", 7);
    EXPECT_TRUE(IsLogSetUp());
    const auto early = LogFiles(L"QuarnRenova");
    ASSERT_EQ(1u, early.size());

    SetUpLog(L"Quarn Tool");
    LogInfo(L"late");
    const auto late = LogFiles(L"Quarn Tool");
    ASSERT_EQ(1u, late.size());

    const auto earlyLines = LinesOf(early[0]);
    ASSERT_EQ(2u, earlyLines.size());
    ExpectStartingLog(earlyLines[0]);
    const auto earlyEntry = ParseLogLine(earlyLines[1]);
    ASSERT_TRUE(earlyEntry);
    EXPECT_EQ("ERR", earlyEntry->level);
    EXPECT_EQ("early 7", earlyEntry->body);

    const auto lateLines = LinesOf(late[0]);
    ASSERT_EQ(2u, lateLines.size());
    ExpectStartingLog(lateLines[0]);
    EXPECT_EQ("late", ParseLogLine(lateLines[1])->body);
}

// A temporary folder the log's folders cannot be made in: the set-up ends, log calls return,
// and nothing is written anywhere else.
TEST_F(LogFrontEndTest, ATemporaryFolderThatCannotBeUsedNeitherHangsNorCrashes)
{
    const wchar_t sep = test::Separator();
    const std::wstring aFile = mTemp + L"plain-file";
    ASSERT_TRUE(test::WriteFileBytes(aFile, "not a folder"));
    struct Case {
        const char* what;
        std::wstring temp;
    };
    std::vector<Case> cases = {
        {"a file", aFile + sep},
        {"below a file", aFile + sep + L"sub" + sep},
        {"missing levels", mTemp + L"missing" + sep + L"deeper" + sep},
    };
    const std::wstring locked = mTemp + L"locked";
    if (test::MakeUnwritableFolder(locked)) {
        cases.push_back({"an unwritable folder", locked + sep});
    }
    const std::wstring cwd = test::MakeFreshFolder(L"cwd");
    const std::wstring previousCwd = test::ChangeDirectory(cwd);
    for (const auto& c : cases) {
        ResetLogForTests();
        test::SetTempFolder(c.temp);
        SetUpLog(L"Unusable");
        EXPECT_TRUE(IsLogSetUp()) << c.what;
        LogInfo(L"after the set-up %s", L"x");
        LogError(L"an error %d", 1);
        EXPECT_TRUE(GetLog().FilePath().empty()) << c.what << ": " << test::Narrow(GetLog().FilePath());
        EXPECT_TRUE(test::ListFolder(cwd).empty()) << c.what << ": a log file in the current directory";
    }
    ResetLogForTests();
    test::ChangeDirectory(previousCwd);
    EXPECT_FALSE(test::PathExists(mTemp + L"missing")) << "folders made below the missing level";
    test::RemoveTree(cwd);
}

} // namespace
} // namespace qrnv
