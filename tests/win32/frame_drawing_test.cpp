// The presentation of the three worked examples of the frame tick by the Windows backend (the real
// stretching copy, block copy and black fills), into memory drawing contexts: a memory "screen"
// holds a pattern from which every pixel's source position can be read back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "memory_canvas.h"
#include "platform/platform.h"
#include "platform/win32/win32_platform.h"
#include "render/blended_enlargement.h"
#include "render/frame_geometry.h"
#include "render/kernels.h"
#include "render/upscaler_choice.h"
#include "shell/placement.h"
#include "support/frame_model.h"
#include "view/layout.h"
#include "vocabulary/modes.h"
#include "vocabulary/view_state.h"

namespace {

constexpr std::int32_t SCREEN_W = 1400;
constexpr std::int32_t SCREEN_H = 1050;
constexpr Point CAPTURE_ORIGIN{200, 100};
// Never a pattern value (x and y stay below 4095) and never black: marks pixels no one painted.
constexpr Pixel UNPAINTED = 0xFFFFFF;

// The screen's pixel at (x, y) encodes its own position: x in the low 12 bits, y above.
Pixel pattern(std::int32_t x, std::int32_t y) {
    return (static_cast<Pixel>(x) & 0xFFFu) | ((static_cast<Pixel>(y) & 0xFFFu) << 12);
}

Point decode(Pixel p) {
    return Point{static_cast<std::int32_t>(p & 0xFFFu),
                 static_cast<std::int32_t>((p >> 12) & 0xFFFu)};
}

void fill_pattern(MemoryCanvas& screen) {
    for (std::int32_t y = 0; y < screen.height(); ++y) {
        for (std::int32_t x = 0; x < screen.width(); ++x) {
            screen.set(x, y, pattern(x, y));
        }
    }
}

// The source pixels a pixel-repeating stretch may take for destination index d: the one whose span
// holds the centre of d, or also its neighbour when that centre lies within 1/16 pixel of a span
// boundary (the tie columns, where Windows and Wine may round differently).
struct SourceChoice {
    std::int32_t low;
    std::int32_t high;
};

SourceChoice source_for(std::int32_t d, std::int32_t destination_size, std::int32_t source_size) {
    const std::int64_t numerator = (2 * std::int64_t{d} + 1) * source_size;
    const std::int64_t denominator = 2 * std::int64_t{destination_size};
    const auto s = static_cast<std::int32_t>(numerator / denominator);
    const std::int64_t rest = numerator % denominator;
    if (rest * 16 < denominator && s > 0) {
        return {s - 1, s};
    }
    if ((denominator - rest) * 16 < denominator && s + 1 < source_size) {
        return {s, s + 1};
    }
    return {s, s};
}

// Collects mismatches as a count and the first one, so a failure says what broke.
struct Mismatches {
    int count = 0;
    std::string first;
    void add(std::int32_t x, std::int32_t y, const std::string& what) {
        if (count++ == 0) {
            std::ostringstream text;
            text << "at (" << x << ", " << y << "): " << what;
            first = text.str();
        }
    }
    std::string report() const {
        std::ostringstream text;
        text << count << " wrong pixels; first " << first;
        return text.str();
    }
};

std::string hex(Pixel p) {
    std::ostringstream text;
    text << "0x" << std::hex << p;
    return text.str();
}

// Checks that the image rectangle shows the capture enlarged by pixel repetition.
void expect_stretched(const MemoryCanvas& overlay, Rect image, std::int32_t W, std::int32_t H) {
    Mismatches wrong;
    for (std::int32_t y = image.y; y < image.y + image.height; ++y) {
        const SourceChoice row = source_for(y - image.y, image.height, H);
        for (std::int32_t x = image.x; x < image.x + image.width; ++x) {
            const SourceChoice column = source_for(x - image.x, image.width, W);
            const Point got = decode(overlay.at(x, y));
            const std::int32_t sx = got.x - CAPTURE_ORIGIN.x;
            const std::int32_t sy = got.y - CAPTURE_ORIGIN.y;
            if (overlay.at(x, y) == UNPAINTED || sx < column.low || sx > column.high ||
                sy < row.low || sy > row.high) {
                std::ostringstream what;
                what << "shows source (" << sx << ", " << sy << ") = " << hex(overlay.at(x, y))
                     << ", expected column " << column.low << ".." << column.high << ", row "
                     << row.low << ".." << row.high;
                wrong.add(x, y, what.str());
            }
        }
    }
    EXPECT_EQ(wrong.count, 0) << wrong.report();
}

// Checks every pixel outside the image: black inside a band of the frame model, untouched
// elsewhere.
void expect_borders(const MemoryCanvas& overlay, Rect image, std::int32_t offset_x,
                    std::int32_t offset_y) {
    std::vector<bool> in_band(static_cast<std::size_t>(SCREEN_W * SCREEN_H), false);
    paint_bands(SCREEN_W, SCREEN_H, offset_x, offset_y,
                [&](int x, int y) { in_band[static_cast<std::size_t>(y * SCREEN_W + x)] = true; });
    Mismatches wrong;
    for (std::int32_t y = 0; y < overlay.height(); ++y) {
        for (std::int32_t x = 0; x < overlay.width(); ++x) {
            if (x >= image.x && x < image.x + image.width && y >= image.y &&
                y < image.y + image.height) {
                continue;
            }
            const Pixel expected =
                in_band[static_cast<std::size_t>(y * SCREEN_W + x)] ? 0u : UNPAINTED;
            if (overlay.at(x, y) != expected) {
                wrong.add(x, y, hex(overlay.at(x, y)) + ", expected " + hex(expected));
            }
        }
    }
    EXPECT_EQ(wrong.count, 0) << wrong.report();
}

// The frame of the view `v` for the capture at CAPTURE_ORIGIN, with no cursor.
Frame frame_for(const ViewState& v) { return frame_of(v, CAPTURE_ORIGIN, Point{}, CursorRecord{}); }

// The view of a W x H capture laid out on the screen in the stretch mode given.
ViewState view_of(std::int32_t W, std::int32_t H, std::int32_t stretch) {
    ViewState v;
    v.SW = SCREEN_W;
    v.SH = SCREEN_H;
    v.W = W;
    v.H = H;
    v.mouse_trs = CURSOR_NONE;
    const Layout layout = choose_layout(SCREEN_W, SCREEN_H, W, H, stretch, 100);
    v.stretch = layout.stretch;
    v.scale = layout.scale;
    v.offset_x = layout.offset_x;
    v.offset_y = layout.offset_y;
    v.fit_w = layout.fit_w;
    v.fit_h = layout.fit_h;
    return v;
}

class FrameDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(screen.valid());
        ASSERT_TRUE(overlay.valid());
        fill_pattern(screen);
    }

    MemoryCanvas screen{SCREEN_W, SCREEN_H, 0};
    MemoryCanvas overlay{SCREEN_W, SCREEN_H, UNPAINTED};
};

TEST_F(FrameDrawing, TypicalRunDoublesTheCaptureBetweenFourBands) {
    const ViewState v = view_of(640, 480, 0);
    const Frame frame = frame_for(v);
    const Rect image{60, 45, 1280, 960};
    ASSERT_EQ(frame.image, image);
    ASSERT_EQ(frame.bands.count, 4);
    win32_present_in(overlay.hdc(), screen.hdc(), frame);

    expect_stretched(overlay, image, 640, 480);
    expect_borders(overlay, image, v.offset_x, v.offset_y);
    // A whole factor has no ties: each source pixel is exactly a 2 x 2 square.
    EXPECT_EQ(overlay.at(60, 45), pattern(200, 100));
    EXPECT_EQ(overlay.at(61, 46), pattern(200, 100));
    EXPECT_EQ(overlay.at(62, 45), pattern(201, 100));
    EXPECT_EQ(overlay.at(1339, 1004), pattern(839, 579));
}

TEST_F(FrameDrawing, AspectFitStretchesAndLeavesOneRowUnpainted) {
    const ViewState v = view_of(640, 400, 2);
    const Frame frame = frame_for(v);
    const Rect image{0, 87, 1400, 875};
    ASSERT_EQ(frame.image, image);
    ASSERT_EQ(frame.bands.count, 2);
    win32_present_in(overlay.hdc(), screen.hdc(), frame);

    expect_stretched(overlay, image, 640, 400);
    expect_borders(overlay, image, v.offset_x, v.offset_y);
    // Rows 87..961 hold the image, the bottom band starts at 963: row 962 keeps what it had.
    for (std::int32_t x = 0; x < SCREEN_W; x += 97) {
        EXPECT_EQ(overlay.at(x, 962), UNPAINTED) << "column " << x;
        EXPECT_EQ(overlay.at(x, 963), 0u) << "column " << x;
        EXPECT_NE(overlay.at(x, 961), UNPAINTED) << "column " << x;
    }
}

// The blended frame through the backend's enlargement surface, made as the pick places the view,
// with the upscaler the start-up chooses: the enlargement written on its pixel memory and copied
// to the overlay, equal to the portable reference; the capture is a memory copy of the screen's
// rectangle, bottom-up, as the tick's question brings it.
TEST_F(FrameDrawing, BlendedFrameThroughTheEnlargementSurfaceEqualsThePortableUpscaler) {
    const std::int32_t W = 800;
    const std::int32_t H = 600;
    view_state = ViewState{};
    ViewState& v = view_state;
    v.SW = SCREEN_W;
    v.SH = SCREEN_H;
    v.W = W;
    v.H = H;
    v.stretch = STRETCH_BLENDED;
    v.mouse_trs = CURSOR_NONE;
    const KernelSlots kernels = choose_kernels(SMOOTHNESS_EXACT_AVERAGE);
    v.blend_pair = kernels.blend_pair;
    v.blend_quad = kernels.blend_quad;
    v.upscaler = choose_upscaler(SMOOTHNESS_EXACT_AVERAGE);
    // No overlay window here: the surface is made compatible with the screen's context.
    place_view(WindowHandle{});
    ASSERT_EQ(v.scale, 3);
    ASSERT_EQ(v.offset_x, 100);
    ASSERT_EQ(v.offset_y, 75);
    ASSERT_NE(v.upscale.pixels, nullptr);

    MemoryCanvas capture(W, H, UNPAINTED);
    BitBlt(capture.hdc(), 0, 0, W, H, screen.hdc(), CAPTURE_ORIGIN.x, CAPTURE_ORIGIN.y, SRCCOPY);
    GdiFlush();
    Frame frame = frame_for(v);
    frame.enlarged_rows = enlarge_capture(capture.surface());
    win32_present_in(overlay.hdc(), screen.hdc(), frame);

    // The frame model's enlargement of the captured pattern.
    const std::int32_t UW = 3 * W / 2;
    const std::int32_t UH = 3 * H / 2;
    const CapturePixel captured = [](int x, int y) {
        return pattern(CAPTURE_ORIGIN.x + x, CAPTURE_ORIGIN.y + y);
    };
    const Rect image{100, 75, UW, UH};
    Mismatches wrong;
    for (std::int32_t y = 0; y < UH; ++y) {
        for (std::int32_t x = 0; x < UW; ++x) {
            const Pixel want = blended_pixel(captured, 3, x, y, exact_pair, exact_quad);
            const Pixel got = overlay.at(image.x + x, image.y + y);
            if (got != want) {
                wrong.add(image.x + x, image.y + y, hex(got) + ", expected " + hex(want));
            }
        }
    }
    EXPECT_EQ(wrong.count, 0) << wrong.report();
    expect_borders(overlay, image, v.offset_x, v.offset_y);

    platform_enlargement_surface(WindowHandle{}, 0, 0);
    view_state = ViewState{};
}

// The enlargement surface is black when made, stored bottom-up with no gap between rows, and
// shown so: its storage row 0 is the image's bottom row.
TEST_F(FrameDrawing, TheEnlargementSurfaceIsBlackBottomUpAndShownUpright) {
    const Surface surface = platform_enlargement_surface(WindowHandle{}, 5, 3);
    ASSERT_NE(surface.pixels, nullptr);
    EXPECT_EQ(surface.stride, 5);
    for (std::int32_t i = 0; i < 15; ++i) {
        EXPECT_EQ(surface.pixels[i], 0u) << "word " << i;
    }
    surface.row(0)[0] = 0x112233;  // bottom-left
    surface.row(2)[4] = 0x445566;  // top-right
    Frame frame;
    frame.mode = STRETCH_BLENDED;
    frame.image = Rect{10, 20, 5, 3};
    frame.enlargement = surface;
    win32_present_in(overlay.hdc(), screen.hdc(), frame);
    EXPECT_EQ(overlay.at(10, 22), 0x112233u);
    EXPECT_EQ(overlay.at(14, 20), 0x445566u);
    EXPECT_EQ(overlay.at(11, 21), 0u);
    EXPECT_EQ(overlay.at(9, 20), UNPAINTED);
    EXPECT_EQ(platform_enlargement_surface(WindowHandle{}, 0, 0).pixels, nullptr);
}

}  // namespace
