#include "support/TestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "Client/system/CommandLineText.h"

extern char** environ;

namespace qrnv::test {
namespace detail {
std::wstring SystemTempBase()
{
    const char* value = std::getenv("TMPDIR");
    std::string base = (value && *value == '/') ? value : "/tmp";
    if (base.back() != '/') {
        base += '/';
    }
    return Widen(base);
}
} // namespace detail

wchar_t Separator()
{
    return L'/';
}

std::wstring SetTempFolder(const std::wstring& folder)
{
    const std::wstring previous = GetEnv(L"TMPDIR");
    SetEnv(L"TMPDIR", folder);
    return previous;
}

bool MakeUnwritableFolder(const std::wstring& path)
{
    if (geteuid() == 0) {
        return false;
    }
    return mkdir(Narrow(path).c_str(), 0500) == 0;
}

void SetEnv(const std::wstring& name, const std::wstring& value)
{
    if (value.empty()) {
        unsetenv(Narrow(name).c_str());
    } else {
        setenv(Narrow(name).c_str(), Narrow(value).c_str(), 1);
    }
}

std::wstring GetEnv(const std::wstring& name)
{
    const char* value = std::getenv(Narrow(name).c_str());
    return value ? Widen(value) : std::wstring();
}

bool SetFileDay(const std::wstring& path, int year, int month, int day)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    const time_t t = mktime(&tm);
    if (t == static_cast<time_t>(-1)) {
        return false;
    }
    timespec times[2] = {{t, 0}, {t, 0}};
    return utimensat(AT_FDCWD, Narrow(path).c_str(), times, 0) == 0;
}

std::wstring OwnExecutablePath()
{
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? Widen(std::string(buffer, static_cast<std::size_t>(n))) : std::wstring();
}

std::wstring BuiltProgramPath(const std::wstring& name)
{
    return OwnExecutableFolder() + name;
}

std::uint32_t SystemThreadId()
{
    return static_cast<std::uint32_t>(syscall(SYS_gettid));
}

std::uint32_t SystemProcessId()
{
    return static_cast<std::uint32_t>(getpid());
}

std::string LocalTimeStamp()
{
    // Not std::time: it reads a coarse clock that may still show the last second when the
    // precise clock (which the log uses) has passed into the next.
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    const time_t now = ts.tv_sec;
    std::tm tm{};
    localtime_r(&now, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y%m%d%H%M%S", &tm);
    return buffer;
}

ChildProcess::~ChildProcess()
{
    if (mPid > 0) {
        kill(mPid, SIGKILL);
        waitpid(mPid, nullptr, 0);
    }
}

bool ChildProcess::Start(const std::wstring& commandLine)
{
    const std::vector<std::wstring> args = SplitCommandLine(commandLine, true);
    if (args.empty() || args[0].empty()) {
        return false;
    }
    std::vector<std::string> narrow;
    for (const auto& a : args) {
        narrow.push_back(Narrow(a));
    }
    std::vector<char*> argv;
    for (auto& a : narrow) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, narrow[0].c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    mPid = pid;
    return true;
}

int ChildProcess::Wait(std::uint32_t timeoutMs)
{
    if (mPid <= 0) {
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(mPid, &status, WNOHANG);
        if (r == mPid) {
            mPid = -1;
            if (WIFEXITED(status)) {
                return WEXITSTATUS(status);
            }
            return -1; // killed by a signal: a crash
        }
        if (r < 0) {
            mPid = -1;
            return -1;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
            mPid = -1;
            return -2;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace qrnv::test
