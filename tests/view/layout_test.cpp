// Tests of the layout choice: the worked examples, the edge cases, and a brute-force reference
// over seeded random screen and capture sizes.
#include "view/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "support/seeded.h"

namespace {

constexpr std::int32_t INT32_MAX_VALUE = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t INT32_MIN_VALUE = std::numeric_limits<std::int32_t>::min();

struct LayoutCase {
    const char* name;
    std::int32_t SW, SH, W, H, setting;
    std::int32_t stretch, scale, offset_x, offset_y;
    std::int32_t fit_w, fit_h;          // mode 2 only
    std::int32_t upscale_w, upscale_h;  // mode 1 only
};

// Checks every field of the result against the case, including those the mode must leave alone.
void expect_layout(const LayoutCase& c, std::int32_t period_in = 100) {
    SCOPED_TRACE(c.name);
    const Layout got = choose_layout(c.SW, c.SH, c.W, c.H, c.setting, period_in);
    EXPECT_EQ(got.stretch, c.stretch);
    EXPECT_EQ(got.scale, c.scale);
    EXPECT_EQ(got.offset_x, c.offset_x);
    EXPECT_EQ(got.offset_y, c.offset_y);
    EXPECT_EQ(got.fit_w, c.fit_w);
    EXPECT_EQ(got.fit_h, c.fit_h);
    const bool blended = c.stretch == 1;
    EXPECT_EQ(got.needs_surfaces, blended);
    EXPECT_EQ(got.source_w, blended ? c.W : 0);
    EXPECT_EQ(got.source_h, blended ? c.H : 0);
    EXPECT_EQ(got.upscale_w, c.upscale_w);
    EXPECT_EQ(got.upscale_h, c.upscale_h);
    EXPECT_EQ(got.timer_period, blended ? 2 * period_in : period_in);
}

TEST(Layout, WorkedExamplesOnA1400x1050Screen) {
    const LayoutCase cases[] = {
        {"640x480 whole", 1400, 1050, 640, 480, 0, 0, 2, 60, 45, 0, 0, 0, 0},
        {"640x480 blend asked, 2W < SW", 1400, 1050, 640, 480, 1, 0, 2, 60, 45, 0, 0, 0, 0},
        {"800x600 blend 3/2", 1400, 1050, 800, 600, 1, 1, 3, 100, 75, 0, 0, 1200, 900},
        {"560x420 blend 5/2", 1400, 1050, 560, 420, 1, 1, 5, 0, 0, 0, 0, 1400, 1050},
        {"700x400 fit asked, exact 2W", 1400, 1050, 700, 400, 2, 0, 2, 0, 125, 0, 0, 0, 0},
        {"640x400 fit", 1400, 1050, 640, 400, 2, 2, 1, 0, 87, 1400, 875, 0, 0},
    };
    for (const LayoutCase& c : cases) {
        expect_layout(c);
    }
}

TEST(Layout, EdgeCases) {
    const LayoutCase cases[] = {
        {"SW = 6W, setting 0", 1920, 1080, 320, 240, 0, 0, 6, 0, -180, 0, 0, 0, 0},
        {"SW = 6W, setting 1", 1920, 1080, 320, 240, 1, 0, 6, 0, -180, 0, 0, 0, 0},
        {"SW = 6W, setting 2", 1920, 1080, 320, 240, 2, 0, 6, 0, -180, 0, 0, 0, 0},
        {"SW > 7W stays at 6", 1920, 1080, 200, 100, 0, 0, 6, 360, 240, 0, 0, 0, 0},
        {"SW < W cuts both sides", 1400, 1050, 1600, 800, 0, 0, 1, -100, 125, 0, 0, 0, 0},
        {"SW = W is no multiple", 1400, 1050, 1400, 1000, 0, 0, 1, 0, 25, 0, 0, 0, 0},
        {"tall target, whole", 1400, 1050, 400, 800, 0, 0, 3, 100, -675, 0, 0, 0, 0},
        {"tall target, blend", 1400, 1050, 800, 1000, 1, 1, 3, 100, -225, 0, 0, 1200, 1500},
        {"blend asked, SW = 2W", 1400, 1050, 700, 500, 1, 0, 2, 0, 25, 0, 0, 0, 0},
        {"blend asked, SW < 3W/2", 1400, 1050, 1000, 700, 1, 0, 1, 200, 175, 0, 0, 0, 0},
        {"blend asked, SW = 3W/2", 1200, 1000, 800, 600, 1, 1, 3, 0, 50, 0, 0, 1200, 900},
        {"blend asked, SW = 5W/2", 1000, 1000, 400, 300, 1, 1, 5, 0, 125, 0, 0, 1000, 750},
        {"blend asked, SW > 3W", 1300, 1000, 400, 300, 1, 0, 3, 50, 50, 0, 0, 0, 0},
        {"blend asked, odd W: (3W)/2 = 4", 4, 10, 3, 2, 1, 1, 3, 0, 3, 0, 0, 4, 3},
        {"fit, SW = W, SH > H", 1400, 1050, 1400, 600, 2, 2, 1, 0, 225, 1400, 600, 0, 0},
        {"fit, wide target", 1400, 1050, 1000, 200, 2, 2, 1, 0, 385, 1400, 280, 0, 0},
        // Equal ratios take the width's branch; 316 x (1400/316) falls just short of 1400.
        {"fit, equal ratios", 1400, 1400, 316, 316, 2, 2, 1, 0, 0, 1400, 1399, 0, 0},
        {"stretch 3", 1400, 1050, 640, 480, 3, 3, 1, 0, 0, 0, 0, 0, 0},
        {"stretch -1", 1400, 1050, 640, 480, -1, -1, 1, 0, 0, 0, 0, 0, 0},
        {"stretch 3 on an exact multiple", 1400, 1050, 700, 500, 3, 0, 2, 0, 25, 0, 0, 0, 0},
        {"W = 0", 1400, 1050, 0, 480, 0, 0, 1, 0, 0, 0, 0, 0, 0},
        {"H = 0, whole asked", 1400, 1050, 800, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0},
        {"W < 0, fit asked", 1400, 1050, -2, 480, 2, 2, 1, 0, 0, 0, 0, 0, 0},
    };
    for (const LayoutCase& c : cases) {
        expect_layout(c);
    }
    // An empty capture asking for the blend gets neither surfaces nor a doubled period.
    const Layout empty = choose_layout(1400, 1050, 800, 0, 1, 100);
    EXPECT_EQ(empty.stretch, 1);
    EXPECT_EQ(empty.scale, 1);
    EXPECT_EQ(empty.offset_x, 0);
    EXPECT_EQ(empty.offset_y, 0);
    EXPECT_FALSE(empty.needs_surfaces);
    EXPECT_EQ(empty.upscale_w, 0);
    EXPECT_EQ(empty.timer_period, 100);
}

TEST(Layout, BlendedPeriodDoublingSaturates) {
    struct PeriodCase {
        std::int32_t in, out;
    };
    const PeriodCase cases[] = {
        {100, 200},
        {0, 0},
        {-5, -10},
        {(1 << 30) - 1, INT32_MAX_VALUE - 1},
        {1 << 30, INT32_MAX_VALUE},  // 2^31 does not fit
        {(1 << 30) + 1, INT32_MAX_VALUE},
        {INT32_MAX_VALUE, INT32_MAX_VALUE},
        {-(1 << 30), INT32_MIN_VALUE},
        {-(1 << 30) - 1, INT32_MIN_VALUE},
        {INT32_MIN_VALUE, INT32_MIN_VALUE},
    };
    for (const PeriodCase& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(choose_layout(1400, 1050, 800, 600, 1, c.in).timer_period, c.out);
        EXPECT_EQ(choose_layout(1400, 1050, 640, 480, 1, c.in).timer_period, c.in);
    }
}

// Periods up to 1000 ms are handed over as they are (the platform's floor applies below 10); a
// longer or negative one runs at 1000 ms, so that each tick's look for the view's end comes.
TEST(Layout, TheFrameTimerRunsAtMostASecondApart) {
    struct PeriodCase {
        std::int32_t in, out;
    };
    const PeriodCase cases[] = {
        {100, 100},
        {0, 0},
        {1, 1},
        {9, 9},
        {1000, 1000},
        {1001, 1000},
        {-1, 1000},
        {INT32_MAX_VALUE, 1000},
        {INT32_MIN_VALUE, 1000},
    };
    for (const PeriodCase& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(frame_timer_period(c.in), c.out);
    }
}

TEST(Layout, HugeSizesStayWithinRange) {
    // 6 x W and the offsets' products pass 2^31 here; the choice must still be the exact one.
    const std::int32_t W = 1 << 29;
    Layout got = choose_layout(INT32_MAX_VALUE, 100, W, INT32_MAX_VALUE - 1, 0, 100);
    EXPECT_EQ(got.scale, 3);
    EXPECT_EQ(got.offset_x, (INT32_MAX_VALUE - 3 * W) / 2);
    EXPECT_EQ(got.offset_y, INT32_MIN_VALUE);

    // A nonsensical negative screen height: W x ry is near -2^61 and is held at the bottom.
    got = choose_layout(1400, INT32_MIN_VALUE, 1 << 30, 1, 2, 100);
    EXPECT_EQ(got.stretch, 2);
    EXPECT_EQ(got.fit_w, INT32_MIN_VALUE);
    EXPECT_EQ(got.fit_h, INT32_MIN_VALUE);
    EXPECT_EQ(got.offset_x, static_cast<std::int32_t>((1400 + (std::int64_t{1} << 31)) / 2));
    EXPECT_EQ(got.offset_y, 0);

    // A blend with a huge height: the upscale height is beyond 32 bits and held at the top.
    got = choose_layout(1400, 1050, 800, INT32_MAX_VALUE - 1, 1, 100);
    EXPECT_EQ(got.stretch, 1);
    EXPECT_EQ(got.upscale_h, INT32_MAX_VALUE);
}

// Returns the mode that the summary of the fraction choice gives for setting 1 and an even W.
std::int32_t reference_blend_mode(std::int64_t SW, std::int64_t W, std::int32_t* blend_scale) {
    for (std::int64_t k = 2; k <= 6; ++k) {
        if (SW == k * W) {
            return 0;
        }
    }
    if (2 * SW >= 3 * W && SW <= 2 * W) {
        *blend_scale = 3;
        return 1;
    }
    if (2 * SW >= 5 * W && SW < 3 * W) {
        *blend_scale = 5;
        return 1;
    }
    return 0;
}

// Returns the largest whole factor up to 6 that fits the width, at least 1.
std::int32_t reference_whole_scale(std::int64_t SW, std::int64_t W) {
    std::int32_t scale = 1;
    while (scale < 6 && (scale + 1) * W <= SW) {
        ++scale;
    }
    return scale;
}

// Returns a screen width near one of the ratio boundaries k/2 x W, or anywhere up to 7W.
std::int32_t pick_screen_width(SeededRandom& rng, std::int32_t W) {
    if (rng.between(0, 1) == 0) {
        return rng.between(1, 7 * W);
    }
    const std::int32_t half_steps = rng.between(1, 13);
    return std::max(1, half_steps * W / 2 + rng.between(-2, 2));
}

TEST(Layout, BruteForceAgainstTheModeSummary) {
    SeededRandom rng(0x1a7007u);
    SCOPED_TRACE(rng.trace());
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t W = 2 * rng.between(1, 1200);
        const std::int32_t H = 2 * rng.between(1, 1200);
        const std::int32_t SW = pick_screen_width(rng, W);
        const std::int32_t SH = rng.between(1, 8000);
        const std::int32_t period = rng.between(1, 1000);
        const std::string where = "SW=" + std::to_string(SW) + " SH=" + std::to_string(SH) +
                                  " W=" + std::to_string(W) + " H=" + std::to_string(H);
        SCOPED_TRACE(where);

        const std::int32_t whole = reference_whole_scale(SW, W);
        bool exact_multiple = false;
        for (std::int64_t k = 2; k <= 6; ++k) {
            exact_multiple = exact_multiple || SW == k * W;
        }

        const Layout whole_got = choose_layout(SW, SH, W, H, 0, period);
        ASSERT_EQ(whole_got.stretch, 0);
        ASSERT_EQ(whole_got.scale, whole);
        ASSERT_EQ(whole_got.offset_x, (SW - whole * W) / 2);
        ASSERT_EQ(whole_got.offset_y, (SH - whole * H) / 2);
        ASSERT_EQ(whole_got.timer_period, period);

        std::int32_t blend_scale = 0;
        const std::int32_t blend_mode = reference_blend_mode(SW, W, &blend_scale);
        const Layout blend_got = choose_layout(SW, SH, W, H, 1, period);
        ASSERT_EQ(blend_got.stretch, blend_mode);
        if (blend_mode == 1) {
            ASSERT_EQ(blend_got.scale, blend_scale);
            ASSERT_EQ(blend_got.upscale_w, blend_scale * W / 2);
            ASSERT_EQ(blend_got.upscale_h, blend_scale * H / 2);
            ASSERT_EQ(blend_got.offset_x, (SW - blend_scale * W / 2) / 2);
            ASSERT_EQ(blend_got.offset_y, (SH - blend_scale * H / 2) / 2);
            ASSERT_EQ(blend_got.timer_period, 2 * period);
            ASSERT_TRUE(blend_got.needs_surfaces);
        } else {
            ASSERT_EQ(blend_got.scale, whole);
            ASSERT_EQ(blend_got.offset_x, whole_got.offset_x);
            ASSERT_EQ(blend_got.offset_y, whole_got.offset_y);
            ASSERT_EQ(blend_got.timer_period, period);
            ASSERT_FALSE(blend_got.needs_surfaces);
        }

        // The fit fills one side of the screen exactly, stays within the other, and is centred.
        const Layout fit_got = choose_layout(SW, SH, W, H, 2, period);
        if (exact_multiple) {
            ASSERT_EQ(fit_got.stretch, 0);
            ASSERT_EQ(fit_got.scale, whole);
            continue;
        }
        ASSERT_EQ(fit_got.stretch, 2);
        ASSERT_EQ(fit_got.scale, 1);
        ASSERT_TRUE(fit_got.fit_w == SW || fit_got.fit_h == SH);
        ASSERT_LE(fit_got.fit_w, SW);
        ASSERT_LE(fit_got.fit_h, SH);
        // Truncation loses less than one pixel of the scaled side: W x fit_h ~ H x fit_w.
        const std::int64_t cross = static_cast<std::int64_t>(W) * fit_got.fit_h -
                                   static_cast<std::int64_t>(H) * fit_got.fit_w;
        ASSERT_LE(cross < 0 ? -cross : cross, std::max(W, H));
        ASSERT_EQ(fit_got.offset_x, (SW - fit_got.fit_w) / 2);
        ASSERT_EQ(fit_got.offset_y, (SH - fit_got.fit_h) / 2);
        ASSERT_EQ(fit_got.timer_period, period);
    }
}

}  // namespace
