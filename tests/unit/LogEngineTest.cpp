#include <gtest/gtest.h>

#include <map>
#include <set>
#include <thread>

#include "sdk/log/CLog.h"
#include "support/LogLines.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

using test::LogFileLines;
using test::ParseLogLine;

// One engine writing into a file of a fresh folder of its own.
class LogEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mFolder = test::MakeFreshFolder(L"log");
        ASSERT_FALSE(mFolder.empty());
        mFile = mFolder + L"engine.log";
    }
    void TearDown() override
    {
        mLog.Close();
        test::RemoveTree(mFolder);
    }

    void Open(std::int32_t threshold, bool showThreadId = true)
    {
        ASSERT_EQ(kLogOk, mLog.Init(L"TEST", threshold, showThreadId));
        ASSERT_EQ(1, mLog.OpenFile(mFile.c_str()));
    }
    std::string Bytes() const { return test::ReadFileBytes(mFile); }
    LogFileLines Lines() const { return test::SplitLogLines(Bytes()); }

    std::wstring mFolder;
    std::wstring mFile;
    CLog mLog;
};

TEST(LogEngineLevels, EveryLevelHasItsName)
{
    const std::map<std::uint32_t, std::wstring> names = {
        {0, L"off"},  {1, L"CRI"},  {2, L"ERR"},  {3, L"WAR"},  {4, L"INF"},  {5, L"AUD"},  {6, L"DB1"},
        {7, L"DB2"},  {8, L"DB3"},  {9, L"DB4"},  {10, L"RS1"}, {11, L"RS2"}, {12, L"RS3"}, {13, L"RS4"},
        {14, L"RS5"}, {15, L"ALW"}, {16, L"RS6"}, {17, L"RS7"}, {18, L"RS8"}, {19, L"RS9"}, {20, L"RSA"},
        {21, L"TRM"}, {22, L"TRM"}, {25, L"TRM"}, {1000, L"TRM"}, {0xFFFFFFFFu, L"TRM"},
    };
    for (const auto& [level, name] : names) {
        EXPECT_EQ(name, CLog::LevelName(level)) << "level " << level;
    }
}

TEST_F(LogEngineTest, FilterPassesLevelFifteenAndLevelsUpToTheThreshold)
{
    struct Case {
        std::int32_t threshold;
        std::set<std::uint32_t> written; // of the levels 0..30
    };
    std::set<std::uint32_t> upTo15, upTo25;
    for (std::uint32_t l = 0; l <= 15; ++l) upTo15.insert(l);
    for (std::uint32_t l = 0; l <= 25; ++l) upTo25.insert(l);
    const Case cases[] = {
        {0, {0, 15}},
        {-3, {0, 15}}, // a negative threshold counts as 0
        {4, {0, 1, 2, 3, 4, 15}},
        {15, upTo15},
        {25, upTo25},
    };
    for (const auto& c : cases) {
        mLog.Close();
        test::RemoveTree(mFile);
        Open(c.threshold);
        for (std::uint32_t level = 0; level <= 30; ++level) {
            mLog.Write(level, L"F", FormatText(L"L%u", level).c_str());
        }
        std::set<std::uint32_t> seen;
        for (const auto& line : Lines().lines) {
            const auto parsed = ParseLogLine(line);
            ASSERT_TRUE(parsed) << line;
            const std::uint32_t level = static_cast<std::uint32_t>(std::stoul(parsed->body.substr(1)));
            EXPECT_EQ(test::Narrow(CLog::LevelName(level)), parsed->level) << line;
            seen.insert(level);
        }
        EXPECT_EQ(c.written, seen) << "threshold " << c.threshold;
    }
}

TEST_F(LogEngineTest, LineHasTimeLevelTagThreadAndBodyAndEndsWithCrLf)
{
    Open(15);
    const std::string before = test::LocalTimeStamp();
    mLog.Write(4, L"QRNV", L"hello world");
    const std::string after = test::LocalTimeStamp();

    const std::string bytes = Bytes();
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ("\r\n", bytes.substr(bytes.size() - 2));
    const LogFileLines lines = Lines();
    ASSERT_EQ(1u, lines.lines.size());
    const auto line = ParseLogLine(lines.lines[0]);
    ASSERT_TRUE(line) << lines.lines[0];
    EXPECT_LE(before, line->stamp);
    EXPECT_GE(after, line->stamp);
    EXPECT_EQ("INF", line->level);
    EXPECT_EQ("QRNV", line->tag);
    EXPECT_EQ(test::ThreadHex(test::SystemThreadId()), line->threadHex);
    EXPECT_EQ("hello world", line->body);
    // Exactly one blank between the 23 characters of the time and the level name.
    EXPECT_EQ(' ', lines.lines[0][23]);
    EXPECT_EQ("INF: QRNV:[08", lines.lines[0].substr(24, 13));
}

TEST_F(LogEngineTest, WithoutThreadIdTheBodyIsTheMessageAlone)
{
    Open(15, false);
    mLog.Write(2, L"QRNV", L"plain");
    const LogFileLines lines = Lines();
    ASSERT_EQ(1u, lines.lines.size());
    EXPECT_EQ(" ERR: QRNV:plain", lines.lines[0].substr(23));
}

TEST_F(LogEngineTest, EmptyOrNullSourceTagLeavesOnlyLevelColonAndBlank)
{
    Open(15, false);
    mLog.Write(3, L"", L"no tag");
    mLog.Write(3, nullptr, L"null tag");
    mLog.Write(3, L"T", nullptr); // a null message prints as empty
    const LogFileLines lines = Lines();
    ASSERT_EQ(3u, lines.lines.size());
    EXPECT_EQ(" WAR: no tag", lines.lines[0].substr(23));
    EXPECT_EQ(" WAR: null tag", lines.lines[1].substr(23));
    EXPECT_EQ(" WAR: T:", lines.lines[2].substr(23));
}

TEST_F(LogEngineTest, OneTrailingLineFeedIsRemoved)
{
    struct Case {
        const wchar_t* message;
        std::string written; // the line after the time, before "\r\n"
    };
    const Case cases[] = {
        {L"a\n", " INF: a"},
        {L"a\n\n", " INF: a\n"},
        {L"\n", " INF: "},
        {L"a\nb", " INF: a\nb"},
        {L"a\r\n", " INF: a\r"},
        // Inside the text CR LF would end the record early.
        {L"x\r\ny\r\n\r\nz", " INF: x\ny\n\nz"},
    };
    Open(15, false);
    for (const auto& c : cases) {
        mLog.Write(4, L"", c.message);
    }
    std::string expected;
    const std::string bytes = Bytes();
    std::size_t pos = 0;
    for (const auto& c : cases) {
        // Each line: 23 characters of time, then the text, then "\r\n".
        ASSERT_LE(pos + 23, bytes.size());
        const std::size_t end = pos + 23 + c.written.size();
        ASSERT_LE(end + 2, bytes.size());
        EXPECT_EQ(c.written, bytes.substr(pos + 23, c.written.size())) << "message " << test::Narrow(c.message);
        EXPECT_EQ("\r\n", bytes.substr(end, 2)) << "message " << test::Narrow(c.message);
        pos = end + 2;
    }
    EXPECT_EQ(bytes.size(), pos);

    // With the thread id the line feed is removed from the end of the whole body.
    mLog.Close();
    test::RemoveTree(mFile);
    Open(15, true);
    mLog.Write(4, L"Q", L"x\n");
    const auto line = ParseLogLine(Lines().lines.at(0));
    ASSERT_TRUE(line);
    EXPECT_EQ("x", line->body);
}

TEST_F(LogEngineTest, LongLinesAreCutAt8191BytesAndTheNextLineIsWhole)
{
    Open(15, false);
    // Without thread id and tag a line is 29 characters ("dd.mm.yyyy hh:mm:ss:mmm INF: ")
    // before the message.
    const std::size_t prefix = 29;
    mLog.Write(4, L"", std::wstring(8191 - prefix, L'a').c_str());
    mLog.Write(4, L"", std::wstring(8192 - prefix, L'b').c_str());
    mLog.Write(4, L"", std::wstring(20000, L'c').c_str());
    const std::wstring huge(50000, L'd');
    const FormatArg args[] = {FormatArg(huge)};
    mLog.Print(4, L"", L"%s", args);
    mLog.Write(4, L"", L"after");

    const LogFileLines lines = Lines();
    ASSERT_TRUE(lines.complete);
    ASSERT_EQ(5u, lines.lines.size());
    EXPECT_EQ(8191u, lines.lines[0].size());
    EXPECT_EQ('a', lines.lines[0].back());
    EXPECT_EQ(8191u, lines.lines[1].size());
    EXPECT_EQ(std::string(8191 - prefix, 'b'), lines.lines[1].substr(prefix));
    EXPECT_EQ(8191u, lines.lines[2].size());
    EXPECT_EQ(8191u, lines.lines[3].size());
    EXPECT_EQ('d', lines.lines[3].back());
    EXPECT_EQ(" INF: after", lines.lines[4].substr(23));
}

TEST_F(LogEngineTest, CharactersAboveLatin1BecomeOneQuestionMarkEach)
{
    Open(15, false);
    // A CJK character, a Latin-1 one, a character outside the basic plane (two UTF-16
    // units on Windows) and the last Latin-1 character.
    mLog.Write(4, L"", L"a\u4e0db\u00e9c\U0001F600d\u00ff");
    mLog.Write(4, L"", L"next");
    const LogFileLines lines = Lines();
    ASSERT_TRUE(lines.complete);
    ASSERT_EQ(2u, lines.lines.size());
    EXPECT_EQ(" INF: a?b\xe9" "c?d\xff", lines.lines[0].substr(23));
    EXPECT_EQ(" INF: next", lines.lines[1].substr(23));
}

TEST(LogEnginePath, ExpandLogPathReplacesTimeStampAndProcessId)
{
    const std::wstring pid = std::to_wstring(test::SystemProcessId());
    const std::string before = test::LocalTimeStamp();
    const std::wstring one = ExpandLogPath(L"C:\\logs\\%D_%P.log");
    const std::wstring two = ExpandLogPath(L"%D-%D|%P%P|%d%p%");
    const std::string after = test::LocalTimeStamp();

    ASSERT_EQ(std::wstring(L"C:\\logs\\").size() + 14 + 1 + pid.size() + 4, one.size()) << test::Narrow(one);
    EXPECT_EQ(L"C:\\logs\\", one.substr(0, 8));
    const std::string stamp = test::Narrow(one.substr(8, 14));
    EXPECT_EQ(std::string::npos, stamp.find_first_not_of("0123456789")) << stamp;
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);
    EXPECT_EQ(L"_" + pid + L".log", one.substr(22));

    ASSERT_EQ(14u + 1 + 14 + 1 + 2 * pid.size() + 6, two.size()) << test::Narrow(two);
    EXPECT_EQ(two.substr(0, 14), two.substr(15, 14));
    EXPECT_EQ(L"|" + pid + pid + L"|%d%p%", two.substr(29));

    // The path holds at most 259 characters.
    EXPECT_EQ(259u, ExpandLogPath(std::wstring(300, L'x') + L"%D").size());
}

TEST_F(LogEngineTest, OpeningAnExistingFileAppends)
{
    ASSERT_TRUE(test::WriteFileBytes(mFile, "earlier run\r\n"));
    Open(15, false);
    mLog.Write(4, L"", L"first");
    mLog.Close();
    Open(15, false);
    mLog.Write(4, L"", L"second");
    const LogFileLines lines = Lines();
    ASSERT_EQ(3u, lines.lines.size());
    EXPECT_EQ("earlier run", lines.lines[0]);
    EXPECT_EQ(" INF: first", lines.lines[1].substr(23));
    EXPECT_EQ(" INF: second", lines.lines[2].substr(23));
}

TEST_F(LogEngineTest, InitRefusesANullNameAndKeepsItsSettings)
{
    ASSERT_EQ(kLogOk, mLog.Init(L"TEST", 7, true));
    EXPECT_EQ(kLogInvalidArg, mLog.Init(nullptr, 0, false));
    EXPECT_EQ(7, mLog.Threshold());
    EXPECT_EQ(kLogOk, mLog.Init(L"TEST", -5, true));
    EXPECT_EQ(0, mLog.Threshold());
}

TEST_F(LogEngineTest, OpenFileWithEmptyPathClosesTheFile)
{
    Open(15, false);
    mLog.Write(4, L"", L"kept");
    EXPECT_EQ(1, mLog.OpenFile(L""));
    EXPECT_TRUE(mLog.FilePath().empty());
    mLog.Write(4, L"", L"lost");
    EXPECT_EQ(0, mLog.OpenFile(L""));
    EXPECT_EQ(0, mLog.OpenFile(nullptr));
    const LogFileLines lines = Lines();
    ASSERT_EQ(1u, lines.lines.size());
    EXPECT_EQ(" INF: kept", lines.lines[0].substr(23));
}

TEST_F(LogEngineTest, AFileThatCannotBeOpenedLosesEntriesQuietly)
{
    ASSERT_EQ(kLogOk, mLog.Init(L"TEST", 15, true));
    const std::wstring missing = mFolder + L"missing" + test::Separator() + L"x.log";
    EXPECT_EQ(0, mLog.OpenFile(missing.c_str()));
    EXPECT_TRUE(mLog.FilePath().empty());
    mLog.Write(4, L"", L"nowhere");
    EXPECT_FALSE(test::PathExists(missing));
}

// Checks that every line of the file is whole and that each writer's lines are all there,
// in order. A writer is a (tag, thread number) pair; bodies are "<tag> <thread> <n> <filler>".
void ExpectWholeLines(const std::string& bytes, const std::map<std::string, int>& linesPerTag, int threadsPerTag)
{
    const LogFileLines lines = test::SplitLogLines(bytes);
    EXPECT_TRUE(lines.complete);
    std::map<std::pair<std::string, int>, int> next;
    std::map<std::pair<std::string, int>, std::string> threadOf;
    std::size_t total = 0;
    for (const auto& line : lines.lines) {
        const auto parsed = ParseLogLine(line);
        ASSERT_TRUE(parsed) << "broken line: " << line.substr(0, 200);
        char tag[32] = {};
        int thread = -1, n = -1, consumed = 0;
        ASSERT_EQ(3, std::sscanf(parsed->body.c_str(), "%31s %d %d %n", tag, &thread, &n, &consumed)) << line;
        ASSERT_EQ(parsed->tag, tag) << line;
        ASSERT_EQ(std::string(160, 'x'), parsed->body.substr(static_cast<std::size_t>(consumed))) << line;
        const auto key = std::make_pair(std::string(tag), thread);
        ASSERT_EQ(next[key], n) << "lost or reordered line of " << tag << " " << thread;
        ++next[key];
        auto [it, inserted] = threadOf.emplace(key, parsed->threadHex);
        ASSERT_EQ(it->second, parsed->threadHex) << line;
        ++total;
    }
    std::size_t expectedTotal = 0;
    for (const auto& [tag, count] : linesPerTag) {
        for (int t = 0; t < threadsPerTag; ++t) {
            EXPECT_EQ(count, next[std::make_pair(tag, t)]) << tag << " " << t;
            expectedTotal += static_cast<std::size_t>(count);
        }
    }
    EXPECT_EQ(expectedTotal, total);
}

TEST_F(LogEngineTest, ThreadsWritingAtOnceNeverInterleaveOrLoseLines)
{
    Open(15);
    const int threads = 8;
    const int lines = 400;
    const std::wstring filler(160, L'x');
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < lines; ++i) {
                mLog.Write(4, L"THR", FormatText(L"THR %d %d %s", t, i, filler).c_str());
            }
        });
    }
    for (auto& w : workers) {
        w.join();
    }
    ExpectWholeLines(Bytes(), {{"THR", lines}}, threads);
}

TEST_F(LogEngineTest, ProcessesWritingOneFileAtOnceNeverInterleaveOrLoseLines)
{
    const std::wstring writer = test::HelperProgramPath(L"qrnv_log_writer");
    ASSERT_TRUE(test::PathExists(writer)) << test::Narrow(writer);
    const int lines = 1500;
    const int threads = 2;
    const std::wstring args = L" \"" + mFile + L"\" %s " + std::to_wstring(lines) + L" " + std::to_wstring(threads);

    test::ChildProcess first, second;
    ASSERT_TRUE(first.Start(L"\"" + writer + L"\"" + FormatText(args, L"CHA")));
    ASSERT_TRUE(second.Start(L"\"" + writer + L"\"" + FormatText(args, L"CHB")));
    // This process writes at the same time, through an engine of its own.
    Open(15);
    const std::wstring filler(160, L'x');
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < lines; ++i) {
                mLog.Write(4, L"PAR", FormatText(L"PAR %d %d %s", t, i, filler).c_str());
            }
        });
    }
    for (auto& w : workers) {
        w.join();
    }
    EXPECT_EQ(0, first.Wait());
    EXPECT_EQ(0, second.Wait());
    ExpectWholeLines(Bytes(), {{"CHA", lines}, {"CHB", lines}, {"PAR", lines}}, threads);
}

} // namespace
} // namespace qrnv
