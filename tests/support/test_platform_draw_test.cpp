// Checks of the recording test platform's pixels, where a fault would make the whole-system tests
// pass or fail for the wrong reason: bottom-up memory contexts, stretching, clipping, black fills,
// the screen beneath the overlay, guard words, contexts, the image diff and cursor drawing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_platform.h"

namespace {

// A bitmap selected into a memory context, as the core makes its surfaces.
struct Block {
    BitmapHandle bitmap = nullptr;
    DrawContext context = nullptr;
    Pixel* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;

    // Returns the pixel of image row y (row 0 at the top), read from bottom-up storage.
    Pixel image(std::int32_t x, std::int32_t y) const {
        return pixels[(height - 1 - y) * width + x];
    }
};

Block make_block(std::int32_t width, std::int32_t height) {
    Block block;
    block.width = width;
    block.height = height;
    block.bitmap = platform_create_bitmap(nullptr, width, height, &block.pixels);
    block.context = platform_create_memory_context(nullptr);
    platform_select_bitmap(block.context, block.bitmap);
    return block;
}

WindowHandle make_overlay(TestPlatform& tp) {
    platform_register_class(tp.instance());
    return platform_create_overlay(tp.instance(), tp.screen_width(), tp.screen_height());
}

bool contains_text(const std::vector<std::string>& texts, const std::string& part) {
    for (const std::string& text : texts) {
        if (text.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

using TestPlatformPixels = SystemTest;
using TestPlatformCursors = SystemTest;

// --- Pixels ----------------------------------------------------------------------------------

TEST_F(TestPlatformPixels, CopyIntoMemoryContextStoresBottomUpAndComesBackUpright) {
    const Rect area{100, 50, 5, 3};
    tp.paint_screen(area, [](std::int32_t x, std::int32_t y) { return pattern_pixel(x, y); });
    const Block block = make_block(5, 3);
    DrawContext screen = platform_get_context(WindowHandle{});
    platform_copy(block.context, Point{0, 0}, screen, Point{area.x, area.y}, 5, 3);

    // Storage row 0 holds the bottom image row, the last storage row the top one.
    for (std::int32_t x = 0; x < 5; ++x) {
        EXPECT_EQ(block.pixels[0 * 5 + x], pattern_pixel(x, 2)) << "x " << x;
        EXPECT_EQ(block.pixels[2 * 5 + x], pattern_pixel(x, 0)) << "x " << x;
    }

    const WindowHandle overlay = make_overlay(tp);
    DrawContext target = platform_get_context(overlay);
    platform_copy(target, Point{10, 20}, block.context, Point{0, 0}, 5, 3);
    EXPECT_EQ(tp.diff_overlay(
                  Rect{10, 20, 5, 3},
                  [](std::int32_t x, std::int32_t y) { return pattern_pixel(x - 10, y - 20); }),
              "");
    EXPECT_EQ(tp.overlay_pixel(9, 20), 0u);
    EXPECT_EQ(tp.overlay_pixel(15, 22), 0u);
    platform_release_context(overlay, target);
    platform_release_context(WindowHandle{}, screen);
    EXPECT_EQ(tp.outstanding_contexts(), 0);
}

TEST_F(TestPlatformPixels, FreshBitmapHoldsNoZerosAndFailedCreationGivesNothing) {
    const Block block = make_block(3, 2);
    ASSERT_NE(block.pixels, nullptr);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(block.pixels[i], FRESH_BITMAP_WORD);
    }

    Pixel* pixels = block.pixels;
    EXPECT_EQ(platform_create_bitmap(nullptr, 0, 4, &pixels), nullptr);
    EXPECT_EQ(pixels, nullptr);
    tp.fail_create_bitmap = true;
    pixels = block.pixels;
    EXPECT_EQ(platform_create_bitmap(nullptr, 4, 4, &pixels), nullptr);
    EXPECT_EQ(pixels, nullptr);
    tp.fail_memory_context = true;
    EXPECT_EQ(platform_create_memory_context(nullptr), nullptr);
}

TEST_F(TestPlatformPixels, StretchRepeatsEachSourcePixelByWholeFactors) {
    const Rect from{30, 40, 7, 5};
    tp.paint_screen(from, [](std::int32_t x, std::int32_t y) { return pattern_pixel(x, y, 7); });
    const WindowHandle overlay = make_overlay(tp);
    DrawContext target = platform_get_context(overlay);
    DrawContext screen = platform_get_context(WindowHandle{});
    for (std::int32_t k = 1; k <= 6; ++k) {
        SCOPED_TRACE("factor " + std::to_string(k));
        platform_fill_black(target, Rect{0, 0, tp.screen_width(), tp.screen_height()});
        const Rect to{2, 3, 7 * k, 5 * k};
        platform_stretch_copy(target, to, screen, from);
        EXPECT_EQ(tp.diff_overlay(to,
                                  [k](std::int32_t x, std::int32_t y) {
                                      return pattern_pixel((x - 2) / k, (y - 3) / k, 7);
                                  }),
                  "");
        EXPECT_EQ(tp.overlay_pixel(2 + 7 * k, 3), 0u);
        EXPECT_EQ(tp.overlay_pixel(2, 3 + 5 * k), 0u);
    }
    platform_release_context(overlay, target);
    platform_release_context(WindowHandle{}, screen);
}

TEST_F(TestPlatformPixels, StretchAtNegativeOffsetCutsTheImageWithoutShiftingIt) {
    const Rect from{10, 10, 8, 6};
    tp.paint_screen(from, [](std::int32_t x, std::int32_t y) { return pattern_pixel(x, y); });
    const WindowHandle overlay = make_overlay(tp);
    DrawContext target = platform_get_context(overlay);
    DrawContext screen = platform_get_context(WindowHandle{});
    platform_stretch_copy(target, Rect{-5, -3, 16, 12}, screen, from);
    // Overlay (0, 0) is destination offset (5, 3), so it takes source pixel (2, 1).
    EXPECT_EQ(tp.diff_overlay(Rect{0, 0, 11, 9},
                              [](std::int32_t x, std::int32_t y) {
                                  return pattern_pixel((x + 5) / 2, (y + 3) / 2);
                              }),
              "");
    EXPECT_EQ(tp.overlay_pixel(11, 0), 0u);
    EXPECT_EQ(tp.overlay_pixel(0, 9), 0u);
    platform_release_context(overlay, target);
    platform_release_context(WindowHandle{}, screen);
}

TEST_F(TestPlatformPixels, CopyFromBeyondTheScreenLeavesThoseDestinationPixels) {
    const std::int32_t right = tp.screen_width();
    tp.paint_screen(Rect{right - 4, 0, 4, 2}, 0x00112233u);
    const Block block = make_block(8, 2);
    DrawContext screen = platform_get_context(WindowHandle{});
    platform_copy(block.context, Point{0, 0}, screen, Point{right - 4, 0}, 8, 2);
    for (std::int32_t y = 0; y < 2; ++y) {
        for (std::int32_t x = 0; x < 8; ++x) {
            EXPECT_EQ(block.image(x, y), x < 4 ? 0x00112233u : FRESH_BITMAP_WORD)
                << "(" << x << ", " << y << ")";
        }
    }
    platform_release_context(WindowHandle{}, screen);
}

TEST_F(TestPlatformPixels, FillBlackClipsAndPaintsNothingForNegativeSizes) {
    const Block block = make_block(6, 6);
    platform_fill_black(block.context, Rect{-2, -2, 4, 4});
    platform_fill_black(block.context, Rect{3, 3, -2, 2});
    platform_fill_black(block.context, Rect{3, 3, 2, -2});
    platform_fill_black(block.context, Rect{5, 5, 4, 4});
    for (std::int32_t y = 0; y < 6; ++y) {
        for (std::int32_t x = 0; x < 6; ++x) {
            const bool black = (x < 2 && y < 2) || (x == 5 && y == 5);
            EXPECT_EQ(block.image(x, y), black ? 0u : FRESH_BITMAP_WORD)
                << "(" << x << ", " << y << ")";
        }
    }
    // A fill that paints nothing is still a call the system made.
    EXPECT_EQ(tp.count("fill_black memory1 3 3 -2 2"), 1);
    EXPECT_EQ(tp.count("fill_black"), 4);
}

TEST_F(TestPlatformPixels, ScreenContextShowsWhatLiesBeneathTheOverlay) {
    tp.paint_screen(Rect{0, 0, 4, 4}, 0x00445566u);
    const WindowHandle overlay = make_overlay(tp);
    DrawContext target = platform_get_context(overlay);
    DrawContext screen = platform_get_context(WindowHandle{});
    platform_stretch_copy(target, Rect{0, 0, 4, 4}, screen, Rect{0, 0, 1, 1});
    EXPECT_EQ(tp.overlay_pixel(3, 3), 0x00445566u);
    tp.paint_screen(Rect{0, 0, 4, 4}, 0x00778899u);

    const Block block = make_block(4, 4);
    platform_copy(block.context, Point{0, 0}, screen, Point{0, 0}, 4, 4);
    EXPECT_EQ(block.image(1, 1), 0x00778899u);

    // The system never draws on the screen; doing so is reported.
    platform_fill_black(screen, Rect{0, 0, 1, 1});
    EXPECT_TRUE(contains_text(tp.take_errors(), "draws on the screen"));
    platform_release_context(overlay, target);
    platform_release_context(WindowHandle{}, screen);
}

TEST_F(TestPlatformPixels, GuardWordsReportWritesJustOutsideThePixels) {
    const Block block = make_block(4, 2);
    block.pixels[0] = 1u;
    block.pixels[7] = 2u;
    EXPECT_EQ(tp.guard_damage(), "");

    block.pixels[-1] = 3u;
    const std::string before = tp.guard_damage();
    EXPECT_NE(before.find("bitmap1"), std::string::npos) << before;
    EXPECT_NE(before.find("word 1 before"), std::string::npos) << before;
    block.pixels[-1] = GUARD_WORD;

    block.pixels[8] = 4u;
    const std::string after = tp.guard_damage();
    EXPECT_NE(after.find("word 1 after"), std::string::npos) << after;
    block.pixels[8] = GUARD_WORD;
    EXPECT_EQ(tp.guard_damage(), "");
}

TEST_F(TestPlatformPixels, ContextsAreCountedUntilGivenBackWithTheirWindow) {
    DrawContext first = platform_get_context(WindowHandle{});
    DrawContext second = platform_get_context(WindowHandle{});
    EXPECT_EQ(tp.outstanding_contexts(), 2);
    platform_release_context(WindowHandle{}, first);
    EXPECT_EQ(tp.outstanding_contexts(), 1);
    platform_release_context(WindowHandle{}, first);
    const WindowHandle overlay = make_overlay(tp);
    platform_release_context(overlay, second);
    const std::vector<std::string> errors = tp.take_errors();
    EXPECT_TRUE(contains_text(errors, "given back twice"));
    EXPECT_TRUE(contains_text(errors, "given back with window overlay"));

    platform_fill_black(first, Rect{0, 0, 1, 1});
    EXPECT_TRUE(contains_text(tp.take_errors(), "already given back"));
}

TEST_F(TestPlatformPixels, ImageDiffNamesTheFirstDifferenceAndTheCount) {
    const auto got = [](std::int32_t x, std::int32_t y) -> Pixel {
        return (x == 2 && y == 1) || (x == 0 && y == 3) ? 0x00FF0000u : 0u;
    };
    const auto black = [](std::int32_t, std::int32_t) -> Pixel { return 0u; };
    const std::string message = image_diff(Rect{0, 0, 4, 4}, got, black);
    EXPECT_NE(message.find("2 of 16 pixels differ"), std::string::npos) << message;
    EXPECT_NE(message.find("first at (2, 1): got 0xff0000, expected 0x0"), std::string::npos)
        << message;
    EXPECT_EQ(image_diff(Rect{0, 0, 2, 1}, got, black), "");
}

// --- Cursor images ---------------------------------------------------------------------------

TEST_F(TestPlatformCursors, DrawPutsTheTopLeftAtThePointSkippingClearWordsAndClipping) {
    const Pixel a = 0x00010203u;
    const Pixel b = 0x00040506u;
    const Pixel c = 0x00070809u;
    const CursorImage image = tp.make_cursor_image(
        3, 2, std::vector<Pixel>{a, CURSOR_CLEAR, b, c, c, CURSOR_CLEAR}, 1, 1);
    const Block block = make_block(4, 4);
    platform_draw_cursor(block.context, Point{2, 1}, image);
    platform_draw_cursor(block.context, Point{-2, 3}, image);
    const Pixel F = FRESH_BITMAP_WORD;
    const std::vector<std::vector<Pixel>> expected = {
        {F, F, F, F},
        {F, F, a, F},  // column 4 of the first image falls outside
        {F, F, c, c},
        {b, F, F, F},  // the second image shows its last column only, and its first row only
    };
    for (std::int32_t y = 0; y < 4; ++y) {
        for (std::int32_t x = 0; x < 4; ++x) {
            EXPECT_EQ(block.image(x, y),
                      expected[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)])
                << "(" << x << ", " << y << ")";
        }
    }
    platform_draw_cursor(block.context, Point{0, 0}, nullptr);
    EXPECT_EQ(block.image(0, 0), F);
}

TEST_F(TestPlatformCursors, CopiesAndInfoBitmapsAreCountedUntilReleased) {
    const CursorImage original = tp.make_cursor_image(4, 4, 0x00ABCDEFu, 2, 3);
    const CursorImage copy = platform_copy_cursor(original);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, original);
    EXPECT_EQ(tp.live_cursor_copies(), 1);

    std::int32_t hot_x = -1;
    std::int32_t hot_y = -1;
    BitmapHandle colour = nullptr;
    BitmapHandle mask = nullptr;
    ASSERT_TRUE(platform_cursor_info(copy, &hot_x, &hot_y, &colour, &mask));
    EXPECT_EQ(hot_x, 2);
    EXPECT_EQ(hot_y, 3);
    EXPECT_NE(colour, nullptr);
    EXPECT_NE(mask, nullptr);
    EXPECT_EQ(tp.live_info_bitmaps(), 2);
    platform_delete_bitmap(colour);
    platform_delete_bitmap(mask);
    EXPECT_EQ(tp.live_info_bitmaps(), 0);

    platform_release_cursor(copy);
    EXPECT_EQ(tp.live_cursor_copies(), 0);
    EXPECT_TRUE(tp.errors.empty());

    // Every misuse the hand-over must avoid is reported.
    platform_release_cursor(copy);
    platform_release_cursor(original);
    platform_release_cursor(platform_standard_arrow());
    platform_delete_bitmap(mask);
    const Block block = make_block(2, 2);
    platform_draw_cursor(block.context, Point{0, 0}, copy);
    const std::vector<std::string> errors = tp.take_errors();
    EXPECT_TRUE(contains_text(errors, "released twice"));
    EXPECT_TRUE(contains_text(errors, "is not a copy"));
    EXPECT_TRUE(contains_text(errors, "standard arrow is never released"));
    EXPECT_TRUE(contains_text(errors, "deleted twice"));
    EXPECT_TRUE(contains_text(errors, "was already released"));
    EXPECT_EQ(block.image(0, 0), FRESH_BITMAP_WORD);
}

TEST_F(TestPlatformCursors, SwitchesMakeCopyAndInfoFailAndTheArrowKeepsItsHotSpot) {
    tp.set_standard_arrow(8, 8, 0x00FFFFFFu, 1, 2);
    std::int32_t hot_x = 0;
    std::int32_t hot_y = 0;
    BitmapHandle colour = nullptr;
    BitmapHandle mask = nullptr;
    ASSERT_TRUE(platform_cursor_info(platform_standard_arrow(), &hot_x, &hot_y, &colour, &mask));
    EXPECT_EQ(hot_x, 1);
    EXPECT_EQ(hot_y, 2);

    tp.fail_cursor_info = true;
    hot_x = 9;
    EXPECT_FALSE(platform_cursor_info(platform_standard_arrow(), &hot_x, &hot_y, &colour, &mask));
    EXPECT_EQ(hot_x, 9);
    tp.fail_copy_cursor = true;
    EXPECT_EQ(platform_copy_cursor(tp.make_cursor_image(2, 2, 0u, 0, 0)), nullptr);
    EXPECT_EQ(platform_copy_cursor(nullptr), nullptr);
    EXPECT_EQ(tp.live_cursor_copies(), 0);
}

}  // namespace
