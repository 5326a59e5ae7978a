// Threads for the Windows backend: the cursor grab thread is started with CreateThread, waited for
// with a bound and closed whether it has ended or not.
#include <windows.h>

#include <new>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

namespace {

// What the new thread runs; owned by the thread once it has started.
struct ThreadStart {
    ThreadRoutine routine;
    void* argument;
};

// Runs the routine with its argument; returning ends the thread with exit code 0 (ExitThread(0)).
DWORD WINAPI thread_trampoline(LPVOID parameter) {
    ThreadStart* start = static_cast<ThreadStart*>(parameter);
    const ThreadStart copy = *start;
    delete start;
    copy.routine(copy.argument);
    return 0;
}

}  // namespace

ThreadHandle platform_start_thread(ThreadRoutine routine, void* argument) {
    ThreadStart* start = new (std::nothrow) ThreadStart{routine, argument};
    if (start == nullptr) {
        return nullptr;
    }
    DWORD thread_id = 0;  // received and not used
    HANDLE thread = CreateThread(nullptr, 0, thread_trampoline, start, 0, &thread_id);
    if (thread == nullptr) {
        delete start;
        return nullptr;
    }
    return from_handle(thread);
}

bool platform_wait_thread(ThreadHandle thread, std::uint32_t timeout_ms) {
    return WaitForSingleObject(to_handle(thread), timeout_ms) == WAIT_OBJECT_0;
}

void platform_close_thread(ThreadHandle thread) { CloseHandle(to_handle(thread)); }

// The blended enlargement stays on the GUI thread on Windows: its frame is bound by GDI's copies
// (the capture and the present, each a full copy of its surface), which the bands do not touch,
// and no Windows machine was at hand to measure a pool against. Bands run in turn.
std::int32_t platform_band_workers() { return 1; }

void platform_run_bands(BandRoutine routine, void* argument, std::int32_t count) {
    for (std::int32_t band = 0; band < count; ++band) {
        routine(argument, band);
    }
}
