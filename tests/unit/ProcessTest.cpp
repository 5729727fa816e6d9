#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "Client/system/CommandLineText.h"
#include "Client/system/LastError.h"
#include "Client/system/Process.h"
#include "sdk/text/TextConvert.h"
#include "support/TestSupport.h"
#include "support/LogLines.h"

namespace qrnv {
namespace {

using test::LogCapture;

std::wstring Child()
{
    return test::HelperProgramPath(L"qrnv_test_child");
}

// The arguments the child recorded, one a line.
std::vector<std::wstring> Recorded(const std::wstring& path)
{
    std::vector<std::wstring> args;
    const std::string bytes = test::ReadFileBytes(path);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find('\n', pos);
        args.push_back(Utf8ToWide(bytes.substr(pos, end - pos)));
        pos = end == std::string::npos ? bytes.size() : end + 1;
    }
    return args;
}

TEST(StartProcess, PassesTheExitCodeThroughWhole)
{
    struct Case {
        const wchar_t* arguments;
        bool elevated;
        std::uint32_t exitCode;
    };
    const Case cases[] = {
        {L"--exit 0", false, 0},
        {L"--exit 7", false, 7},
        {L"--exit -1", false, 0xFFFFFFFFu},
        {L"--exit 7", true, 7},
        {L"--exit -1", true, 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        std::uint32_t exitCode = 12345;
        EXPECT_EQ(0u, StartProcess(Child(), c.arguments, true, exitCode, c.elevated)) << c.arguments << c.elevated;
        EXPECT_EQ(c.exitCode, exitCode) << c.arguments << c.elevated;
    }
}

TEST(StartProcess, LogsThePlainStartWithItsCommandLine)
{
    const LogCapture log;
    std::uint32_t exitCode = 0;
    ASSERT_EQ(0u, StartProcess(Child(), L"--exit 3", true, exitCode, false));
    EXPECT_EQ((std::vector<std::wstring>{L"Try start application " + Child() + L" per CreateProcess with commandline: \"" +
                                             Child() + L"\" --exit 3",
                                         L"CreateProcess successful"}),
              log.Messages());
}

TEST(StartProcess, LogsTheElevatedStartWithItsArguments)
{
    const LogCapture log;
    std::uint32_t exitCode = 0;
    ASSERT_EQ(0u, StartProcess(Child(), L"--exit 3", true, exitCode, true));
    EXPECT_EQ((std::vector<std::wstring>{L"Try start application " + Child() + L" per UseShellExecute with commandline: --exit 3",
                                         L"ShellExecuteEx successful"}),
              log.Messages());
}

TEST(StartProcess, TheProgramGetsItsArgumentsSplitByTheRuntimeRules)
{
    const test::ScopedFolder folder;
    const std::wstring record = folder.Path() + L"args with blank.txt";
    const std::wstring rest = L"plain \"two words\" a\\\"b \"tail\\\\\" \"\" x\"\"y \u00fc\u4e0d";
    const std::vector<std::wstring> expected = {L"--record", record, L"plain", L"two words", L"a\"b", L"tail\\", L"", L"xy",
                                                L"\u00fc\u4e0d"};
    EXPECT_EQ(expected, SplitCommandLine(L"--record \"" + record + L"\" " + rest));
    for (const bool elevated : {false, true}) {
        std::filesystem::remove(test::ToFsPath(record));
        std::uint32_t exitCode = 1;
        ASSERT_EQ(0u, StartProcess(Child(), L"--record \"" + record + L"\" " + rest, true, exitCode, elevated));
        EXPECT_EQ(0u, exitCode);
        EXPECT_EQ(expected, Recorded(record)) << elevated;
    }
}

TEST(StartProcess, AnEmptyPathTakesTheProgramFromTheCommandLine)
{
    const LogCapture log;
    std::uint32_t exitCode = 0;
    const std::wstring line = L"\"" + Child() + L"\" --exit 4";
    ASSERT_EQ(0u, StartProcess(L"", line, true, exitCode, false));
    EXPECT_EQ(4u, exitCode);
    ASSERT_FALSE(log.Messages().empty());
    EXPECT_EQ(L"Try start application  per CreateProcess with commandline: " + line, log.Messages()[0]);
}

TEST(StartProcess, AMissingProgramFailsWithTheSystemsCode)
{
    const test::ScopedFolder folder;
    const std::wstring missing = folder.Path() + L"missing.exe";
    for (const bool elevated : {false, true}) {
        const LogCapture log;
        std::uint32_t exitCode = 99;
        EXPECT_EQ(kErrorFileNotFound, StartProcess(missing, L"--exit 1", true, exitCode, elevated)) << elevated;
        EXPECT_EQ(0u, exitCode);
        const auto lines = log.Lines();
        ASSERT_EQ(2u, lines.size()) << elevated;
        EXPECT_EQ(L"ERR", lines[1].level);
        EXPECT_EQ(0u, lines[1].message.find(L"StartProcess for " + missing + L" failed because: \"")) << lines[1].message;
        EXPECT_NE(std::wstring::npos, lines[1].message.find(L" (2)\"")) << lines[1].message;
    }
}

TEST(StartProcess, WithoutWaitingItReturnsAtOnceAndTheProgramStillRuns)
{
    const test::ScopedFolder folder;
    const std::wstring record = folder.Path() + L"late.txt";
    std::uint32_t exitCode = 55;
    ASSERT_EQ(0u, StartProcess(Child(), L"--exit 9 --record \"" + record + L"\"", false, exitCode, false));
    EXPECT_EQ(0u, exitCode);
    for (int i = 0; i < 1000 && Recorded(record).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"--exit", L"9", L"--record", record}), Recorded(record));
}

} // namespace
} // namespace qrnv
