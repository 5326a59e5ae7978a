// The cursor modes and the hand-over of grabbed images, against the recording test platform:
// which image each frame holds, with which hot spot, and that every private copy is released once
// no frame can draw it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/scenario.h"

namespace {

class CursorTest : public SystemTest {
protected:
    Rect client{200, 100, 640, 480};
    WindowHandle target;
    CursorImage shape_a = nullptr;
    CursorImage shape_b = nullptr;

    // A view of a target that shows shape A (hot spot (3, 4)), the pointer at client (100, 50), in
    // cursor mode `mode`.
    void start(const char* mode) {
        set_setting(tp, "mouse_trs", mode);
        target = add_patterned_target(tp, client);
        shape_a = tp.make_cursor_image(4, 4, 0x00FF0000, 3, 4);
        shape_b = tp.make_cursor_image(4, 4, 0x0000FF00, 1, 1);
        tp.set_window_cursor(target, shape_a);
        tp.pointer = Point{300, 150};
        tp.queue_click(centre_of(client));
    }

    // The cursor image of each frame presented with one, and where: "x y label".
    std::vector<std::string> drawn() const {
        std::vector<std::string> result;
        for (const Frame& frame : tp.frames) {
            if (frame.cursor != nullptr) {
                result.push_back(std::to_string(frame.cursor_at.x) + " " +
                                 std::to_string(frame.cursor_at.y) + " " + frame.cursor->label);
            }
        }
        return result;
    }
};

using Drawn = std::vector<std::string>;

TEST_F(CursorTest, ModeZeroGrabsOnceAtThePickAndKeepsThatShape) {
    start("0");
    tp.queue_ticks(1);
    tp.then([&] {
        tp.set_window_cursor(target, shape_b);
        tp.tick(1);
    });
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    // 60 + 2 * 100 - 3, 45 + 2 * 50 - 4
    EXPECT_EQ(drawn(), (Drawn{"257 141 cursor1-copy", "257 141 cursor1-copy"}));
    EXPECT_EQ(tp.check_order({"MySetHook", "start_thread", "wait_thread 10000", "close_thread",
                              "make_opaque", "set_timer 1 100"}),
              "");
    EXPECT_EQ(tp.count("start_thread"), 1);
    EXPECT_EQ(tp.live_cursor_copies(), 0);
}

TEST_F(CursorTest, ModeOneGrabsEveryTickBeforeItsFrameAndFollowsTheShape) {
    start("1");
    tp.queue_ticks(1);
    tp.then([&] {
        tp.set_window_cursor(target, shape_b);
        tp.tick(1);
    });
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(drawn(), (Drawn{"257 141 cursor1-copy", "259 144 cursor2-copy"}));
    EXPECT_EQ(tp.check_order({"look target", "start_thread", "copy_pointer_image target  [grab "
                                                             "thread]",
                              "close_thread", "present"}),
              "");
    EXPECT_EQ(tp.live_cursor_copies(), 0);
}

TEST_F(CursorTest, ModeOneClampsThePositionButShowsTheShapeUnderTheRealPointer) {
    start("1");
    const WindowHandle other = tp.add_window("other", Rect{0, 700, 100, 100});
    tp.set_window_cursor(other, shape_b);
    tp.then([&] {
        tp.pointer = Point{50, 750};  // left of and below the target: client (0, 479)
        tp.tick(1);
    });
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(drawn(), (Drawn{"59 1002 cursor2-copy"}));  // 60 + 0 - 1, 45 + 958 - 1
}

TEST_F(CursorTest, ModeTwoDrawsTheArrowWithItsOwnHotSpotAndNeverReleasesIt) {
    tp.set_standard_arrow(4, 4, 0x00FFFFFF, 2, 6);
    start("2");
    tp.queue_ticks(2);
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(drawn(), (Drawn{"258 139 arrow", "258 139 arrow"}));
    EXPECT_EQ(tp.count("start_thread"), 0);
    EXPECT_EQ(tp.count("release_cursor"), 0);
}

TEST_F(CursorTest, ModesWithoutAnImageDrawNone) {
    for (const char* mode : {"3", "4", "-1"}) {
        SCOPED_TRACE(mode);
        tp.reset(1400, 1050);
        start(mode);
        tp.queue_ticks(1);
        tp.queue_quit(0);
        EXPECT_EQ(tp.run_system(), 0);
        EXPECT_EQ(tp.count("start_thread"), 0);
        EXPECT_EQ(tp.count("standard_arrow"), 0);
        EXPECT_EQ(drawn(), Drawn{});
        EXPECT_EQ(tp.diff_overlay(Rect{0, 0, 1400, 1050},
                                  [](std::int32_t x, std::int32_t y) {
                                      return whole_factor_frame(x, y, 2, Point{60, 45}, 640, 480);
                                  }),
                  "");
    }
}

// With no window under the pointer the grab finds no image: the previous one stays, with its hot
// spot, drawn at the pointer clamped to the target (client (639, 479)).
TEST_F(CursorTest, AGrabWithNoWindowUnderThePointerKeepsThePreviousImageAndHotSpot) {
    start("1");
    tp.queue_ticks(1);
    tp.then([&] {
        tp.pointer = Point{1300, 1000};
        tp.tick(1);
    });
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(drawn(), (Drawn{"257 141 cursor1-copy", "1335 999 cursor1-copy"}));
}

TEST_F(CursorTest, FailedCopyOrThreadStartDrawsNoImage) {
    tp.fail_copy_cursor = true;
    start("1");
    tp.queue_ticks(1);
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(drawn(), Drawn{});
    ASSERT_EQ(tp.frames.size(), 1u);
    EXPECT_EQ(tp.frames[0].cursor_at, (Point{260, 145}));

    tp.reset(1400, 1050);
    tp.thread_mode = ThreadMode::FailStart;
    start("0");
    tp.queue_ticks(1);
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.count("wait_thread"), 0);
    EXPECT_EQ(tp.count("close_thread"), 0);
}

TEST_F(CursorTest, LateAndOutOfOrderGrabsNeverBringBackAnOlderImage) {
    tp.thread_mode = ThreadMode::Late;
    start("1");
    tp.queue_ticks(1);                           // grab 0 times out: no image yet
    tp.then([&] { tp.run_pending_thread(0); });  // ... and finishes late with shape A
    tp.queue_ticks(1);                           // grab 1 times out; A is drawn
    tp.then([&] {
        tp.set_window_cursor(target, shape_b);
        tp.tick(1);  // grab 2 times out; A is drawn
    });
    tp.then([&] {
        tp.run_pending_thread(2);  // the newer grab finishes first, with B
        tp.set_window_cursor(target, shape_a);
        tp.run_pending_thread(1);  // the older one finishes last, with A: discarded
        tp.tick(1);                // grab 3 times out; B is drawn
    });
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(drawn(), (Drawn{"257 141 cursor1-copy", "257 141 cursor1-copy",
                              "259 144 cursor2-copy"}));
    EXPECT_EQ(tp.frames.size(), 4u);
    for (std::uint32_t bound : tp.wait_timeouts) {
        EXPECT_EQ(bound, 10000u);
    }
    EXPECT_EQ(tp.count("close_thread"), 4);
    EXPECT_EQ(tp.live_cursor_copies(), 0);
}

TEST_F(CursorTest, CopiesStayBoundedOverTenThousandTicks) {
    // A small screen keeps ten thousand frames cheap; the cursor work is the same.
    tp.reset(160, 120);
    client = Rect{16, 12, 64, 48};
    start("1");
    tp.pointer = Point{20, 20};
    int most_live = 0;
    for (int i = 0; i < 10000; ++i) {
        tp.then([&, i] {
            tp.set_window_cursor(target, i % 2 == 0 ? shape_a : shape_b);
            tp.tick(1);
            most_live = std::max(most_live, tp.live_cursor_copies());
        });
    }
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.copies_made(), 10000);
    EXPECT_LE(most_live, 1);
    EXPECT_EQ(tp.live_cursor_copies(), 0);
}

}  // namespace
