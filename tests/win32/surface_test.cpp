// The backend's bitmaps and memory contexts as the offscreen surfaces use them: a fresh surface
// reads zero, its rows are stored bottom-up with no gap, and the bitmap is the 32-bit one asked
// for.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/platform.h"
#include "render/surface_creation.h"

namespace {

class SurfaceOnGdi : public ::testing::Test {
protected:
    void TearDown() override {
        if (surface.context != nullptr) {
            DeleteDC(reinterpret_cast<HDC>(surface.context));
        }
        platform_delete_bitmap(surface.bitmap);
    }

    Surface surface;
};

TEST_F(SurfaceOnGdi, FreshSurfaceReadsZero) {
    create_surface(surface, nullptr, 37, 23);
    ASSERT_NE(surface.pixels, nullptr);
    ASSERT_NE(surface.context, nullptr);
    int non_zero = 0;
    for (int i = 0; i < 37 * 23; ++i) {
        non_zero += surface.pixels[i] != 0 ? 1 : 0;
    }
    EXPECT_EQ(non_zero, 0);
}

TEST_F(SurfaceOnGdi, BitmapIsThirtyTwoBitBottomUpWithoutRowGaps) {
    create_surface(surface, nullptr, 2, 2);
    ASSERT_NE(surface.bitmap, nullptr);
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectA(reinterpret_cast<HBITMAP>(surface.bitmap), sizeof dib, &dib),
              static_cast<int>(sizeof dib));
    EXPECT_EQ(dib.dsBm.bmBits, static_cast<void*>(surface.pixels));
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(dib.dsBm.bmWidthBytes, 8);  // exactly two words per row
    EXPECT_EQ(dib.dsBmih.biHeight, 2);    // positive: bottom-up
    EXPECT_EQ(dib.dsBmih.biCompression, static_cast<DWORD>(BI_RGB));
}

TEST_F(SurfaceOnGdi, WordZeroIsTheBottomLeftPixel) {
    create_surface(surface, nullptr, 5, 3);
    ASSERT_NE(surface.pixels, nullptr);
    HDC dc = reinterpret_cast<HDC>(surface.context);
    // Window coordinates count rows from the top; storage rows count from the bottom.
    SetPixelV(dc, 0, 2, RGB(0x11, 0x22, 0x33));  // bottom-left
    SetPixelV(dc, 4, 0, RGB(0x44, 0x55, 0x66));  // top-right
    SetPixelV(dc, 1, 1, RGB(0x77, 0x88, 0x99));
    GdiFlush();
    EXPECT_EQ(surface.pixels[0], 0x112233u);
    EXPECT_EQ(surface.pixels[2 * 5 + 4], 0x445566u);
    EXPECT_EQ(surface.pixels[1 * 5 + 1], 0x778899u);
    // And the other way: a word written in memory is what the context shows.
    surface.pixels[2 * 5 + 0] = 0xABCDEF;
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0xAB, 0xCD, 0xEF));
}

TEST_F(SurfaceOnGdi, CopiesBetweenSurfacesArePixelExact) {
    create_surface(surface, nullptr, 4, 4);
    Surface other;
    create_surface(other, nullptr, 6, 6);
    ASSERT_NE(surface.pixels, nullptr);
    ASSERT_NE(other.pixels, nullptr);
    for (std::uint32_t i = 0; i < 16; ++i) {
        surface.pixels[i] = 0x010203u * (i + 1);
    }
    // The 4 x 4 block lands at window (1, 1) of the 6 x 6 surface, that is storage rows 1 to 4.
    platform_copy(other.context, Point{1, 1}, surface.context, Point{0, 0}, 4, 4);
    GdiFlush();
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            EXPECT_EQ(other.pixels[(row + 1) * 6 + column + 1], surface.pixels[row * 4 + column])
                << "storage row " << row << ", column " << column;
        }
    }
    EXPECT_EQ(other.pixels[0], 0u);
    EXPECT_EQ(other.pixels[35], 0u);
    DeleteDC(reinterpret_cast<HDC>(other.context));
    platform_delete_bitmap(other.bitmap);
}

TEST_F(SurfaceOnGdi, BlackFillPaintsOnlyItsRectangle) {
    create_surface(surface, nullptr, 4, 3);
    ASSERT_NE(surface.pixels, nullptr);
    for (int i = 0; i < 12; ++i) {
        surface.pixels[i] = 0xFFFFFF;
    }
    platform_fill_black(surface.context, Rect{1, 0, 2, 2});  // columns 1-2 of the top two rows
    GdiFlush();
    const Pixel expected[12] = {
        0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,  // storage row 0: the bottom row
        0xFFFFFF, 0,        0,        0xFFFFFF,  //
        0xFFFFFF, 0,        0,        0xFFFFFF,  // storage row 2: the top row
    };
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(surface.pixels[i], expected[i]) << "word " << i;
    }
}

}  // namespace
