#include "sdk/log/LogPlatform.h"

#include "sdk/WinInclude.h"

namespace qrnv::logplatform {

std::int64_t NowFileTime()
{
    SYSTEMTIME st;
    GetSystemTime(&st);
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return (static_cast<std::int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

LocalTime ToLocalTime(std::int64_t fileTime)
{
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(fileTime & 0xFFFFFFFF);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(fileTime) >> 32);
    SYSTEMTIME utc{}, local{};
    FileTimeToSystemTime(&ft, &utc);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        local = utc;
    }
    LocalTime t;
    t.year = local.wYear;
    t.month = local.wMonth;
    t.day = local.wDay;
    t.hour = local.wHour;
    t.minute = local.wMinute;
    t.second = local.wSecond;
    t.millisecond = local.wMilliseconds;
    return t;
}

std::uint32_t CurrentThreadId()
{
    return GetCurrentThreadId();
}

std::uint32_t CurrentProcessId()
{
    return GetCurrentProcessId();
}

bool LogFile::Open(const std::wstring& path, bool writeThrough)
{
    Close();
    // FILE_APPEND_DATA: each write lands at the end of the file, also when another process
    // appends to it at the same time. Shared for writing so that a second run in the same
    // second can append to the same file instead of losing its log.
    HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | (writeThrough ? FILE_FLAG_WRITE_THROUGH : 0), nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    mHandle = h;
    return true;
}

void LogFile::Append(std::string_view bytes)
{
    if (!mHandle) {
        return;
    }
    DWORD written = 0;
    WriteFile(static_cast<HANDLE>(mHandle), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void LogFile::Flush()
{
    if (mHandle) {
        FlushFileBuffers(static_cast<HANDLE>(mHandle));
    }
}

void LogFile::Close()
{
    if (mHandle) {
        CloseHandle(static_cast<HANDLE>(mHandle));
        mHandle = nullptr;
    }
}

bool LogFile::IsOpen() const
{
    return mHandle != nullptr;
}

} // namespace qrnv::logplatform
