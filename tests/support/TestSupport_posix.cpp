#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>



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

std::vector<std::wstring> TempVariables()
{
    return {L"TMPDIR"};
}

bool MakeUnwritableFolder(const std::wstring& path)
{
    if (geteuid() == 0) {
        return false;
    }
    return mkdir(Narrow(path).c_str(), 0500) == 0;
}

void PutEnv(const std::wstring& name, const std::wstring* value)
{
    if (value) {
        setenv(Narrow(name).c_str(), Narrow(*value).c_str(), 1);
    } else {
        unsetenv(Narrow(name).c_str());
    }
}

bool FindEnv(const std::wstring& name, std::wstring& value)
{
    const char* v = std::getenv(Narrow(name).c_str());
    if (!v) {
        return false;
    }
    value = Widen(v);
    return true;
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

std::wstring HelperProgramPath(const std::wstring& name)
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

} // namespace qrnv::test
