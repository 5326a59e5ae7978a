// The overlay's timer for the Windows backend. Window timers are rounded up to the system timer's
// resolution, 15.6 ms by default, so that a period of 16 ms ticks every 31 ms ("SetTimer
// function"; "Timers"), and since Windows 10 version 2004 another process's timeBeginPeriod no
// longer makes this one's finer ("timeBeginPeriod function"). So the message loop keeps its own
// timers, by the window timer's rules (platform/timer_queue.h: at most one tick pending, missed
// periods not made up), and waits for the next one on a waitable timer beside its queue: a
// high-resolution one from Windows 10 version 1803 on ("CreateWaitableTimerExW function"), a plain
// one before.
#include <windows.h>

#include "platform/platform.h"
#include "platform/timer_queue.h"
#include "platform/win32/win32_platform.h"

namespace {

// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, which older headers lack.
constexpr DWORD TIMER_HIGH_RESOLUTION = 0x00000002;
// Waitable timers count in units of 100 ns; a negative due time is relative to now
// ("SetWaitableTimer function").
constexpr LONGLONG UNITS_PER_MS = 10000;

TimerQueue timers;
HANDLE waitable = nullptr;
bool waitable_made = false;

// Returns the time in units of 100 ns since an arbitrary start, from the performance counter
// (GetTickCount moves in steps of the system timer's resolution).
LONGLONG now_units() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return value.QuadPart > 0 ? value.QuadPart : 1;
    }();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const LONGLONG ticks = counter.QuadPart;
    return ticks / frequency * 10000000 + ticks % frequency * 10000000 / frequency;
}

std::int64_t now_ms() { return now_units() / UNITS_PER_MS; }

// Makes the waitable timer: resolved at run time, since kernel32 before Vista lacks
// CreateWaitableTimerExW, and Windows before 10 version 1803 refuses the high-resolution flag.
HANDLE make_waitable() {
    using CreateTimerExFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
    const auto create_ex = reinterpret_cast<CreateTimerExFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateWaitableTimerExW")));
    if (create_ex != nullptr) {
        HANDLE timer = create_ex(nullptr, nullptr, TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        if (timer != nullptr) {
            return timer;
        }
    }
    // Auto-reset: a wait that sees it signalled resets it.
    return CreateWaitableTimerW(nullptr, FALSE, nullptr);
}

}  // namespace

void platform_set_timer(WindowHandle window, std::uint32_t id, std::int32_t period_ms) {
    set_timer(timers, window.value, id, period_ms, now_ms());
}

void platform_kill_timer(WindowHandle window, std::uint32_t id) {
    kill_timer(timers, window.value, id);
}

bool win32_run_due_timer() {
    LoopTimer fired;
    if (!take_due_timer(timers, now_ms(), &fired)) {
        return false;
    }
    // The same message a window timer makes, through the queue as that one comes (so that a
    // message hook sees it); with no timer procedure in lParam, DispatchMessage hands it to the
    // window's procedure ("DispatchMessage function"). The loop posts it only once the queue is
    // empty and takes it before it looks at the timers again: never more than one is pending.
    PostMessageA(reinterpret_cast<HWND>(fired.window), WM_TIMER, fired.id, 0);
    return true;
}

DWORD win32_arm_timer(HANDLE* timer) {
    *timer = nullptr;
    const std::int64_t now = now_ms();
    const std::int64_t wait_ms = time_to_next_timer(timers, now);
    if (wait_ms < 0) {
        return INFINITE;
    }
    if (!waitable_made) {
        waitable = make_waitable();
        waitable_made = true;
    }
    // Due at the timer's own millisecond, not a millisecond after now's.
    const LONGLONG due = (now + wait_ms) * UNITS_PER_MS - now_units();
    LARGE_INTEGER relative{};
    relative.QuadPart = -(due > 0 ? due : 1);
    if (waitable != nullptr &&
        SetWaitableTimer(waitable, &relative, 0, nullptr, nullptr, FALSE) != 0) {
        *timer = waitable;
        return INFINITE;
    }
    // Without a waitable timer the wait's own timeout stands in, at the system timer's resolution.
    return static_cast<DWORD>(wait_ms);
}
