#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdlib>

#include "Client/system/ModulePath.h"
#include "Client/system/Process.h"
#include "sdk/text/TextConvert.h"
#include "support/TestSupport.h"

namespace qrnv {
namespace {

TEST(StartProcess, ASignalEndReportsOneHundredTwentyEightPlusTheSignal)
{
    std::uint32_t exitCode = 0;
    ASSERT_EQ(0u, StartProcess(test::HelperProgramPath(L"qrnv_test_child"), L"--signal 9", true, exitCode, false));
    EXPECT_EQ(128u + SIGKILL, exitCode);
    ASSERT_EQ(0u, StartProcess(test::HelperProgramPath(L"qrnv_test_child"), L"--signal 15", true, exitCode, false));
    EXPECT_EQ(128u + SIGTERM, exitCode);
}

TEST(StartProcess, AnEmptyPathSearchesThePath)
{
    std::wstring folder;
    ASSERT_TRUE(GetModuleDirectory(folder));
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    setenv("PATH", (WideToUtf8(folder) + ":" + saved).c_str(), 1);
    std::uint32_t exitCode = 0;
    const std::uint32_t result = StartProcess(L"", L"qrnv_test_child --exit 6", true, exitCode, false);
    setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(0u, result);
    EXPECT_EQ(6u, exitCode);
}

TEST(StartProcess, NoProgramsAreLeftAsZombies)
{
    std::uint32_t exitCode = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(0u, StartProcess(test::HelperProgramPath(L"qrnv_test_child"), L"--exit 0", false, exitCode, false));
    }
    // The background reapers collect them. Looked at without reaping (WNOWAIT): an ended
    // child that nobody waited for would stay here as a zombie.
    bool noChildren = false;
    for (int i = 0; i < 500 && !noChildren; ++i) {
        siginfo_t info{};
        noChildren = waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
        if (!noChildren) {
            usleep(10000);
        }
    }
    EXPECT_TRUE(noChildren);
}

TEST(MakeOwnerExecutable, GivesTheOwnerAloneEveryRight)
{
    const test::ScopedFolder folder;
    const std::wstring path = folder.Path() + L"QuarnRenovaWorker.exe";
    ASSERT_TRUE(test::WriteFileBytes(path, test::ReadFileBytes(test::HelperProgramPath(L"qrnv_test_child"))));
    chmod(WideToUtf8(path).c_str(), 0666);
    ASSERT_TRUE(MakeOwnerExecutable(path));
    struct stat st;
    ASSERT_EQ(0, stat(WideToUtf8(path).c_str(), &st));
    EXPECT_EQ(0700u, st.st_mode & 07777);
    std::uint32_t exitCode = 0;
    EXPECT_EQ(0u, StartProcess(path, L"--exit 2", true, exitCode, false));
    EXPECT_EQ(2u, exitCode);
    EXPECT_FALSE(MakeOwnerExecutable(folder.Path() + L"missing"));
}

} // namespace
} // namespace qrnv
