// Checks of the recording test platform's threads, message loop, windows and log, where a fault
// would make the whole-system tests pass or fail for the wrong reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_platform.h"

namespace {

bool contains_text(const std::vector<std::string>& texts, const std::string& part) {
    for (const std::string& text : texts) {
        if (text.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

using TestPlatformThreads = SystemTest;
using TestPlatformLoop = SystemTest;
using TestPlatformWindows = SystemTest;
using TestPlatformLog = SystemTest;

// --- Threads ---------------------------------------------------------------------------------

// What a simulated grab routine saw: its own thread and, when it joined the target's input state,
// the pointer image there.
struct GrabRecord {
    std::vector<std::uint32_t> ran_on;
    std::vector<CursorImage> seen;
    std::uint32_t join_with = TARGET_THREAD;
};

void grab_routine(void* argument) {
    auto* record = static_cast<GrabRecord*>(argument);
    const std::uint32_t own = platform_current_thread();
    record->ran_on.push_back(own);
    if (platform_attach_input(own, record->join_with, true)) {
        record->seen.push_back(platform_current_cursor());
        platform_attach_input(own, record->join_with, false);
    } else {
        record->seen.push_back(nullptr);
    }
}

TEST_F(TestPlatformThreads, ImmediateRoutineRunsOnItsOwnThreadAndJoinsTheTargetsInput) {
    const WindowHandle target = tp.add_window("target", Rect{0, 0, 10, 10});
    const CursorImage shape = tp.make_cursor_image(2, 2, 0x00102030u, 0, 0);
    tp.set_window_cursor(target, shape);
    GrabRecord record;
    ThreadHandle thread = platform_start_thread(grab_routine, &record);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(record.ran_on.size(), 1u);
    EXPECT_NE(record.ran_on[0], GUI_THREAD);
    EXPECT_EQ(record.seen[0], shape);
    EXPECT_TRUE(tp.attached_inputs.empty());
    EXPECT_TRUE(platform_wait_thread(thread, 10000));
    platform_close_thread(thread);
    EXPECT_EQ(tp.current_thread(), GUI_THREAD);

    tp.unjoinable_threads.insert(TARGET_THREAD);
    platform_close_thread(platform_start_thread(grab_routine, &record));
    record.join_with = 0;
    platform_close_thread(platform_start_thread(grab_routine, &record));
    EXPECT_EQ(record.seen, (std::vector<CursorImage>{shape, nullptr, nullptr}));
}

TEST_F(TestPlatformThreads, LateRoutinesTimeOutAndRunWhenAndInTheOrderTheTestSays) {
    tp.thread_mode = ThreadMode::Late;
    GrabRecord record;
    ThreadHandle first = platform_start_thread(grab_routine, &record);
    EXPECT_FALSE(platform_wait_thread(first, 10000));
    platform_close_thread(first);
    ThreadHandle second = platform_start_thread(grab_routine, &record);
    EXPECT_FALSE(platform_wait_thread(second, 10000));
    platform_close_thread(second);
    EXPECT_TRUE(record.ran_on.empty());
    EXPECT_EQ(tp.pending_threads(), 2);
    EXPECT_EQ(tp.wait_timeouts, (std::vector<std::uint32_t>{10000, 10000}));

    // The later grab finishes first; a closed handle does not stop the thread.
    EXPECT_TRUE(tp.run_pending_thread(1));
    EXPECT_TRUE(tp.run_pending_thread(0));
    EXPECT_FALSE(tp.run_pending_thread(0));
    EXPECT_FALSE(tp.run_pending_thread(2));
    EXPECT_EQ(record.ran_on,
              (std::vector<std::uint32_t>{FIRST_GRAB_THREAD + 1, FIRST_GRAB_THREAD}));
    EXPECT_EQ(tp.pending_threads(), 0);
    EXPECT_EQ(tp.current_thread(), GUI_THREAD);

    platform_close_thread(first);
    EXPECT_TRUE(contains_text(tp.take_errors(), "closed twice"));
}

TEST_F(TestPlatformThreads, FailedStartRunsNothingAndTheGuiThreadMayNotJoinInput) {
    tp.thread_mode = ThreadMode::FailStart;
    GrabRecord record;
    EXPECT_EQ(platform_start_thread(grab_routine, &record), nullptr);
    EXPECT_TRUE(record.ran_on.empty());

    platform_attach_input(GUI_THREAD, TARGET_THREAD, true);
    EXPECT_TRUE(contains_text(tp.take_errors(), "never the GUI thread"));
}

// --- Loop ------------------------------------------------------------------------------------

TEST_F(TestPlatformLoop, StepsRunInOrderUntilAQuitFromElsewhereEndsTheLoop) {
    std::vector<int> ran;
    tp.then([&] { ran.push_back(1); });
    tp.then([&] {
        ran.push_back(2);
        tp.then([&] { ran.push_back(4); });  // queued while the loop runs
    });
    tp.then([&] { ran.push_back(3); });
    tp.queue_quit(7);
    tp.then([&] { ran.push_back(5); });
    EXPECT_EQ(platform_run_message_loop(), 7);
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(tp.loop_ran_out);
}

TEST_F(TestPlatformLoop, ScriptRunningOutEndsTheLoopWithTheSentinel) {
    tp.queue_ticks(2);  // no timer runs: each tick only notes the miss
    EXPECT_EQ(platform_run_message_loop(), LOOP_RAN_OUT);
    EXPECT_TRUE(tp.loop_ran_out);
    EXPECT_EQ(tp.count("external tick 1 missed:"), 2);
    EXPECT_EQ(tp.count("message"), 0);
    EXPECT_TRUE(contains_text(tp.take_errors(), "ran out of script"));
}

// --- Windows ---------------------------------------------------------------------------------

TEST_F(TestPlatformWindows, PointLookupFindsTheTopmostExistingWindow) {
    const WindowHandle below = tp.add_window("below", Rect{0, 0, 100, 100});
    const WindowHandle above = tp.add_window("above", Rect{50, 50, 100, 100}, 3001, 0xFFFFFFFEu);
    EXPECT_EQ(above.value, std::uintptr_t{0xFFFFFFFEu});
    EXPECT_NE(below, above);
    EXPECT_EQ(platform_window_from_point(Point{60, 60}), above);
    EXPECT_EQ(platform_window_from_point(Point{49, 60}), below);
    EXPECT_EQ(platform_window_from_point(Point{149, 149}), above);
    EXPECT_EQ(platform_window_from_point(Point{150, 60}), WindowHandle{});

    tp.raise_window(below);
    EXPECT_EQ(platform_window_from_point(Point{60, 60}), below);
    tp.destroy_window(below);
    EXPECT_EQ(platform_window_from_point(Point{60, 60}), above);
    EXPECT_FALSE(platform_window_exists(below));
    EXPECT_EQ(platform_window_thread(above), 3001u);
    EXPECT_EQ(platform_window_thread(below), 0u);
}

TEST_F(TestPlatformWindows, ClientCoordinatesFollowTheWindowAndVanishWithIt) {
    const WindowHandle target = tp.add_window("target", Rect{200, 100, 641, 481});
    EXPECT_EQ(platform_client_to_screen(target, Point{0, 0}), (Point{200, 100}));
    EXPECT_EQ(platform_screen_to_client(target, Point{50, 900}), (Point{-150, 800}));
    const Box box = platform_client_box(target);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 641);
    EXPECT_EQ(box.bottom, 481);

    tp.move_window(target, Point{10, 20});
    tp.resize_window(target, 30, 40);
    EXPECT_EQ(platform_client_to_screen(target, Point{1, 1}), (Point{11, 21}));
    EXPECT_EQ(platform_client_box(target).right, 30);

    tp.destroy_window(target);
    EXPECT_EQ(platform_client_box(target).right, 0);
    EXPECT_EQ(platform_client_to_screen(target, Point{1, 1}), (Point{1, 1}));
}

// --- Log and reset ---------------------------------------------------------------------------

TEST_F(TestPlatformLog, HeadsMatchWholeWordsAndOrderIsChecked) {
    tp.record("MySetHook");
    tp.record("set_timer 1 100");
    tp.record("write_profile Zarvo5 HWND -2");
    EXPECT_EQ(tp.index_of("set_timer 1 100"), 1);
    EXPECT_EQ(tp.index_of("set_timer 1"), 1);
    EXPECT_EQ(tp.index_of("set_timer 1 1"), -1);
    EXPECT_EQ(tp.index_of("set_time"), -1);
    EXPECT_EQ(tp.index_of("MySetHook", 1), -1);
    EXPECT_EQ(tp.count("write_profile Zarvo5"), 1);
    EXPECT_EQ(tp.check_order({"MySetHook", "set_timer 1 100"}), "");
    const std::string problem = tp.check_order({"set_timer", "MySetHook"});
    EXPECT_EQ(problem.rfind("'MySetHook' not found after 'set_timer' (entry 1)", 0), 0u) << problem;
}

TEST_F(TestPlatformLog, ResetForgetsEverythingOfTheTestBefore) {
    Pixel* pixels = nullptr;
    platform_create_bitmap(nullptr, 2, 2, &pixels);
    tp.add_window("target", Rect{0, 0, 4, 4});
    tp.set_profile("Zarvo5", "EXIT", "1");
    tp.fail_copy_cursor = true;
    tp.reset(64, 48);
    EXPECT_TRUE(tp.calls.empty());
    EXPECT_TRUE(tp.bitmaps().empty());
    EXPECT_EQ(tp.profile("Zarvo5", "EXIT"), "<missing>");
    EXPECT_FALSE(tp.fail_copy_cursor);
    EXPECT_EQ(platform_window_from_point(Point{1, 1}), WindowHandle{});
    const Box screen = platform_screen_box();
    EXPECT_EQ(screen.right, 64);
    EXPECT_EQ(screen.bottom, 48);
    EXPECT_EQ(tp.screen_pixel(63, 47), DESKTOP_COLOUR);
}

}  // namespace
