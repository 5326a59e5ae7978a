// The four integer settings read from the settings file at start-up.
// Portable core: no OS header.
#pragma once

#include <cstdint>

// Values as converted from the settings file; the defaults are those of a missing key.
// Nothing reads this record after start-up: ViewState takes over the period and both modes.
struct Settings {
    std::int32_t time = 100;      // timer period in milliseconds
    std::int32_t mouse_trs = 3;   // cursor mode: 0 grab once, 1 grab every tick, 2 arrow, 3 none
    std::int32_t stretch = 0;     // 0 whole factor, 1 blended fraction, 2 aspect fit
    std::int32_t smoothness = 0;  // blend kernels: 1 exact average, 2 darker, 3 brighter, else fast
};
