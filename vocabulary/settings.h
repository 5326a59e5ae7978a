// The four integer settings read from the settings file at start-up, their names and defaults.
// Bottom layer: includes nothing else of ours and no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/modes.h"

// The settings file's section and keys.
constexpr const char* SETTINGS_SECTION = "Zarvo5";
constexpr const char* KEY_TIME = "time";
constexpr const char* KEY_MOUSE_TRS = "mouse_trs";
constexpr const char* KEY_STRETCH = "stretch";
constexpr const char* KEY_SMOOTHNESS = "smoothness";

// The value of a missing key.
constexpr std::int32_t DEFAULT_TIME = 100;
constexpr std::int32_t DEFAULT_MOUSE_TRS = CURSOR_NONE;
constexpr std::int32_t DEFAULT_STRETCH = STRETCH_WHOLE;
constexpr std::int32_t DEFAULT_SMOOTHNESS = SMOOTHNESS_FAST_AVERAGE;

// Values as converted from the settings file.
// Nothing reads this record after start-up: ViewState takes over the period and both modes.
struct Settings {
    std::int32_t time = DEFAULT_TIME;              // timer period in milliseconds
    std::int32_t mouse_trs = DEFAULT_MOUSE_TRS;    // cursor mode
    std::int32_t stretch = DEFAULT_STRETCH;        // scale mode
    std::int32_t smoothness = DEFAULT_SMOOTHNESS;  // blend-kernel family
};
