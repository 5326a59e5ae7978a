// Tests of the frame tick's arithmetic: the pointer clamp, the border bands and the cursor
// position, on the worked examples and their edges.
#include "render/frame_geometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "support/seeded.h"

namespace {

constexpr std::int32_t INT32_MAX_VALUE = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t INT32_MIN_VALUE = std::numeric_limits<std::int32_t>::min();

std::vector<Rect> bands_of(const BorderBands& result) {
    return std::vector<Rect>(result.bands.begin(), result.bands.begin() + result.count);
}

TEST(BorderBands, PaintOrderAndRectangles) {
    struct BandCase {
        const char* name;
        std::int32_t SW, SH, offset_x, offset_y;
        std::vector<Rect> expected;
    };
    const BandCase cases[] = {
        {"640x480 whole at (60, 45)",
         1400,
         1050,
         60,
         45,
         {{0, 0, 60, 1050}, {1340, 0, 60, 1050}, {0, 0, 1400, 45}, {0, 1005, 1400, 45}}},
        {"700x400 at (0, 125): top and bottom only",
         1400,
         1050,
         0,
         125,
         {{0, 0, 1400, 125}, {0, 925, 1400, 125}}},
        {"left and right only", 1400, 1050, 100, 0, {{0, 0, 100, 1050}, {1300, 0, 100, 1050}}},
        {"560x420 blended at (0, 0): none", 1400, 1050, 0, 0, {}},
        {"640x400 fit at (0, 87)", 1400, 1050, 0, 87, {{0, 0, 1400, 87}, {0, 963, 1400, 87}}},
        {"negative offset_x: side bands left out",
         1400,
         1050,
         -100,
         125,
         {{0, 0, 1400, 125}, {0, 925, 1400, 125}}},
        {"negative offset_y: top and bottom left out",
         1400,
         1050,
         100,
         -675,
         {{0, 0, 100, 1050}, {1300, 0, 100, 1050}}},
        {"both negative: none", 1400, 1050, -1, -1, {}},
        {"far positions beyond 32 bits are left out", INT32_MIN_VALUE, 10, 5, 0, {{0, 0, 5, 10}}},
    };
    for (const BandCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(bands_of(border_bands(c.SW, c.SH, c.offset_x, c.offset_y)), c.expected);
    }
}

TEST(BorderBands, AspectFitLeavesRow962Unpainted) {
    // The 1400 x 875 image at (0, 87) covers rows 87..961; the bottom band starts one row later.
    const std::int32_t image_top = 87;
    const std::int32_t image_bottom = image_top + 875 - 1;
    ASSERT_EQ(image_bottom, 961);
    const BorderBands result = border_bands(1400, 1050, 0, 87);
    ASSERT_EQ(result.count, 2);
    EXPECT_EQ(result.bands[0].y + result.bands[0].height, image_top);
    EXPECT_EQ(result.bands[1].y, 963);
    EXPECT_EQ(result.bands[1].y + result.bands[1].height, 1050);
}

TEST(ClampPointer, RaisesThenLowersEachAxis) {
    struct ClampCase {
        const char* name;
        Point pointer, origin;
        std::int32_t W, H;
        Point expected;
    };
    const ClampCase cases[] = {
        {"left of and below the area", {50, 900}, {200, 100}, 640, 480, {200, 579}},
        {"inside", {300, 200}, {200, 100}, 640, 480, {300, 200}},
        {"right of and above", {2000, -5}, {200, 100}, 640, 480, {839, 100}},
        {"on the far corner", {839, 579}, {200, 100}, 640, 480, {839, 579}},
        {"one past the far corner", {840, 580}, {200, 100}, 640, 480, {839, 579}},
        {"negative origin", {-3000, 0}, {-1000, -50}, 640, 480, {-1000, 0}},
        // With an empty area the lowering comes last and wins: one before the origin.
        {"W = 0, H = 0", {500, 500}, {200, 100}, 0, 0, {199, 99}},
        {"origin + W beyond 32 bits",
         {INT32_MAX_VALUE, 0},
         {INT32_MAX_VALUE - 10, 0},
         640,
         480,
         {INT32_MAX_VALUE, 0}},
        {"origin - 1 beyond 32 bits", {0, 0}, {INT32_MIN_VALUE, 0}, 0, 1, {INT32_MIN_VALUE, 0}},
    };
    for (const ClampCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(clamp_pointer(c.pointer, c.origin, c.W, c.H), c.expected);
    }
    // The worked example in client coordinates: the clamped point less the origin.
    const Point clamped = clamp_pointer({50, 900}, {200, 100}, 640, 480);
    EXPECT_EQ(Point({clamped.x - 200, clamped.y - 100}), Point({0, 479}));
}

TEST(ClampPointer, AlwaysInsideANonEmptyArea) {
    SeededRandom rng(0xc1a3bu);
    SCOPED_TRACE(rng.trace());
    for (int i = 0; i < 5000; ++i) {
        const Point origin{rng.between(-4000, 4000), rng.between(-4000, 4000)};
        const std::int32_t W = rng.between(1, 3000);
        const std::int32_t H = rng.between(1, 3000);
        const Point pointer{rng.between(-10000, 10000), rng.between(-10000, 10000)};
        const Point got = clamp_pointer(pointer, origin, W, H);
        ASSERT_GE(got.x, origin.x);
        ASSERT_LE(got.x, origin.x + W - 1);
        ASSERT_GE(got.y, origin.y);
        ASSERT_LE(got.y, origin.y + H - 1);
        // A point already inside is left where it is.
        if (pointer.x >= origin.x && pointer.x < origin.x + W) {
            ASSERT_EQ(got.x, pointer.x);
        }
        if (pointer.y >= origin.y && pointer.y < origin.y + H) {
            ASSERT_EQ(got.y, pointer.y);
        }
    }
}

struct CursorCase {
    const char* name;
    std::int32_t stretch, scale, offset_x, offset_y, fit_w, W;
    Point client;
    std::int32_t hot_x, hot_y;
    bool draw;
    Point expected;
};

TEST(CursorPosition, WorkedExamplesAndEdges) {
    const CursorCase cases[] = {
        {"whole x2 at (60, 45)", 0, 2, 60, 45, 0, 640, {100, 50}, 5, 10, true, {255, 135}},
        {"whole x1 with negative offset",
         0,
         1,
         -100,
         125,
         0,
         1600,
         {0, 0},
         0,
         0,
         true,
         {-100, 125}},
        {"blend 3/2 at (100, 75)", 1, 3, 100, 75, 0, 800, {101, 51}, 0, 0, true, {251, 151}},
        // The product alone is halved, toward zero: 9/2 = 4 and -9/2 = -4 (not 3 x (3/2) = 3).
        {"blend 3/2 halves the product", 1, 3, 1, 1, 0, 800, {3, -3}, 0, 0, true, {5, -3}},
        // A tall target's negative offset: -225 + 3/2, not (-450 + 3)/2.
        {"blend 3/2 at (100, -225)", 1, 3, 100, -225, 0, 800, {1, 1}, 0, 0, true, {101, -224}},
        {"blend 5/2 at (0, 0)", 1, 5, 0, 0, 0, 560, {559, 419}, 4, 4, true, {1393, 1043}},
        // 1 x 2.1875 + 0 - 3 = -0.8125 truncates toward zero to 0; 0 + 87 - 3 = 84.
        {"fit 1400 at (0, 87)", 2, 1, 0, 87, 1400, 640, {1, 0}, 3, 3, true, {0, 84}},
        {"fit sum of -1.8125", 2, 1, 0, 87, 1400, 640, {1, 0}, 4, 3, true, {-1, 84}},
        {"stretch 3: no cursor", 3, 1, 0, 0, 0, 640, {10, 10}, 0, 0, false, {0, 0}},
        {"stretch -1: no cursor", -1, 1, 0, 0, 0, 640, {10, 10}, 0, 0, false, {0, 0}},
        {"W = 0, whole: no cursor", 0, 1, 0, 0, 0, 0, {-1, -1}, 0, 0, false, {0, 0}},
        {"W = 0, fit: no cursor", 2, 1, 0, 0, 1400, 0, {-1, -1}, 0, 0, false, {0, 0}},
        {"whole beyond 32 bits saturates",
         0,
         6,
         INT32_MAX_VALUE,
         INT32_MIN_VALUE,
         0,
         640,
         {INT32_MAX_VALUE, INT32_MAX_VALUE},
         INT32_MIN_VALUE,
         INT32_MAX_VALUE,
         true,
         {INT32_MAX_VALUE, INT32_MAX_VALUE}},
        {"blend beyond 32 bits saturates",
         1,
         5,
         0,
         0,
         0,
         640,
         {INT32_MIN_VALUE, 0},
         1,
         0,
         true,
         {INT32_MIN_VALUE, 0}},
        {"fit beyond 32 bits saturates",
         2,
         1,
         0,
         0,
         INT32_MAX_VALUE,
         1,
         {INT32_MAX_VALUE, INT32_MIN_VALUE},
         0,
         0,
         true,
         {INT32_MAX_VALUE, INT32_MIN_VALUE}},
    };
    for (const CursorCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CursorPlacement got = cursor_position(c.stretch, c.scale, c.offset_x, c.offset_y,
                                                    c.fit_w, c.W, c.client, c.hot_x, c.hot_y);
        EXPECT_EQ(got.draw, c.draw);
        if (c.draw) {
            EXPECT_EQ(got.at, c.expected);
        }
    }
}

TEST(CursorPosition, FitSumsBetweenMinusOneAndZeroGiveZero) {
    // Near the top-left corner a sum in (-1, 0) lands on 0, never -1; other sums lose their
    // fraction toward zero.
    struct Ratio {
        std::int32_t fit_w, W;
    };
    const Ratio ratios[] = {{1400, 640}, {1350, 1000}, {875, 1000}};
    for (const Ratio& ratio : ratios) {
        const double r = static_cast<double>(ratio.fit_w) / ratio.W;
        for (std::int32_t hot = 0; hot <= 12; ++hot) {
            for (std::int32_t cx = 0; cx <= 5; ++cx) {
                SCOPED_TRACE(testing::Message() << "r " << r << " hot " << hot << " cx " << cx);
                const double sum = cx * r - hot;
                const std::int32_t whole_part = static_cast<std::int32_t>(sum);
                const std::int32_t expected = sum > -1.0 && sum < 0.0 ? 0 : whole_part;
                const CursorPlacement got =
                    cursor_position(2, 1, 0, 0, ratio.fit_w, ratio.W, {cx, cx}, hot, hot);
                ASSERT_TRUE(got.draw);
                EXPECT_EQ(got.at, Point({expected, expected}));
            }
        }
    }
}

}  // namespace

namespace {

// The view of the worked examples on a 1400 x 1050 screen, laid out as the layout leaves it.
ViewState laid_out(std::int32_t stretch, std::int32_t scale, std::int32_t W, std::int32_t H,
                   Point offset, std::int32_t fit_w = 0, std::int32_t fit_h = 0,
                   std::int32_t mouse_trs = 2) {
    ViewState v;
    v.SW = 1400;
    v.SH = 1050;
    v.stretch = stretch;
    v.scale = scale;
    v.W = W;
    v.H = H;
    v.offset_x = offset.x;
    v.offset_y = offset.y;
    v.fit_w = fit_w;
    v.fit_h = fit_h;
    v.mouse_trs = mouse_trs;
    if (stretch == 1) {
        v.upscale.width = scale * W / 2;
        v.upscale.height = scale * H / 2;
    }
    return v;
}

// What each mode's frame holds: the mode and factor, the capture, the image's place, the bands
// and the cursor, for a capture at (200, 100) and the pointer at client (100, 50) or (1, 0)
// with a cursor whose hot spot is (5, 10).
TEST(FrameOf, WhatEachModeHolds) {
    PlatformCursorImage* const image = reinterpret_cast<PlatformCursorImage*>(0x1000);
    const CursorRecord cursor{image, 5, 10};
    struct Case {
        const char* name;
        ViewState view;
        Point client;
        std::int32_t factor;
        Rect image;
        int bands;
        bool cursor;
        Point cursor_at;
    };
    const Case cases[] = {
        {"640x480 doubled at (60, 45)", laid_out(0, 2, 640, 480, {60, 45}), {100, 50}, 2,
         {60, 45, 1280, 960}, 4, true, {255, 135}},
        {"800x600 by 3/2 at (100, 75)", laid_out(1, 3, 800, 600, {100, 75}), {101, 51}, 3,
         {100, 75, 1200, 900}, 4, true, {246, 141}},
        {"560x420 by 5/2 at (0, 0)", laid_out(1, 5, 560, 420, {0, 0}), {0, 0}, 5,
         {0, 0, 1400, 1050}, 0, true, {-5, -10}},
        {"640x400 fitted at (0, 87)", laid_out(2, 1, 640, 400, {0, 87}, 1400, 875), {1, 0}, 1,
         {0, 87, 1400, 875}, 2, true, {-2, 77}},
        {"cursor mode 3 draws none", laid_out(0, 2, 640, 480, {60, 45}, 0, 0, 3), {100, 50}, 2,
         {60, 45, 1280, 960}, 4, false, {0, 0}},
        {"a stretch mode of 3: no image, no cursor", laid_out(3, 1, 640, 480, {0, 0}), {1, 1}, 1,
         {0, 0, 0, 0}, 0, false, {0, 0}},
        // 6 x 400 million wraps past 32 bits as the window system's sizes do.
        {"a product past 32 bits wraps", laid_out(0, 6, 400000000, 2, {-5, 0}), {0, 0}, 6,
         {-5, 0, -1894967296, 12}, 0, true, {-10, -10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Frame frame = frame_of(c.view, Point{200, 100}, c.client, cursor);
        EXPECT_EQ(frame.mode, c.view.stretch);
        EXPECT_EQ(frame.factor, c.factor);
        EXPECT_EQ(frame.source, (Rect{200, 100, c.view.W, c.view.H}));
        EXPECT_EQ(frame.image, c.image);
        EXPECT_EQ(frame.bands.count, c.bands);
        EXPECT_EQ(frame.cursor, c.cursor ? image : nullptr);
        if (c.cursor) {
            EXPECT_EQ(frame.cursor_at, c.cursor_at);
        }
    }
}

TEST(ClientPoint, IsThePointLessTheOriginSaturated) {
    EXPECT_EQ(client_point(Point{300, 150}, Point{200, 100}), (Point{100, 50}));
    EXPECT_EQ(client_point(Point{INT32_MIN_VALUE, 0}, Point{1, 0}), (Point{INT32_MIN_VALUE, 0}));
}

}  // namespace
