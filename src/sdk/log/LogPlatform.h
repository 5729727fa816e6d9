#pragma once
// What the log engine needs of the operating system: the clock, thread and process ids,
// and an append-only, durable file.

#include <cstdint>
#include <string>
#include <string_view>

namespace qrnv::logplatform {

// Current UTC time as a file time: 100-nanosecond ticks since 1 January 1601.
std::int64_t NowFileTime();

struct LocalTime {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// A file time in local time, by the time-zone rules of that date.
LocalTime ToLocalTime(std::int64_t fileTime);

std::uint32_t CurrentThreadId();
std::uint32_t CurrentProcessId();

// A file opened for appending, shared for reading (and for appending by other writers,
// so that two runs in the same second share one file), created when missing.
class LogFile {
public:
    LogFile() = default;
    ~LogFile() { Close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // writeThrough: every write reaches the disk before it returns.
    bool Open(const std::wstring& path, bool writeThrough);
    // Appends the bytes with one system call, so lines of other writers cannot come between.
    void Append(std::string_view bytes);
    // Pushes what the system still buffers to the disk.
    void Flush();
    void Close();
    bool IsOpen() const;

private:
#ifdef _WIN32
    void* mHandle = nullptr;
#else
    int mFd = -1;
    bool mWriteThrough = false;
#endif
};

} // namespace qrnv::logplatform
