// Scale-mode selection and placement: how the W x H capture is enlarged and where it stands.
// Portable core: no OS header.
#pragma once

#include <cstdint>

// The result of choosing the layout. Fields not concerned by the effective mode keep their start
// values (offsets 0, fit size 0).
struct Layout {
    std::int32_t scale = 1;     // 1..6 in mode 0; 3 (3/2) or 5 (5/2) in mode 1; 1 otherwise
    std::int32_t stretch = 0;   // the effective mode: 0 whole, 1 blended, 2 aspect fit, or as given
    std::int32_t offset_x = 0;  // top-left of the enlarged image; negative when it is too large
    std::int32_t offset_y = 0;
    std::int32_t fit_w = 0;  // the stretched size in mode 2
    std::int32_t fit_h = 0;
    std::int32_t timer_period = 0;  // doubled in mode 1 (saturating), else unchanged
    bool needs_surfaces = false;    // mode 1: the capture source and upscale surfaces are created
    std::int32_t source_w = 0, source_h = 0;    // capture source surface size (W x H)
    std::int32_t upscale_w = 0, upscale_h = 0;  // upscale surface size ((scale*W)/2 x (scale*H)/2)
};

// Returns the layout for a W x H capture on an SW x SH screen with the stretch setting and timer
// period as given. A screen exactly 2 to 6 captures wide always gives the whole factor, whatever
// the setting. Otherwise a stretch value other than 0, 1 and 2, or a W or H of 0 or less, gives
// scale 1, offsets 0 and nothing else (the period unchanged).
Layout choose_layout(std::int32_t SW, std::int32_t SH, std::int32_t W, std::int32_t H,
                     std::int32_t stretch, std::int32_t timer_period);

// The longest period the frame timer runs with. Each tick looks whether the view must end (the
// target closed, an exit request), so whatever `time` says, the view ends within this time.
constexpr std::int32_t FRAME_PERIOD_LIMIT_MS = 1000;

// Returns the period the frame timer is started with: the timer period itself from 0 to
// FRAME_PERIOD_LIMIT_MS (the platform's floor applies below 10), FRAME_PERIOD_LIMIT_MS for a longer
// or a negative one.
std::int32_t frame_timer_period(std::int32_t timer_period);
