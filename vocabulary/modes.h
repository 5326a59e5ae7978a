// The values of the three settings that choose a mode, and the two factors of the blended mode.
// Bottom layer: includes nothing else of ours and no OS header.
#pragma once

#include <cstdint>

// `stretch`: how the capture is enlarged. The layout turns the setting into the effective mode;
// any other value draws nothing.
constexpr std::int32_t STRETCH_WHOLE = 0;    // a whole factor, 1 to 6
constexpr std::int32_t STRETCH_BLENDED = 1;  // 3/2 or 5/2 through the blend kernels
constexpr std::int32_t STRETCH_FIT = 2;      // stretched to the screen, keeping the aspect

// The scale of the blended mode, in halves: 3 is 3/2, 5 is 5/2.
constexpr std::int32_t SCALE_THREE_HALVES = 3;
constexpr std::int32_t SCALE_FIVE_HALVES = 5;

// `mouse_trs`: where the drawn cursor image comes from.
constexpr std::int32_t CURSOR_GRAB_AT_PICK = 0;
constexpr std::int32_t CURSOR_GRAB_EVERY_TICK = 1;
constexpr std::int32_t CURSOR_STANDARD_ARROW = 2;
constexpr std::int32_t CURSOR_NONE = 3;

// `smoothness`: the blend-kernel family; any value other than 1, 2 and 3 gives the fast average.
constexpr std::int32_t SMOOTHNESS_FAST_AVERAGE = 0;
constexpr std::int32_t SMOOTHNESS_EXACT_AVERAGE = 1;
constexpr std::int32_t SMOOTHNESS_PICK_DARKER = 2;
constexpr std::int32_t SMOOTHNESS_PICK_BRIGHTER = 3;
