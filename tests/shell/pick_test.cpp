// The pick against the recording test platform: publishing the view, the order of its steps, the
// typical run from click to exit, and the picks that are refused.
#include <gtest/gtest.h>

#include "support/scenario.h"
#include "vocabulary/view_state.h"

namespace {

using PickTest = SystemTest;

const Rect TYPICAL_CLIENT{200, 100, 640, 480};

TEST_F(PickTest, TypicalRunFromClickToExit) {
    set_setting(tp, "mouse_trs", "2");
    tp.set_standard_arrow(4, 4, 0x00FFFFFF, 5, 10);
    const WindowHandle target = add_patterned_target(tp, TYPICAL_CLIENT);
    tp.pointer = Point{300, 150};  // client (100, 50)
    tp.queue_click(centre_of(TYPICAL_CLIENT));
    tp.then([&] {
        EXPECT_TRUE(tp.overlay_opaque);
        ASSERT_EQ(tp.timers.size(), 1u);
        EXPECT_EQ(tp.timers[0].id, 1u);
        EXPECT_EQ(tp.timers[0].period_ms, 100);
        tp.tick(1);
    });
    tp.then([&] {
        const std::string frame =
            tp.diff_overlay(Rect{0, 0, 1400, 1050}, [](std::int32_t x, std::int32_t y) {
                // The arrow's hot spot lands on the enlarged pointer: (60 + 2*100 - 5, 45 + 2*50 -
                // 10).
                if (x >= 255 && x < 259 && y >= 135 && y < 139) return Pixel{0x00FFFFFF};
                return whole_factor_frame(x, y, 2, Point{60, 45}, 640, 480);
            });
        EXPECT_EQ(frame, "");
        tp.destroy_window(target);
        tp.tick(1);
    });
    EXPECT_EQ(tp.run_system(), 0);

    EXPECT_EQ(tp.check_order({"pick_at 520 340", "release_capture", "window_from_point 520 340",
                              "client_box target", "write_profile Zarvo5 HWND",
                              "write_profile Zarvo5 W 640", "write_profile Zarvo5 H 480",
                              "write_profile Zarvo5 EXIT 0", "MySetHook", "standard_arrow",
                              "make_opaque overlay", "set_timer 1 100"}),
              "");
    // One question, one frame presented, then the exit poll.
    EXPECT_EQ(tp.check_order({"timer 1", "look target", "present mode 0 image 60,45 1280x960 bands 4 "
                                                        "cursor 255 135",
                              "read_profile Zarvo5 EXIT"}),
              "");
    // The closed target ends the next tick before anything is drawn.
    const int last_tick = tp.index_of("timer 1", tp.index_of("external destroy_window target"));
    EXPECT_EQ(tp.index_of("present", last_tick), -1);
    EXPECT_EQ(tp.count("MyEndHook"), 1);
    EXPECT_EQ(tp.check_order({"external destroy_window target", "destroy_window overlay",
                              "MyEndHook", "read_profile Zarvo5 EXIT", "loop ends 0"}),
              "");
}

TEST_F(PickTest, PublishesEvenSizesAndTheHandleAsSignedDecimal) {
    tp.set_profile("Zarvo5", "EXIT", "1");
    add_patterned_target(tp, Rect{10, 10, 799, 599}, 0, 0xFFFFFFFEu);
    tp.queue_click(Point{20, 20});
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.profile("Zarvo5", "HWND"), "-2");
    EXPECT_EQ(tp.profile("Zarvo5", "W"), "798");
    EXPECT_EQ(tp.profile("Zarvo5", "H"), "598");
    EXPECT_EQ(tp.profile("Zarvo5", "EXIT"), "0");
}

TEST_F(PickTest, ASecondPickDoesNothing) {
    const WindowHandle target = add_patterned_target(tp, TYPICAL_CLIENT);
    tp.queue_click(centre_of(TYPICAL_CLIENT));
    tp.then([&] {
        zrv5_pick_at(tp.overlay, Point{10, 10});
        zrv5_pick_window(tp.overlay, target);
    });
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.count("MySetHook"), 1);
    EXPECT_EQ(tp.count("window_from_point"), 1);
    EXPECT_EQ(tp.count("set_timer 1"), 1);
}

TEST_F(PickTest, RefusedPicksShowTheBoxThenEndWithExitCodeOne) {
    struct Case {
        const char* what;
        Rect client;  // empty: the click lands on the overlay itself
    };
    const Case cases[] = {
        {"the overlay itself", Rect{}},
        {"a window one pixel wide", Rect{200, 100, 1, 480}},
        {"a window one pixel high", Rect{200, 100, 640, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tp.reset(1400, 1050);
        Point click{700, 500};
        if (c.client.width > 0) {
            add_patterned_target(tp, c.client);
            click = Point{c.client.x, c.client.y};
        }
        tp.queue_click(click);
        EXPECT_EQ(tp.run_system(), 1);
        ASSERT_EQ(tp.message_boxes.size(), 1u);
        EXPECT_EQ(tp.message_boxes[0].owner, tp.overlay);
        EXPECT_EQ(tp.message_boxes[0].text, "ZRV5");
        EXPECT_EQ(tp.message_boxes[0].caption, "Error");
        EXPECT_EQ(tp.count("write_profile"), 0);
        EXPECT_EQ(tp.count("MySetHook"), 0);
        EXPECT_EQ(tp.count("MyEndHook"), 1);
        EXPECT_FALSE(tp.overlay_opaque);
        EXPECT_EQ(tp.check_order({"message_box", "destroy_window overlay", "kill_timer 1",
                                  "MyEndHook", "post_quit 1", "loop ends 1"}),
                  "");
    }
}

TEST_F(PickTest, MissingLayeredOperationLeavesTheOverlayInvisibleAndRuns) {
    tp.layered_attributes_missing = true;
    add_patterned_target(tp, TYPICAL_CLIENT);
    tp.queue_click(centre_of(TYPICAL_CLIENT));
    tp.queue_ticks(1);
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.count("make_opaque"), 0);
    EXPECT_EQ(tp.count("set_timer 1 100"), 1);
    EXPECT_EQ(tp.count("present"), 1);
}

TEST_F(PickTest, BlendedLayoutMakesTheSurfaceAfterTheHookAndDoublesThePeriod) {
    set_setting(tp, "stretch", "1");
    add_patterned_target(tp, Rect{0, 0, 800, 600});
    tp.queue_click(Point{400, 300});
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.check_order({"MySetHook", "enlargement_surface 1200 900", "make_opaque",
                              "set_timer 1 200"}),
              "");
    EXPECT_EQ(view_state.scale, 3);
    EXPECT_EQ(view_state.offset_x, 100);
    EXPECT_EQ(view_state.offset_y, 75);
}

// A negative `time`, or one doubled past a second by the blend, starts the frame timer at 1000 ms,
// so that a closed target or an exit request is still noticed.
struct PeriodCase {
    const char* time;
    const char* stretch;
    const char* timer;
};

class FrameTimerPeriod : public SystemTest, public ::testing::WithParamInterface<PeriodCase> {};

TEST_P(FrameTimerPeriod, StartsAtMostASecondApart) {
    set_setting(tp, "time", GetParam().time);
    set_setting(tp, "stretch", GetParam().stretch);
    add_patterned_target(tp, Rect{0, 0, 800, 600});
    tp.queue_click(Point{400, 300});
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.count(GetParam().timer), 1) << tp.log_text();
}

INSTANTIATE_TEST_SUITE_P(ByTime, FrameTimerPeriod,
                         ::testing::Values(PeriodCase{"-1", "0", "set_timer 1 1000"},
                                           PeriodCase{"99999999999", "0", "set_timer 1 1000"},
                                           PeriodCase{"1000", "0", "set_timer 1 1000"},
                                           PeriodCase{"600", "1", "set_timer 1 1000"},
                                           PeriodCase{"400", "1", "set_timer 1 800"}));

}  // namespace
