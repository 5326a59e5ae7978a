// The timers of a message loop that keeps its own, as plain bookkeeping (no OS header here).
#include "platform/timer_queue.h"

#include <algorithm>

std::int64_t timer_period(std::int32_t period_ms) {
    if (period_ms < 0) {
        return TIMER_MAXIMUM_MS;  // the unsigned reading of a negative period exceeds the maximum
    }
    return std::max<std::int64_t>(period_ms, TIMER_MINIMUM_MS);
}

void set_timer(TimerQueue& timers, std::uintptr_t window, std::uint32_t id, std::int32_t period_ms,
               std::int64_t now_ms) {
    const std::int64_t period = timer_period(period_ms);
    for (LoopTimer& timer : timers) {
        if (timer.window == window && timer.id == id) {
            timer.period_ms = period;
            timer.due_ms = now_ms + period;
            return;
        }
    }
    timers.push_back(LoopTimer{window, id, period, now_ms + period});
}

void kill_timer(TimerQueue& timers, std::uintptr_t window, std::uint32_t id) {
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const LoopTimer& timer) {
                                    return timer.window == window && timer.id == id;
                                }),
                 timers.end());
}

bool take_due_timer(TimerQueue& timers, std::int64_t now_ms, LoopTimer* fired) {
    for (LoopTimer& timer : timers) {
        if (timer.due_ms > now_ms) {
            continue;
        }
        // All the periods that have passed make one tick; the next is due at the first boundary
        // after now.
        timer.due_ms += ((now_ms - timer.due_ms) / timer.period_ms + 1) * timer.period_ms;
        *fired = timer;
        return true;
    }
    return false;
}

std::int64_t time_to_next_timer(const TimerQueue& timers, std::int64_t now_ms) {
    std::int64_t wait = -1;
    for (const LoopTimer& timer : timers) {
        const std::int64_t until = std::max<std::int64_t>(timer.due_ms - now_ms, 0);
        wait = wait < 0 ? until : std::min(wait, until);
    }
    return wait;
}
