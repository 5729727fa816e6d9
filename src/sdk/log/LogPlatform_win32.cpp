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
    // FILE_APPEND_DATA: each write lands at the end of the file. Shared for writing so that a
    // second run in the same second can append to the same file instead of losing its log.
    // FILE_READ_DATA only so that the handle may take the byte-range lock of Append.
    HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | (writeThrough ? FILE_FLAG_WRITE_THROUGH : 0), nullptr);
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
    // Not every file system makes an append atomic between processes (Wine finds the end and
    // then writes, so two writers overwrite each other's lines). Every writer of the file
    // therefore takes an exclusive lock on one byte far beyond any data first.
    HANDLE h = static_cast<HANDLE>(mHandle);
    OVERLAPPED lockRegion{};
    lockRegion.Offset = 0xFFFFFFFF;
    lockRegion.OffsetHigh = 0x7FFFFFFF;
    const BOOL locked = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockRegion);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (locked) {
        UnlockFileEx(h, 0, 1, 0, &lockRegion);
    }
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
