// Whole frames against the recording test platform: each stretch mode pixel for pixel (the
// platform draws each frame presented as a plain reference of what it shows), the bands, the exit
// poll and what a tick does when its surface or its target is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "support/frame_model.h"
#include "support/scenario.h"
#include "vocabulary/view_state.h"

namespace {

using TickTest = SystemTest;

// Runs a view of a patterned target with the given settings for one tick, then quits.
void run_one_tick(TestPlatform& tp, Rect client, const char* stretch,
                  const char* smoothness = "0") {
    set_setting(tp, "stretch", stretch);
    set_setting(tp, "smoothness", smoothness);
    add_patterned_target(tp, client);
    tp.pointer = Point{client.x, client.y};
    tp.queue_click(centre_of(client));
    tp.queue_ticks(1);
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
}

// Returns the blended enlargement of the W x H pattern as the overlay must show it, top row first,
// from the frame model's kernels and blocks.
std::vector<Pixel> blended_reference(std::int32_t W, std::int32_t H, std::int32_t k, PairModel pair,
                                     QuadModel quad) {
    const std::int32_t UW = k * W / 2;
    const std::int32_t UH = k * H / 2;
    const CapturePixel capture = [](int x, int y) { return pattern_pixel(x, y); };
    std::vector<Pixel> top_down(static_cast<std::size_t>(UW * UH));
    for (std::int32_t y = 0; y < UH; ++y) {
        for (std::int32_t x = 0; x < UW; ++x) {
            top_down[static_cast<std::size_t>(y * UW + x)] =
                blended_pixel(capture, k, x, y, pair, quad);
        }
    }
    return top_down;
}

TEST_F(TickTest, BlendedThreeHalvesFrameIsExact) {
    run_one_tick(tp, Rect{300, 200, 800, 600}, "1", "1");
    EXPECT_EQ(tp.count("set_timer 1 200"), 1);
    const std::vector<Pixel> expected = blended_reference(800, 600, 3, exact_pair, exact_quad);
    EXPECT_EQ(tp.diff_overlay(Rect{0, 0, 1400, 1050},
                              [&](std::int32_t x, std::int32_t y) {
                                  const std::int32_t ix = x - 100;
                                  const std::int32_t iy = y - 75;
                                  if (ix < 0 || iy < 0 || ix >= 1200 || iy >= 900) return Pixel{0};
                                  return expected[static_cast<std::size_t>(iy * 1200 + ix)];
                              }),
              "");
    // The corners of the image are the target's own corner pixels, upright.
    EXPECT_EQ(tp.overlay_pixel(100, 75), pattern_pixel(0, 0));
    EXPECT_EQ(tp.overlay_pixel(1299, 974), pattern_pixel(799, 599));
    EXPECT_EQ(tp.check_order({"look target with capture", "present mode 1 image 100,75 1200x900"}),
              "");
}

TEST_F(TickTest, BlendedFiveHalvesFrameFillsTheScreenWithoutBands) {
    run_one_tick(tp, Rect{0, 0, 560, 420}, "1", "0");
    const std::vector<Pixel> expected = blended_reference(560, 420, 5, fast_pair, fast_quad);
    EXPECT_EQ(tp.diff_overlay(Rect{0, 0, 1400, 1050},
                              [&](std::int32_t x, std::int32_t y) {
                                  return expected[static_cast<std::size_t>(y * 1400 + x)];
                              }),
              "");
    ASSERT_EQ(tp.frames.size(), 1u);
    EXPECT_EQ(tp.frames[0].bands.count, 0);
}

// Returns "" when the overlay's blended image is the enlargement of what the screen holds now
// under the client rectangle, else the first difference.
std::string blended_image_diff(const TestPlatform& tp, Rect client, std::int32_t k, PairModel pair,
                               QuadModel quad) {
    const CapturePixel capture = [&tp, client](int x, int y) {
        return tp.screen_pixel(client.x + x, client.y + y);
    };
    const ViewState& v = view_state;
    return tp.diff_overlay(
        Rect{v.offset_x, v.offset_y, k * client.width / 2, k * client.height / 2},
        [&](std::int32_t x, std::int32_t y) {
            return blended_pixel(capture, k, x - v.offset_x, y - v.offset_y, pair, quad);
        });
}

// A blended view over changing pictures: each frame is the enlargement of the screen as it is
// then, whether a change touches one row of a block, the other, the last block row, or is undone.
void check_blended_changes(TestPlatform& tp, Rect client, const char* smoothness, std::int32_t k,
                           PairModel pair, QuadModel quad) {
    const std::vector<Rect> changes{
        Rect{client.x + 10, client.y + 20, 1, 1},                       // first row of a block
        Rect{client.x + 31, client.y + 41, 1, 1},                       // second row of a block
        Rect{client.x, client.y + client.height - 1, client.width, 1},  // the last capture row
        Rect{client.x + 100, client.y + 7, 16, 16},                     // a caret over 9 block rows
    };
    set_setting(tp, "stretch", "1");
    set_setting(tp, "smoothness", smoothness);
    add_patterned_target(tp, client);
    tp.queue_click(centre_of(client));
    tp.queue_ticks(2);
    for (std::size_t i = 0; i < changes.size(); ++i) {
        tp.then([&tp, &changes, client, i, k, pair, quad] {
            EXPECT_EQ(blended_image_diff(tp, client, k, pair, quad), "") << "before change " << i;
            tp.paint_screen(changes[i], Pixel{0x00123456u + static_cast<Pixel>(i)});
            tp.tick(1);
        });
        tp.then([&tp, &changes, client, i, k] {
            // The frame says it holds the enlarged block rows of the change and nothing else new.
            // The surfaces are bottom-up: capture row r is storage row height - 1 - r.
            const std::int32_t top = changes[i].y - client.y;
            const std::int32_t lowest_block = (client.height - top - changes[i].height) / 2;
            const std::int32_t highest_block = (client.height - 1 - top) / 2;
            const std::vector<RowSpan>& rows = tp.frames.back().enlarged_rows;
            ASSERT_EQ(rows.size(), 1u) << "change " << i;
            EXPECT_EQ(rows[0].first, k * lowest_block) << "change " << i;
            EXPECT_EQ(rows[0].count, k * (highest_block - lowest_block + 1)) << "change " << i;
        });
    }
    tp.then([&tp, client, k, pair, quad] {
        EXPECT_EQ(blended_image_diff(tp, client, k, pair, quad), "") << "after the last change";
        // The picture as it was at first: every changed block is made again.
        tp.paint_screen(client, [](std::int32_t x, std::int32_t y) { return pattern_pixel(x, y); });
        tp.tick(1);
    });
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(blended_image_diff(tp, client, k, pair, quad), "");
}

TEST_F(TickTest, BlendedThreeHalvesFramesFollowEveryChangedBlockRow) {
    check_blended_changes(tp, Rect{300, 200, 800, 600}, "1", 3, exact_pair, exact_quad);
}

TEST_F(TickTest, BlendedFiveHalvesFramesFollowEveryChangedBlockRow) {
    check_blended_changes(tp, Rect{0, 0, 560, 420}, "0", 5, fast_pair, fast_quad);
}

TEST_F(TickTest, AspectFitImageBandsAndTheRowBetween) {
    run_one_tick(tp, Rect{100, 100, 640, 400}, "2");
    EXPECT_EQ(view_state.fit_w, 1400);
    EXPECT_EQ(view_state.fit_h, 875);
    ASSERT_EQ(tp.frames.size(), 1u);
    EXPECT_EQ(tp.frames[0].bands.count, 2);
    EXPECT_EQ(tp.frames[0].bands.bands[0], (Rect{0, 0, 1400, 87}));
    EXPECT_EQ(tp.frames[0].bands.bands[1], (Rect{0, 963, 1400, 87}));
    // Rows 87 to 961 hold the image, each destination pixel repeating one source pixel; row 962
    // belongs to neither the image nor a band and keeps the window's black.
    EXPECT_EQ(tp.diff_overlay(Rect{0, 87, 1400, 875},
                              [](std::int32_t x, std::int32_t y) {
                                  return pattern_pixel(x * 640 / 1400, (y - 87) * 400 / 875);
                              }),
              "");
    EXPECT_EQ(
        tp.diff_overlay(Rect{0, 962, 1400, 1}, [](std::int32_t, std::int32_t) { return Pixel{0}; }),
        "");
}

TEST_F(TickTest, UnpaintedRowKeepsEarlierCursorPixels) {
    set_setting(tp, "stretch", "2");
    set_setting(tp, "mouse_trs", "2");
    tp.set_standard_arrow(8, 8, 0x00FF00FF, 0, 0);
    const Rect client{100, 100, 640, 400};
    add_patterned_target(tp, client);
    tp.pointer = Point{100 + 320, 100 + 399};  // arrow's top-left at (700, 959): covers row 962
    tp.queue_click(centre_of(client));
    tp.queue_ticks(1);
    tp.then([&] {
        EXPECT_EQ(tp.overlay_pixel(703, 962), Pixel{0x00FF00FF});
        tp.pointer = Point{100, 100};
        tp.tick(1);
    });
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.overlay_pixel(703, 962), Pixel{0x00FF00FF});  // neither image nor band repaints it
    EXPECT_EQ(tp.overlay_pixel(703, 961), pattern_pixel(703 * 640 / 1400, 874 * 400 / 875));
    EXPECT_EQ(tp.overlay_pixel(703, 963), Pixel{0});
}

TEST_F(TickTest, OnlyTheTopAndBottomBandsForAFullWidthImage) {
    run_one_tick(tp, Rect{0, 0, 700, 400}, "2");
    ASSERT_EQ(tp.frames.size(), 1u);
    EXPECT_EQ(tp.frames[0].bands.count, 2);
    EXPECT_EQ(tp.frames[0].bands.bands[0], (Rect{0, 0, 1400, 125}));
    EXPECT_EQ(tp.frames[0].bands.bands[1], (Rect{0, 925, 1400, 125}));
}

TEST_F(TickTest, ImageWiderThanTheScreenIsCentredAndKeptWhole) {
    // 1600 wide on 1400: scale 1 at offset -100; a band of negative width would erase the image.
    run_one_tick(tp, Rect{-100, 0, 1600, 400}, "0");
    EXPECT_EQ(view_state.offset_x, -100);
    ASSERT_EQ(tp.frames.size(), 1u);
    EXPECT_EQ(tp.frames[0].bands.count, 2) << "a band of negative width";
    EXPECT_EQ(tp.diff_overlay(Rect{0, 325, 1400, 400},
                              [](std::int32_t x, std::int32_t y) {
                                  return pattern_pixel(x + 100,
                                                       y - 325);  // screen x shows client x + 100
                              }),
              "");
}

TEST_F(TickTest, UnknownStretchModeDrawsNothingAtAll) {
    set_setting(tp, "mouse_trs", "2");
    run_one_tick(tp, Rect{0, 0, 640, 480}, "3");
    ASSERT_EQ(tp.frames.size(), 1u);
    EXPECT_EQ(tp.frames[0].image, Rect{});
    EXPECT_EQ(tp.frames[0].bands.count, 0);
    EXPECT_EQ(tp.frames[0].cursor, nullptr);
    EXPECT_EQ(tp.diff_overlay(Rect{0, 0, 1400, 1050},
                              [](std::int32_t, std::int32_t) { return Pixel{0}; }),
              "");
}

TEST_F(TickTest, MissingSurfaceMemorySkipsTheBlendedImageButNotTheBands) {
    tp.fail_enlargement = true;
    run_one_tick(tp, Rect{0, 0, 800, 600}, "1");
    EXPECT_EQ(tp.count("look target with capture"), 0);
    ASSERT_EQ(tp.frames.size(), 1u);
    EXPECT_EQ(tp.frames[0].enlargement.pixels, nullptr);
    EXPECT_EQ(tp.frames[0].bands.count, 4);
    EXPECT_EQ(tp.diff_overlay(Rect{0, 0, 1400, 1050},
                              [](std::int32_t, std::int32_t) { return Pixel{0}; }),
              "");
}

// The screen changes size under a running view (a resolution change, a monitor resized): the view
// is laid out again as at the pick from the stretch setting, its surfaces made or given back, its
// frames exact at the new placement, with the same target, profile and timer.
TEST_F(TickTest, AChangedScreenLaysTheViewOutAgain) {
    const Rect client{100, 80, 640, 480};
    set_setting(tp, "stretch", "1");
    add_patterned_target(tp, client);
    tp.queue_click(centre_of(client));
    tp.queue_ticks(1);
    tp.then([&] {
        // 1400 is more than twice 640: the whole factor 2 at (60, 45).
        EXPECT_EQ(view_state.stretch, 0);
        // 1024 lies between 3/2 and 2 times 640: the 3/2 blend, 960x720 at (32, 24).
        tp.change_screen(1024, 768);
        add_patterned_target(tp, client);
        tp.tick(1);
    });
    tp.then([&] {
        EXPECT_EQ(view_state.stretch, 1);
        EXPECT_EQ(view_state.scale, 3);
        EXPECT_EQ(tp.diff_overlay(Rect{0, 0, 1024, 768},
                                  [&](std::int32_t x, std::int32_t y) {
                                      const bool image = x >= 32 && x < 992 && y >= 24 && y < 744;
                                      return image ? tp.overlay_pixel(x, y) : Pixel{0};
                                  }),
                  "");
        EXPECT_EQ(blended_image_diff(tp, client, 3, fast_pair, fast_quad), "");
        tp.change_screen(1400, 1050);
        add_patterned_target(tp, client);
        tp.tick(1);
    });
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.diff_overlay(Rect{0, 0, 1400, 1050},
                              [](std::int32_t x, std::int32_t y) {
                                  return whole_factor_frame(x, y, 2, Point{60, 45}, 640, 480);
                              }),
              "");
    // The blend's surface is given back once the whole factor no longer needs it.
    EXPECT_EQ(tp.entries("enlargement_surface"),
              (std::vector<std::string>{"enlargement_surface 960 720", "enlargement_surface 0 0"}));
    EXPECT_EQ(tp.count("set_timer 1"), 1);
    EXPECT_EQ(tp.count("write_profile"), 4);
    EXPECT_EQ(tp.count("MySetHook"), 1);
}

TEST_F(TickTest, CaptureFollowsAMovedTargetAndKeepsItsSize) {
    const WindowHandle target = add_patterned_target(tp, Rect{200, 100, 640, 480});
    tp.queue_click(Point{300, 200});
    tp.queue_ticks(1);
    tp.then([&] {
        tp.move_window(target, Point{10, 20});
        tp.find_window(target)->client.width = 700;
        tp.find_window(target)->client.height = 500;
        tp.tick(1);
    });
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    ASSERT_EQ(tp.frames.size(), 2u);
    EXPECT_EQ(tp.frames[0].source, (Rect{200, 100, 640, 480}));
    EXPECT_EQ(tp.frames[1].source, (Rect{10, 20, 640, 480}));
    EXPECT_EQ(tp.frames[1].image, (Rect{60, 45, 1280, 960}));
}

TEST_F(TickTest, ExitRequestLetsTheTickFinishItsFrameFirst) {
    const WindowHandle target = add_patterned_target(tp, Rect{200, 100, 640, 480});
    tp.queue_click(Point{300, 200});
    tp.then([&] {
        tp.set_profile("Zarvo5", "EXIT", " 1");
        tp.tick(1);
    });
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.check_order({"present", "read_profile Zarvo5 EXIT", "destroy_window overlay",
                              "MyEndHook", "loop ends 0"}),
              "");
    EXPECT_EQ(tp.diff_overlay(Rect{0, 0, 1400, 1050},
                              [](std::int32_t x, std::int32_t y) {
                                  return whole_factor_frame(x, y, 2, Point{60, 45}, 640, 480);
                              }),
              "");
    (void)target;
}

TEST_F(TickTest, TargetGoneAndExitRequestInOneTickDestroyOnce) {
    const WindowHandle target = add_patterned_target(tp, Rect{200, 100, 640, 480});
    tp.queue_click(Point{300, 200});
    tp.then([&] {
        tp.set_profile("Zarvo5", "EXIT", "1");
        tp.destroy_window(target);
        tp.tick(1);
    });
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.count("MyEndHook"), 1);
    EXPECT_EQ(tp.count("destroyed"), 1);
    EXPECT_EQ(tp.count("destroy_window overlay"), 2);
    EXPECT_EQ(tp.count("present"), 0);
}

TEST_F(TickTest, OtherExitTextsDoNotEndTheView) {
    add_patterned_target(tp, Rect{200, 100, 640, 480});
    tp.queue_click(Point{300, 200});
    for (const char* text : {"2", "yes", "", "-1", "11"}) {
        tp.then([&, text] {
            tp.set_profile("Zarvo5", "EXIT", text);
            tp.tick(1);
        });
    }
    tp.queue_quit(0);
    EXPECT_EQ(tp.run_system(), 0);
    EXPECT_EQ(tp.count("destroy_window"), 0);
    EXPECT_EQ(tp.count("present"), 5);
}

}  // namespace
