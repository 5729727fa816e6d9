#include "Client/system/Process.h"

#include <vector>

#include "Client/Log.h"
#include "Client/system/LastError.h"
#include "sdk/WinInclude.h"
#include <shellapi.h>

namespace qrnv {
namespace {

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE h = nullptr) : mHandle(h) {}
    ~OwnedHandle()
    {
        if (mHandle) {
            CloseHandle(mHandle);
        }
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE Get() const { return mHandle; }

private:
    HANDLE mHandle;
};

// Waits without limit and reads the exit code; 0, or the system's error code.
std::uint32_t WaitForExit(HANDLE process, std::uint32_t& exitCode)
{
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code)) {
        return GetLastError();
    }
    exitCode = code;
    return 0;
}

std::uint32_t StartFailed(const std::wstring& path)
{
    const DWORD error = GetLastError();
    LogError(L"StartProcess for %s failed because: \"%s\"", path, GetLastErrorText());
    return error;
}

} // namespace

std::uint32_t StartProcess(const std::wstring& path, const std::wstring& arguments, bool wait, std::uint32_t& exitCode,
                           bool elevated)
{
    exitCode = 0;
    if (elevated) {
        LogInfo(L"Try start application %s per UseShellExecute with commandline: %s", path, arguments);
        SHELLEXECUTEINFOW info = {};
        info.cbSize = sizeof info;
        // No error box from the shell: the dialog is the only place that shows the user a
        // failure. The elevation prompt itself still appears.
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        info.hwnd = nullptr;
        info.lpVerb = L"runas";
        info.lpFile = path.c_str();
        info.lpParameters = arguments.c_str();
        info.lpDirectory = nullptr;
        info.nShow = SW_SHOW;
        if (!ShellExecuteExW(&info)) {
            return StartFailed(path);
        }
        LogInfo(L"ShellExecuteEx successful");
        const OwnedHandle process(info.hProcess);
        if (wait && process.Get()) {
            return WaitForExit(process.Get(), exitCode);
        }
        return 0;
    }

    const std::wstring commandLine = path.empty() ? arguments : FormatText(L"\"%s\" %s", path, arguments);
    LogInfo(L"Try start application %s per CreateProcess with commandline: %s", path, commandLine);
    // CreateProcessW may write into the command line.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(path.empty() ? nullptr : path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return StartFailed(path);
    }
    LogInfo(L"CreateProcess successful");
    const OwnedHandle process(started.hProcess);
    const OwnedHandle thread(started.hThread);
    if (wait) {
        return WaitForExit(process.Get(), exitCode);
    }
    return 0;
}

bool MakeOwnerExecutable(const std::wstring&)
{
    return true;
}

bool IsProcessRunning(std::uint32_t processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    DWORD code = 0;
    const BOOL ok = GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return !ok || code == STILL_ACTIVE;
}

} // namespace qrnv
