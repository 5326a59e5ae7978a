// The timers of a message loop that keeps its own (X11's; Windows', which waits on a waitable timer
// rather than the system's coarse window timers), as plain bookkeeping with no OS header, so that
// their rules are written once and tested alone. The rules are the Windows window timer's: a period below 10 ms is 10 ms and a
// negative one the largest period; a timer is due once however many of its periods have passed, so
// a tick that overruns is followed by at most one more, and missed periods are not made up.
#pragma once

#include <cstdint>
#include <vector>

struct LoopTimer {
    std::uintptr_t window = 0;
    std::uint32_t id = 0;
    std::int64_t period_ms = 0;
    std::int64_t due_ms = 0;
};

using TimerQueue = std::vector<LoopTimer>;

constexpr std::int64_t TIMER_MINIMUM_MS = 10;          // USER_TIMER_MINIMUM
constexpr std::int64_t TIMER_MAXIMUM_MS = 0x7FFFFFFF;  // USER_TIMER_MAXIMUM

// Returns the period a timer asked for `period_ms` runs with.
std::int64_t timer_period(std::int32_t period_ms);

// Starts (or restarts, with a new period) the timer `id` of the window; first due one period on.
void set_timer(TimerQueue& timers, std::uintptr_t window, std::uint32_t id, std::int32_t period_ms,
               std::int64_t now_ms);

// Stops the timer; nothing when it does not run.
void kill_timer(TimerQueue& timers, std::uintptr_t window, std::uint32_t id);

// Takes the first timer due at `now_ms` into `fired` and moves it to its first period boundary
// after now; false when none is due.
bool take_due_timer(TimerQueue& timers, std::int64_t now_ms, LoopTimer* fired);

// Returns the milliseconds until the next timer is due (0 when one is due), or -1 without timers.
std::int64_t time_to_next_timer(const TimerQueue& timers, std::int64_t now_ms);
