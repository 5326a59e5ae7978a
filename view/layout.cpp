// Scale-mode selection and placement: the factor, the effective mode, the offsets and the fit size.
// Portable core: no OS header.
#include "view/layout.h"

#include <cstdint>
#include <limits>

#include "vocabulary/int32_math.h"
#include "vocabulary/modes.h"

namespace {

// Largest whole factor tried; wider screens still get 6.
constexpr std::int32_t MAX_WHOLE_SCALE = 6;

// Places the image at a whole factor: the largest k up to 6 with k x W within the screen width.
void place_whole(Layout& layout, std::int64_t SW, std::int64_t SH, std::int64_t W, std::int64_t H) {
    layout.scale = 1;
    for (std::int32_t k = 2; k <= MAX_WHOLE_SCALE; ++k) {
        if (SW >= k * W) {
            layout.scale = k;
        }
    }
    layout.offset_x = saturate_int32((SW - layout.scale * W) / 2);
    layout.offset_y = saturate_int32((SH - layout.scale * H) / 2);
}

// Places the image at scale/2 and sizes the two surfaces the blended upscaler works in.
void place_blended(Layout& layout, std::int64_t SW, std::int64_t SH, std::int64_t W,
                   std::int64_t H) {
    const std::int64_t upscale_w = (layout.scale * W) / 2;
    const std::int64_t upscale_h = (layout.scale * H) / 2;
    layout.needs_surfaces = true;
    layout.source_w = static_cast<std::int32_t>(W);
    layout.source_h = static_cast<std::int32_t>(H);
    layout.upscale_w = saturate_int32(upscale_w);
    layout.upscale_h = saturate_int32(upscale_h);
    layout.offset_x = saturate_int32((SW - upscale_w) / 2);
    layout.offset_y = saturate_int32((SH - upscale_h) / 2);
    // The blended frame does more work per tick, so ticks come half as often; the doubling
    // saturates rather than overflow.
    layout.timer_period = saturate_int32(static_cast<std::int64_t>(layout.timer_period) * 2);
}

// Stretches the image to the screen keeping its aspect: the smaller of the two ratios wins.
void place_fitted(Layout& layout, std::int32_t SW, std::int32_t SH, std::int32_t W,
                  std::int32_t H) {
    const double rx = static_cast<double>(SW) / static_cast<double>(W);
    const double ry = static_cast<double>(SH) / static_cast<double>(H);
    if (rx > ry) {
        layout.fit_w = truncate_int32(static_cast<double>(W) * ry);
        layout.fit_h = SH;
    } else {
        layout.fit_w = SW;
        layout.fit_h = truncate_int32(static_cast<double>(H) * rx);
    }
    layout.offset_x = saturate_int32((static_cast<std::int64_t>(SW) - layout.fit_w) / 2);
    layout.offset_y = saturate_int32((static_cast<std::int64_t>(SH) - layout.fit_h) / 2);
}

}  // namespace

Layout choose_layout(std::int32_t SW, std::int32_t SH, std::int32_t W, std::int32_t H,
                     std::int32_t stretch, std::int32_t timer_period) {
    Layout layout;
    layout.stretch = stretch;
    layout.timer_period = timer_period;
    // Without a capture there is nothing to divide by; treat it like an unknown mode.
    if (W <= 0 || H <= 0) {
        return layout;
    }

    // Products of a size and a factor are formed in 64 bits: they may exceed 32 bits.
    const std::int64_t sw = SW;
    const std::int64_t sh = SH;
    const std::int64_t w = W;
    const std::int64_t h = H;

    // An exact multiple of the width always wins as a whole factor, whatever the setting.
    for (std::int32_t k = 2; k <= MAX_WHOLE_SCALE; ++k) {
        if (sw == k * w) {
            layout.scale = k;
            layout.stretch = STRETCH_WHOLE;
        }
    }

    // The blended fractions only fill the ranges that a whole factor would leave badly covered.
    if (layout.stretch == STRETCH_BLENDED) {
        layout.scale = 2;
        if (sw >= (3 * w) / 2) {
            layout.scale = SCALE_THREE_HALVES;
        } else {
            layout.stretch = STRETCH_WHOLE;
        }
        if (sw > 2 * w) {
            layout.scale = 2;
            layout.stretch = STRETCH_WHOLE;
        }
        if (sw >= (5 * w) / 2) {
            layout.scale = SCALE_FIVE_HALVES;
            layout.stretch = STRETCH_BLENDED;
        }
        if (sw >= 3 * w) {
            layout.stretch = STRETCH_WHOLE;
        }
    }

    switch (layout.stretch) {
    case STRETCH_WHOLE:
        place_whole(layout, sw, sh, w, h);
        break;
    case STRETCH_BLENDED:
        place_blended(layout, sw, sh, w, h);
        break;
    case STRETCH_FIT:
        place_fitted(layout, SW, SH, W, H);
        break;
    default:
        // An unknown mode draws nothing, so it keeps scale 1 and offsets 0.
        break;
    }
    return layout;
}

std::int32_t frame_timer_period(std::int32_t timer_period) {
    if (timer_period < 0 || timer_period > FRAME_PERIOD_LIMIT_MS) {
        return FRAME_PERIOD_LIMIT_MS;
    }
    return timer_period;
}
