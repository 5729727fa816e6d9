#include "Client/system/Thread.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace qrnv {
namespace {

// Shared by the handle and the running thread: whichever lets go last frees it.
struct ThreadState {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

struct Handle {
    std::shared_ptr<ThreadState> state;
};

Handle* AsHandle(ThreadHandle h)
{
    return (h == nullptr || h == kNoThread) ? nullptr : static_cast<Handle*>(h);
}

} // namespace

bool StartThread(ThreadHandle& handle, ThreadRoutine routine, void* parameter)
{
    handle = kNoThread;
    auto state = std::make_shared<ThreadState>();
    try {
        std::thread([state, routine, parameter] {
            routine(parameter);
            std::lock_guard<std::mutex> lock(state->mutex);
            state->done = true;
            state->ended.notify_all();
        }).detach();
    } catch (...) {
        handle = nullptr;
        return false;
    }
    handle = new Handle{state};
    return true;
}

bool ThreadHasEnded(ThreadHandle handle)
{
    Handle* h = AsHandle(handle);
    if (!h) {
        return true;
    }
    std::lock_guard<std::mutex> lock(h->state->mutex);
    return h->state->done;
}

bool WaitForThread(ThreadHandle handle, std::uint32_t timeoutMs)
{
    Handle* h = AsHandle(handle);
    if (!h) {
        return true;
    }
    std::unique_lock<std::mutex> lock(h->state->mutex);
    if (timeoutMs == 0xFFFFFFFFu) {
        h->state->ended.wait(lock, [&] { return h->state->done; });
        return true;
    }
    return h->state->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return h->state->done; });
}

void CloseThread(ThreadHandle& handle)
{
    delete AsHandle(handle);
    handle = kNoThread;
}

std::uint32_t CurrentThreadId()
{
    return static_cast<std::uint32_t>(syscall(SYS_gettid));
}

void SleepMilliseconds(std::uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace qrnv
