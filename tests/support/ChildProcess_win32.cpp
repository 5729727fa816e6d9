#include "support/ChildProcess.h"

#include "sdk/WinInclude.h"

namespace qrnv::test {

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
