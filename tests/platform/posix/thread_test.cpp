// The seam's threads on X11: routines run on a thread kept for them while it is idle, and on a
// thread of their own while it is busy, so that a routine that outlives its wait never holds up
// the next one.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/platform.h"

namespace {

constexpr std::uint32_t LONG_WAIT_MS = 10000;

// A routine that notes its thread and then waits until it is let go.
struct Gate {
    std::mutex lock;
    std::condition_variable changed;
    bool open = false;
    bool entered = false;
    std::thread::id thread;

    void let_go() {
        std::lock_guard<std::mutex> hold(lock);
        open = true;
        changed.notify_all();
    }
    static void routine(void* argument) {
        auto& gate = *static_cast<Gate*>(argument);
        std::unique_lock<std::mutex> hold(gate.lock);
        gate.thread = std::this_thread::get_id();
        gate.entered = true;
        gate.changed.notify_all();
        gate.changed.wait(hold, [&gate] { return gate.open; });
    }
};

void note_thread(void* argument) {
    *static_cast<std::thread::id*>(argument) = std::this_thread::get_id();
}

// Runs note_thread to its end and returns the thread it ran on.
std::thread::id run_to_end() {
    std::thread::id ran_on;
    ThreadHandle thread = platform_start_thread(note_thread, &ran_on);
    EXPECT_NE(thread, nullptr);
    EXPECT_TRUE(platform_wait_thread(thread, LONG_WAIT_MS));
    platform_close_thread(thread);
    return ran_on;
}

TEST(Threads, RoutinesReuseTheKeptThreadAndABusyOneGetsAThreadOfItsOwn) {
    const std::thread::id first = run_to_end();
    EXPECT_NE(first, std::this_thread::get_id());
    EXPECT_EQ(run_to_end(), first) << "an idle kept thread runs the next routine";

    Gate late;
    ThreadHandle held = platform_start_thread(Gate::routine, &late);
    ASSERT_NE(held, nullptr);
    // A routine that outlives its wait: the wait says so and the thread is let go of unfinished.
    EXPECT_FALSE(platform_wait_thread(held, 50));
    {
        std::unique_lock<std::mutex> hold(late.lock);
        late.changed.wait(hold, [&late] { return late.entered; });
    }
    EXPECT_EQ(late.thread, first);

    // While it is held, the next routines run and end all the same, on other threads.
    const std::thread::id meanwhile = run_to_end();
    EXPECT_NE(meanwhile, first);
    EXPECT_NE(run_to_end(), first);

    late.let_go();
    EXPECT_TRUE(platform_wait_thread(held, LONG_WAIT_MS));
    platform_close_thread(held);
    // Idle again once its routine has ended, it takes routines again.
    EXPECT_EQ(run_to_end(), first);
}

TEST(Threads, ManyShortRoutinesEachRunOnceAndEnd) {
    std::atomic<int> runs{0};
    for (int i = 0; i < 200; ++i) {
        ThreadHandle thread = platform_start_thread(
            [](void* argument) { ++*static_cast<std::atomic<int>*>(argument); }, &runs);
        ASSERT_NE(thread, nullptr);
        ASSERT_TRUE(platform_wait_thread(thread, LONG_WAIT_MS));
        platform_close_thread(thread);
        EXPECT_EQ(runs.load(), i + 1);
    }
}

}  // namespace
