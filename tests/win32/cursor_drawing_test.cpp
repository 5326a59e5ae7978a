// Pointer images through the backend: the standard arrow's hot spot, its drawing by the present at
// the position the frame computes, and the release of a private copy. Exact cursor pixels differ
// between systems, so only where the image lands is checked.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "memory_canvas.h"
#include "platform/platform.h"
#include "platform/win32/win32_platform.h"
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

// Draws the cursor image alone, at `at`, as the present draws a frame's cursor.
void draw_cursor(MemoryCanvas& canvas, Point at, CursorImage image) {
    Frame frame;
    frame.mode = -1;  // no image
    frame.cursor = image;
    frame.cursor_at = at;
    win32_present_in(canvas.hdc(), nullptr, frame);
    GdiFlush();
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
    const PointerImage standard = platform_standard_arrow();
    const CursorImage arrow = standard.image;
    ASSERT_NE(arrow, nullptr);
    const Hotspot hot{standard.hot_x, standard.hot_y};

    // The typical run: scale 2, offsets (60, 45), pointer at client (100, 50).
    const CursorPlacement placement =
        cursor_position(0, 2, 60, 45, 0, 640, Point{100, 50}, hot.x, hot.y);
    ASSERT_TRUE(placement.draw);
    EXPECT_EQ(placement.at.x + hot.x, 260);
    EXPECT_EQ(placement.at.y + hot.y, 145);

    MemoryCanvas canvas(400, 300, WHITE);
    ASSERT_TRUE(canvas.valid());
    draw_cursor(canvas, placement.at, arrow);
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
    const Hotspot hot{40, 50};

    const CursorPlacement placement =
        cursor_position(0, 2, 60, 45, 0, 640, Point{100, 50}, hot.x, hot.y);
    MemoryCanvas canvas(400, 300, WHITE);
    ASSERT_TRUE(canvas.valid());
    draw_cursor(canvas, placement.at, reinterpret_cast<CursorImage>(cursor));
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
    const CursorImage arrow = platform_standard_arrow().image;
    ASSERT_NE(arrow, nullptr);
    MemoryCanvas canvas(100, 100, WHITE);
    ASSERT_TRUE(canvas.valid());
    const std::int32_t size_x = GetSystemMetrics(SM_CXICON);
    const std::int32_t size_y = GetSystemMetrics(SM_CYICON);
    draw_cursor(canvas, Point{-3, -3}, arrow);
    const Changed changed = changed_pixels(canvas);
    EXPECT_LT(changed.right, size_x - 3);
    EXPECT_LT(changed.bottom, size_y - 3);
}

TEST(CursorDrawing, NoImageDrawsNothing) {
    MemoryCanvas canvas(50, 50, WHITE);
    ASSERT_TRUE(canvas.valid());
    draw_cursor(canvas, Point{10, 10}, nullptr);
    EXPECT_EQ(changed_pixels(canvas).count, 0);
}

// A private copy (what a grab makes of the cursor under the pointer) is gone once released; the
// shared arrow it was made from stays usable.
TEST(CursorCopies, AReleasedCopyIsGoneAndTheArrowStays) {
    const PointerImage arrow = platform_standard_arrow();
    HICON copy = CopyIcon(to_hicon(arrow.image));
    ASSERT_NE(copy, nullptr);
    platform_release_cursor(from_hicon(copy));
    ICONINFO info{};
    EXPECT_EQ(GetIconInfo(copy, &info), FALSE) << "the released copy is still a valid image";
    EXPECT_EQ(platform_standard_arrow().hot_x, arrow.hot_x);
}

}  // namespace
