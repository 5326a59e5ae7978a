// Cursor images through the backend: the standard arrow's hot spot, its drawing at the position the
// frame tick computes, private copies and their release. Exact cursor pixels differ between
// systems, so only where the image lands is checked.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "memory_canvas.h"
#include "platform/platform.h"
#include "render/frame_geometry.h"

namespace {

constexpr Pixel WHITE = 0xFFFFFF;

struct Changed {
    int count = 0;
    std::int32_t left = 0, top = 0, right = -1, bottom = -1;  // inclusive bounds
};

Changed changed_pixels(const MemoryCanvas& canvas) {
    Changed changed;
    for (std::int32_t y = 0; y < canvas.height(); ++y) {
        for (std::int32_t x = 0; x < canvas.width(); ++x) {
            if (canvas.at(x, y) == WHITE) {
                continue;
            }
            if (changed.count++ == 0) {
                changed.left = changed.right = x;
                changed.top = changed.bottom = y;
            }
            changed.left = x < changed.left ? x : changed.left;
            changed.right = x > changed.right ? x : changed.right;
            changed.top = y < changed.top ? y : changed.top;
            changed.bottom = y > changed.bottom ? y : changed.bottom;
        }
    }
    return changed;
}

struct Hotspot {
    std::int32_t x = -1;
    std::int32_t y = -1;
};

Hotspot hot_spot_of(CursorImage image) {
    Hotspot hot;
    BitmapHandle colour = nullptr;
    BitmapHandle mask = nullptr;
    if (platform_cursor_info(image, &hot.x, &hot.y, &colour, &mask)) {
        platform_delete_bitmap(colour);
        platform_delete_bitmap(mask);
    }
    return hot;
}

// Checks that the drawn image lies in the icon-sized square at `at` and covers its hot spot.
void expect_image_at(const MemoryCanvas& canvas, Point at, Hotspot hot) {
    const std::int32_t size_x = GetSystemMetrics(SM_CXICON);
    const std::int32_t size_y = GetSystemMetrics(SM_CYICON);
    const Changed changed = changed_pixels(canvas);
    ASSERT_GT(changed.count, 0) << "nothing was drawn";
    EXPECT_GE(changed.left, at.x);
    EXPECT_GE(changed.top, at.y);
    EXPECT_LT(changed.right, at.x + size_x);
    EXPECT_LT(changed.bottom, at.y + size_y);
    // The arrow's tip is its hot spot: drawn there, give or take a pixel of outline.
    bool tip_drawn = false;
    for (std::int32_t dy = -1; dy <= 1; ++dy) {
        for (std::int32_t dx = -1; dx <= 1; ++dx) {
            const std::int32_t x = at.x + hot.x + dx;
            const std::int32_t y = at.y + hot.y + dy;
            if (x >= 0 && y >= 0 && x < canvas.width() && y < canvas.height()) {
                tip_drawn = tip_drawn || canvas.at(x, y) != WHITE;
            }
        }
    }
    EXPECT_TRUE(tip_drawn) << "nothing drawn at the hot spot (" << at.x + hot.x << ", "
                           << at.y + hot.y << ")";
}

TEST(CursorDrawing, ArrowLandsWithItsHotSpotOnTheEnlargedPointer) {
    const CursorImage arrow = platform_standard_arrow();
    ASSERT_NE(arrow, nullptr);
    const Hotspot hot = hot_spot_of(arrow);
    ASSERT_GE(hot.x, 0) << "no icon information for the arrow";

    // The typical run: scale 2, offsets (60, 45), pointer at client (100, 50).
    const CursorPlacement placement =
        cursor_position(0, 2, 60, 45, 0, 640, Point{100, 50}, hot.x, hot.y);
    ASSERT_TRUE(placement.draw);
    EXPECT_EQ(placement.at.x + hot.x, 260);
    EXPECT_EQ(placement.at.y + hot.y, 145);

    MemoryCanvas canvas(400, 300, WHITE);
    ASSERT_TRUE(canvas.valid());
    platform_draw_cursor(canvas.context(), placement.at, arrow);
    GdiFlush();
    expect_image_at(canvas, placement.at, hot);
}

// A pointer larger than the system icon size (an enlarged, custom or high-DPI cursor) is drawn at
// its own size, so that its hot spot lands on the enlarged pointer: drawn at the icon size it
// would be squeezed and its hot spot moved.
TEST(CursorDrawing, ALargeCursorIsDrawnAtItsOwnSizeWithItsHotSpotOnThePointer) {
    constexpr std::int32_t SIZE = 64;
    constexpr Pixel RED = 0xFF0000;
    MemoryCanvas image(SIZE, SIZE, RED);
    ASSERT_TRUE(image.valid());
    // An all-zero AND mask: every pixel of the image is opaque.
    std::vector<BYTE> mask_bits(SIZE * SIZE / 8, 0);
    HBITMAP mask = CreateBitmap(SIZE, SIZE, 1, 1, mask_bits.data());
    ICONINFO info{};
    info.fIcon = FALSE;
    info.xHotspot = 40;
    info.yHotspot = 50;
    info.hbmMask = mask;
    info.hbmColor = static_cast<HBITMAP>(GetCurrentObject(image.hdc(), OBJ_BITMAP));
    HICON cursor = CreateIconIndirect(&info);
    DeleteObject(mask);
    ASSERT_NE(cursor, nullptr);
    const Hotspot hot = hot_spot_of(reinterpret_cast<CursorImage>(cursor));
    EXPECT_EQ(hot.x, 40);
    EXPECT_EQ(hot.y, 50);

    const CursorPlacement placement =
        cursor_position(0, 2, 60, 45, 0, 640, Point{100, 50}, hot.x, hot.y);
    MemoryCanvas canvas(400, 300, WHITE);
    ASSERT_TRUE(canvas.valid());
    platform_draw_cursor(canvas.context(), placement.at, reinterpret_cast<CursorImage>(cursor));
    GdiFlush();
    DestroyIcon(cursor);

    const Changed changed = changed_pixels(canvas);
    EXPECT_EQ(changed.count, SIZE * SIZE);
    EXPECT_EQ(changed.left, placement.at.x);
    EXPECT_EQ(changed.top, placement.at.y);
    EXPECT_EQ(changed.right, placement.at.x + SIZE - 1);
    EXPECT_EQ(changed.bottom, placement.at.y + SIZE - 1);
    EXPECT_EQ(canvas.at(260, 145), RED) << "the hot spot is not on the enlarged pointer";
}

TEST(CursorDrawing, ArrowPartlyOffTheCanvasIsCut) {
    const CursorImage arrow = platform_standard_arrow();
    ASSERT_NE(arrow, nullptr);
    MemoryCanvas canvas(100, 100, WHITE);
    ASSERT_TRUE(canvas.valid());
    const std::int32_t size_x = GetSystemMetrics(SM_CXICON);
    const std::int32_t size_y = GetSystemMetrics(SM_CYICON);
    platform_draw_cursor(canvas.context(), Point{-3, -3}, arrow);
    GdiFlush();
    const Changed changed = changed_pixels(canvas);
    EXPECT_LT(changed.right, size_x - 3);
    EXPECT_LT(changed.bottom, size_y - 3);
}

TEST(CursorDrawing, NoImageDrawsNothing) {
    MemoryCanvas canvas(50, 50, WHITE);
    ASSERT_TRUE(canvas.valid());
    platform_draw_cursor(canvas.context(), Point{10, 10}, nullptr);
    GdiFlush();
    EXPECT_EQ(changed_pixels(canvas).count, 0);
}

TEST(CursorCopies, PrivateCopyDrawsLikeTheOriginalAndIsGoneOnceReleased) {
    const CursorImage arrow = platform_standard_arrow();
    const CursorImage copy = platform_copy_cursor(arrow);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, arrow);
    const Hotspot arrow_hot = hot_spot_of(arrow);
    const Hotspot copy_hot = hot_spot_of(copy);
    EXPECT_EQ(copy_hot.x, arrow_hot.x);
    EXPECT_EQ(copy_hot.y, arrow_hot.y);

    MemoryCanvas with_arrow(64, 64, WHITE);
    MemoryCanvas with_copy(64, 64, WHITE);
    platform_draw_cursor(with_arrow.context(), Point{8, 8}, arrow);
    platform_draw_cursor(with_copy.context(), Point{8, 8}, copy);
    GdiFlush();
    int different = 0;
    for (std::int32_t y = 0; y < 64; ++y) {
        for (std::int32_t x = 0; x < 64; ++x) {
            different += with_arrow.at(x, y) != with_copy.at(x, y) ? 1 : 0;
        }
    }
    EXPECT_EQ(different, 0);

    platform_release_cursor(copy);
    ICONINFO info{};
    EXPECT_EQ(GetIconInfo(reinterpret_cast<HICON>(copy), &info), FALSE)
        << "the released copy is still a valid image";
    // The shared arrow stays usable after its copy is gone.
    EXPECT_GE(hot_spot_of(arrow).x, 0);
}

TEST(CursorCopies, InformationHandsOutBitmapsTheCallerOwns) {
    const CursorImage copy = platform_copy_cursor(platform_standard_arrow());
    ASSERT_NE(copy, nullptr);
    std::int32_t hot_x = -1;
    std::int32_t hot_y = -1;
    BitmapHandle colour = nullptr;
    BitmapHandle mask = nullptr;
    ASSERT_TRUE(platform_cursor_info(copy, &hot_x, &hot_y, &colour, &mask));
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(mask)), static_cast<DWORD>(OBJ_BITMAP));
    platform_delete_bitmap(colour);
    platform_delete_bitmap(mask);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(mask)), 0u) << "the mask was not released";
    platform_release_cursor(copy);
}

TEST(CursorInput, JoiningTheInputOfAThreadThatDoesNotExistFails) {
    const std::uint32_t own = platform_current_thread();
    EXPECT_EQ(own, GetCurrentThreadId());
    EXPECT_FALSE(platform_attach_input(own, 0, true));
    EXPECT_EQ(platform_window_thread(WindowHandle{}), 0u);
}

}  // namespace
