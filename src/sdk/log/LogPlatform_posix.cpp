#include "sdk/log/LogPlatform.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "sdk/text/TextConvert.h"

namespace qrnv::logplatform {
namespace {
constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kUnixEpochTicks = 116444736000000000LL; // 1970-01-01 as a file time
} // namespace

std::int64_t NowFileTime()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return kUnixEpochTicks + static_cast<std::int64_t>(ts.tv_sec) * kTicksPerSecond + ts.tv_nsec / 100;
}

LocalTime ToLocalTime(std::int64_t fileTime)
{
    const std::int64_t sinceEpoch = fileTime - kUnixEpochTicks;
    time_t seconds = static_cast<time_t>(sinceEpoch / kTicksPerSecond);
    std::int64_t rest = sinceEpoch % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    std::tm tm{};
    localtime_r(&seconds, &tm);
    LocalTime t;
    t.year = static_cast<unsigned>(tm.tm_year + 1900);
    t.month = static_cast<unsigned>(tm.tm_mon + 1);
    t.day = static_cast<unsigned>(tm.tm_mday);
    t.hour = static_cast<unsigned>(tm.tm_hour);
    t.minute = static_cast<unsigned>(tm.tm_min);
    t.second = static_cast<unsigned>(tm.tm_sec);
    t.millisecond = static_cast<unsigned>(rest / 10000);
    return t;
}

std::uint32_t CurrentThreadId()
{
    return static_cast<std::uint32_t>(syscall(SYS_gettid));
}

std::uint32_t CurrentProcessId()
{
    return static_cast<std::uint32_t>(getpid());
}

bool LogFile::Open(const std::wstring& path, bool writeThrough)
{
    Close();
    // O_APPEND: every write goes to the end, also with other processes writing the file.
    const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (writeThrough ? O_DSYNC : 0);
    mFd = open(WideToUtf8(path).c_str(), flags, 0600);
    mWriteThrough = writeThrough;
    return mFd >= 0;
}

void LogFile::Append(std::string_view bytes)
{
    if (mFd < 0) {
        return;
    }
    while (!bytes.empty()) {
        const ssize_t n = write(mFd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return; // a write error loses the entry, nothing more
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void LogFile::Flush()
{
    // With O_DSYNC the data is on disk when write returns.
    if (mFd >= 0 && !mWriteThrough) {
        fdatasync(mFd);
    }
}

void LogFile::Close()
{
    if (mFd >= 0) {
        close(mFd);
        mFd = -1;
    }
}

bool LogFile::IsOpen() const
{
    return mFd >= 0;
}

} // namespace qrnv::logplatform
