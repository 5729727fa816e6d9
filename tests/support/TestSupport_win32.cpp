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

std::vector<std::wstring> TempVariables()
{
    return {L"TMP", L"TEMP"};
}

bool MakeUnwritableFolder(const std::wstring&)
{
    return false;
}

// Both the system's environment and the C runtime's copy, which getenv reads.
void PutEnv(const std::wstring& name, const std::wstring* value)
{
    SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    _wputenv_s(name.c_str(), value ? value->c_str() : L"");
}

bool FindEnv(const std::wstring& name, std::wstring& value)
{
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(name.c_str(), buffer, 32768);
    if (n == 0 || n >= 32768) {
        return false;
    }
    value.assign(buffer, n);
    return true;
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

std::wstring HelperProgramPath(const std::wstring& name)
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

} // namespace qrnv::test
