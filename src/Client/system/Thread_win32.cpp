#include "Client/system/Thread.h"

#include "sdk/WinInclude.h"

namespace qrnv {
namespace {

struct Start {
    ThreadRoutine routine;
    void* parameter;
};

DWORD WINAPI Trampoline(void* p)
{
    const Start start = *static_cast<Start*>(p);
    delete static_cast<Start*>(p);
    return start.routine(start.parameter);
}

} // namespace

bool StartThread(ThreadHandle& handle, ThreadRoutine routine, void* parameter)
{
    handle = kNoThread;
    auto* start = new Start{routine, parameter};
    HANDLE h = CreateThread(nullptr, 0, Trampoline, start, 0, nullptr);
    if (!h) {
        delete start;
    }
    handle = h;
    return h != nullptr;
}

bool ThreadHasEnded(ThreadHandle handle)
{
    if (handle == nullptr || handle == kNoThread) {
        return true;
    }
    return WaitForSingleObject(handle, 0) != WAIT_TIMEOUT;
}

bool WaitForThread(ThreadHandle handle, std::uint32_t timeoutMs)
{
    if (handle == nullptr || handle == kNoThread) {
        return true;
    }
    return WaitForSingleObject(handle, timeoutMs) == WAIT_OBJECT_0;
}

void CloseThread(ThreadHandle& handle)
{
    if (handle != nullptr && handle != kNoThread) {
        CloseHandle(handle);
    }
    handle = kNoThread;
}

std::uint32_t CurrentThreadId()
{
    return GetCurrentThreadId();
}

void SleepMilliseconds(std::uint32_t ms)
{
    Sleep(ms);
}

} // namespace qrnv
