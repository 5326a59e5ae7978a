// The capture size fixed at the pick from the target's client rectangle.
// Portable core: no OS header.
#pragma once

#include <cstdint>

struct CaptureSize {
    std::int32_t W = 0;
    std::int32_t H = 0;
};

// Returns the client rectangle's width and height, each rounded down to even (truncating toward
// zero), so 641 x 481 gives 640 x 480.
CaptureSize capture_size(std::int32_t left, std::int32_t top, std::int32_t right,
                         std::int32_t bottom);
