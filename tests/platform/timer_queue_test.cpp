// Tests of the message loops' timer rules (X11's and Windows'), without a display: the period's
// floor and ceiling, and ticks that never pile up after an overrun.
#include "platform/timer_queue.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(LoopTimers, PeriodsFollowTheWindowsRule) {
    const struct {
        std::int32_t asked;
        std::int64_t runs;
    } cases[] = {{100, 100},
                 {10, 10},
                 {9, 10},
                 {1, 10},
                 {0, 10},
                 {-1, 0x7FFFFFFF},
                 {INT_MIN, 0x7FFFFFFF},
                 {INT_MAX, INT_MAX}};
    for (const auto& c : cases) {
        EXPECT_EQ(timer_period(c.asked), c.runs) << c.asked;
    }
}

TEST(LoopTimers, FirstTickComesOnePeriodAfterTheStart) {
    TimerQueue timers;
    set_timer(timers, 7, 1, 100, 1000);
    LoopTimer fired;
    EXPECT_EQ(time_to_next_timer(timers, 1000), 100);
    EXPECT_FALSE(take_due_timer(timers, 1099, &fired));
    ASSERT_TRUE(take_due_timer(timers, 1100, &fired));
    EXPECT_EQ(fired.window, 7u);
    EXPECT_EQ(fired.id, 1u);
    EXPECT_EQ(time_to_next_timer(timers, 1100), 100);
}

// A tick that ran from 1100 to 1260 let the period boundary at 1200 pass: one tick follows at
// once, and the next waits for the boundary at 1300.
TEST(LoopTimers, AnOverrunningTickIsFollowedByOneMoreAtMost) {
    TimerQueue timers;
    set_timer(timers, 7, 1, 100, 1000);
    LoopTimer fired;
    ASSERT_TRUE(take_due_timer(timers, 1100, &fired));
    ASSERT_TRUE(take_due_timer(timers, 1260, &fired));
    EXPECT_FALSE(take_due_timer(timers, 1260, &fired));
    EXPECT_EQ(time_to_next_timer(timers, 1260), 40);
}

// Nine periods lost to a long block make one tick, not nine.
TEST(LoopTimers, MissedPeriodsAreNotMadeUp) {
    TimerQueue timers;
    set_timer(timers, 7, 1, 100, 0);
    LoopTimer fired;
    int ticks = 0;
    while (take_due_timer(timers, 950, &fired)) {
        ++ticks;
    }
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(time_to_next_timer(timers, 950), 50);
    EXPECT_TRUE(take_due_timer(timers, 1000, &fired));
}

TEST(LoopTimers, SettingAgainRestartsAndKillingStops) {
    TimerQueue timers;
    set_timer(timers, 7, 1, 100, 0);
    set_timer(timers, 7, 2, 30, 0);
    set_timer(timers, 8, 1, 50, 0);
    set_timer(timers, 7, 1, 500, 90);  // restarted with a new period: one timer, due at 590
    EXPECT_EQ(timers.size(), 3u);
    kill_timer(timers, 7, 2);
    kill_timer(timers, 9, 1);  // none such: nothing happens
    LoopTimer fired;
    EXPECT_EQ(time_to_next_timer(timers, 90), 0);
    ASSERT_TRUE(take_due_timer(timers, 90, &fired));
    EXPECT_EQ(fired.window, 8u);
    EXPECT_FALSE(take_due_timer(timers, 90, &fired));
    EXPECT_EQ(time_to_next_timer(timers, 90), 10);
    kill_timer(timers, 8, 1);
    EXPECT_EQ(time_to_next_timer(timers, 90), 500);
    kill_timer(timers, 7, 1);
    EXPECT_EQ(time_to_next_timer(timers, 90), -1);
    EXPECT_FALSE(take_due_timer(timers, 1000000, &fired));
}

// The largest period does not overflow the arithmetic of the next boundary.
TEST(LoopTimers, TheLargestPeriodStaysInRange) {
    TimerQueue timers;
    set_timer(timers, 7, 1, -5, 1000);
    LoopTimer fired;
    EXPECT_FALSE(take_due_timer(timers, 1000 + 0x7FFFFFFELL, &fired));
    ASSERT_TRUE(take_due_timer(timers, 1000 + 3LL * 0x7FFFFFFF + 5, &fired));
    EXPECT_EQ(time_to_next_timer(timers, 1000 + 3LL * 0x7FFFFFFF + 5), 0x7FFFFFFF - 5);
}

}  // namespace
