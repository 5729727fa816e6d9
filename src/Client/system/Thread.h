#pragma once
// Threads as the dialog and the reports use them: started at once, polled, never joined.

#include <cstdint>

namespace qrnv {

// An owned thread handle; kNoThread (-1) when none was started, null when a start failed.
using ThreadHandle = void*;
inline ThreadHandle const kNoThread = reinterpret_cast<ThreadHandle>(static_cast<std::intptr_t>(-1));

using ThreadRoutine = unsigned (*)(void* parameter);

// Sets handle to kNoThread, then starts routine(parameter) on a new thread (default stack,
// running at once); handle is null when that failed. True when a thread was started.
bool StartThread(ThreadHandle& handle, ThreadRoutine routine, void* parameter);

// True when the thread has ended (or the handle is not a valid thread).
bool ThreadHasEnded(ThreadHandle handle);

// Waits for the end of the thread, at most timeoutMs (0xFFFFFFFF: without limit).
bool WaitForThread(ThreadHandle handle, std::uint32_t timeoutMs);

// Releases the handle (the thread runs on if it has not ended) and sets it to kNoThread.
void CloseThread(ThreadHandle& handle);

// The calling thread's system identifier.
std::uint32_t CurrentThreadId();

void SleepMilliseconds(std::uint32_t ms);

} // namespace qrnv
