// Start-up, the events of the overlay and every way the program ends, run against the recording
// test platform.
#include <gtest/gtest.h>

#include "render/kernels.h"
#include "render/upscaler_choice.h"
#include "support/scenario.h"
#include "vocabulary/view_state.h"

namespace {

using StartupTest = SystemTest;

TEST_F(StartupTest, StartsInOrderWithAnInvisibleOverlayHoldingTheCapture) {
    tp.then([&] {
        EXPECT_FALSE(tp.overlay_opaque);
        EXPECT_EQ(tp.capture_holder, tp.overlay);
        // Only the wait's poll of the exit request runs.
        ASSERT_EQ(tp.timers.size(), 1u);
        EXPECT_EQ(tp.timers[0].id, 2u);
        EXPECT_EQ(tp.timers[0].period_ms, 250);
        tp.destroy_window(tp.overlay);
    });
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.check_order({"resolve_layered_attributes", "executable_path",
                              "read_setting C:\\games\\zrv5.ini Zarvo5 time",
                              "read_setting C:\\games\\zrv5.ini Zarvo5 mouse_trs",
                              "read_setting C:\\games\\zrv5.ini Zarvo5 stretch",
                              "read_setting C:\\games\\zrv5.ini Zarvo5 smoothness", "screen_box",
                              "register_class", "create_overlay 1400 1050", "created",
                              "set_capture overlay", "show_window overlay", "run_message_loop"}),
              "");
    EXPECT_EQ(view_state.SW, 1400);
    EXPECT_EQ(view_state.SH, 1050);
}

TEST_F(StartupTest, SettingsTakeDefaultsAndConvertBadText) {
    struct Case {
        const char* time;  // nullptr: key absent
        const char* stretch;
        const char* smoothness;
        std::int32_t period, stretch_mode;
        BlendPairFn pair;
        std::int32_t family;  // the smoothness the text stands for
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, 100, 0, fast_average_pair, 0},
        {"abc", "2x", "7", 0, 2, fast_average_pair, 7},
        {"", "  -1", "1", 0, -1, exact_average_pair, 1},
        {"16", "1", "2", 16, 1, pick_darker_pair, 2},
        {"4294967396", "0", "3", 100, 0, pick_brighter_pair, 3},
    };
    for (const Case& c : cases) {
        tp.reset(1400, 1050);
        if (c.time != nullptr) set_setting(tp, "time", c.time);
        if (c.stretch != nullptr) set_setting(tp, "stretch", c.stretch);
        if (c.smoothness != nullptr) set_setting(tp, "smoothness", c.smoothness);
        tp.then([&] { tp.destroy_window(tp.overlay); });
        EXPECT_EQ(tp.run_system(), 0);
        EXPECT_EQ(view_state.timer_period, c.period) << "time " << (c.time ? c.time : "(absent)");
        EXPECT_EQ(view_state.stretch, c.stretch_mode);
        EXPECT_EQ(view_state.mouse_trs, 3);
        EXPECT_EQ(view_state.blend_pair, c.pair);
        // The upscaler is chosen with the slots, for the same family.
        EXPECT_EQ(view_state.upscaler, choose_upscaler(c.family));
    }
}

TEST_F(StartupTest, FailedClassRegistrationReturnsZeroBeforeAnyWindow) {
    tp.fail_register_class = true;
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.count("create_overlay"), 0);
    EXPECT_EQ(tp.count("run_message_loop"), 0);
    EXPECT_EQ(tp.count("MyEndHook"), 0);
}

TEST_F(StartupTest, PreviousInstanceSkipsRegistration) {
    tp.queue_quit(0);
    EXPECT_EQ(zrv5_main(tp.instance(), tp.previous_instance(), 5), 0);
    EXPECT_EQ(tp.count("register_class"), 0);
    EXPECT_EQ(tp.count("create_overlay"), 1);
}

TEST_F(StartupTest, DestructionBeforeAnyPickEndsTheHookOnceAndExitsZero) {
    tp.then([&] { tp.destroy_window(tp.overlay); });
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.count("MySetHook"), 0);
    EXPECT_EQ(tp.count("MyEndHook"), 1);
    EXPECT_EQ(tp.check_order({"destroyed", "kill_timer 1", "MyEndHook", "post_quit 0",
                              "loop ends 0"}),
              "");
}

TEST_F(StartupTest, QuitPostedFromElsewhereSkipsTheDestructionHandling) {
    add_patterned_target(tp, Rect{200, 100, 640, 480});
    tp.queue_click(Point{300, 200});
    tp.queue_ticks(1);
    tp.queue_quit(42);
    EXPECT_EQ(tp.run_system(), 42);
    EXPECT_EQ(tp.count("MySetHook"), 1);
    EXPECT_EQ(tp.count("kill_timer 1"), 0);
    EXPECT_EQ(tp.count("MyEndHook"), 0);
}

// A zrv5 that waits for its click is ended by the exit request (zrv5-exit) with exit code 0 and
// nothing published; a request left from before its start is cleared instead, and the wait goes
// on until the next one.
TEST_F(StartupTest, TheExitRequestEndsTheWaitForTheClick) {
    tp.set_profile("Zarvo5", "EXIT", "1");
    tp.then([&] {
        EXPECT_EQ(tp.profile("Zarvo5", "EXIT"), "0");
        tp.tick(2);
    });
    tp.then([&] {
        EXPECT_EQ(tp.count("destroy_window"), 0) << "a request from before the start ended it";
        tp.set_profile("Zarvo5", "EXIT", " 1");
        tp.tick(2);
    });
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.count("MySetHook"), 0);
    EXPECT_EQ(tp.entries("write_profile"), (std::vector<std::string>{"write_profile Zarvo5 EXIT 0"}));
    EXPECT_EQ(tp.count("present"), 0);
    EXPECT_EQ(tp.check_order({"timer 2", "read_profile Zarvo5 EXIT", "destroy_window overlay",
                              "MyEndHook", "loop ends 0"}),
              "");
}

// Without a way to watch the mouse for the pick, no click could ever start a view: the error box
// says so and the program ends with exit code 1, before anything is published.
TEST_F(StartupTest, AStartThatCannotWatchTheMouseShowsTheBoxAndEndsWithOne) {
    tp.fail_set_capture = true;
    EXPECT_EQ(tp.run_system(), 1);
    ASSERT_EQ(tp.message_boxes.size(), 1u);
    EXPECT_EQ(tp.message_boxes[0].text,
              "ZRV5 cannot watch the mouse for the click that picks a window.");
    EXPECT_EQ(tp.message_boxes[0].caption, "Error");
    EXPECT_EQ(tp.count("write_profile"), 0);
    EXPECT_EQ(tp.check_order({"set_capture overlay", "message_box", "destroy_window overlay",
                              "MyEndHook", "post_quit 1", "loop ends 1"}),
              "");
}

TEST_F(StartupTest, ATimerBeforeThePickDestroysTheOverlay) {
    tp.then([&] { tp.force_timer(7); });
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.count("present"), 0);
    EXPECT_EQ(tp.count("MyEndHook"), 1);
    EXPECT_EQ(tp.check_order({"timer 7", "look none", "destroy_window overlay",
                              "read_profile Zarvo5 EXIT", "loop ends 0"}),
              "");
}

}  // namespace
