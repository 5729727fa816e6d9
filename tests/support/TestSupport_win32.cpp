#include "support/TestSupport.h"

#include <cstdio>
#include <ctime>

#include "sdk/WinInclude.h"

namespace qrnv::test {
namespace detail {
std::wstring SystemTempBase()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    std::wstring base(buffer, n);
    if (base.empty() || base.back() != L'\\') {
        base += L'\\';
    }
    return base;
}
} // namespace detail

wchar_t Separator()
{
    return L'\\';
}

std::wstring SetTempFolder(const std::wstring& folder)
{
    const std::wstring previous = GetEnv(L"TMP");
    SetEnv(L"TMP", folder);
    SetEnv(L"TEMP", folder);
    return previous;
}

bool MakeUnwritableFolder(const std::wstring&)
{
    return false;
}

void SetEnv(const std::wstring& name, const std::wstring& value)
{
    SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
}

std::wstring GetEnv(const std::wstring& name)
{
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(name.c_str(), buffer, 32768);
    return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}

bool SetFileDay(const std::wstring& path, int year, int month, int day)
{
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(year);
    local.wMonth = static_cast<WORD>(month);
    local.wDay = static_cast<WORD>(day);
    local.wHour = 12;
    SYSTEMTIME utc{};
    FILETIME ft{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &ft)) {
        return false;
    }
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    const BOOL ok = SetFileTime(h, nullptr, &ft, &ft);
    CloseHandle(h);
    return ok != FALSE;
}

std::wstring OwnExecutablePath()
{
    wchar_t buffer[32768];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, 32768);
    return std::wstring(buffer, n);
}

std::wstring BuiltProgramPath(const std::wstring& name)
{
    return OwnExecutableFolder() + name + L".exe";
}

std::uint32_t SystemThreadId()
{
    return GetCurrentThreadId();
}

std::uint32_t SystemProcessId()
{
    return GetCurrentProcessId();
}

std::string LocalTimeStamp()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04u%02u%02u%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return buffer;
}

ChildProcess::~ChildProcess()
{
    if (mProcess) {
        TerminateProcess(static_cast<HANDLE>(mProcess), 1);
        CloseHandle(static_cast<HANDLE>(mProcess));
    }
}

bool ChildProcess::Start(const std::wstring& commandLine)
{
    std::wstring line = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        return false;
    }
    CloseHandle(pi.hThread);
    mProcess = pi.hProcess;
    return true;
}

int ChildProcess::Wait(std::uint32_t timeoutMs)
{
    if (!mProcess) {
        return -1;
    }
    HANDLE h = static_cast<HANDLE>(mProcess);
    const DWORD w = WaitForSingleObject(h, timeoutMs);
    if (w != WAIT_OBJECT_0) {
        TerminateProcess(h, 1);
        CloseHandle(h);
        mProcess = nullptr;
        return -2;
    }
    DWORD code = 0;
    const BOOL ok = GetExitCodeProcess(h, &code);
    CloseHandle(h);
    mProcess = nullptr;
    return ok ? static_cast<int>(code) : -1;
}

} // namespace qrnv::test
