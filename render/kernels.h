// The four blend-kernel families of the blended upscaler and the start-up choice between them.
// Portable core: no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/pixel.h"

// Fast average: inputs halved (quartered) per channel by a whole-word shift and mask, then added.
Pixel fast_average_pair(Pixel a, Pixel b);
Pixel fast_average_quad(Pixel a, Pixel b, Pixel c, Pixel d);

// Exact average: per channel floor of the mean, by masked whole-word sums.
Pixel exact_average_pair(Pixel a, Pixel b);
Pixel exact_average_quad(Pixel a, Pixel b, Pixel c, Pixel d);

// Pick darker: the input of the smallest pixel_weight; a tie goes to the earlier argument.
Pixel pick_darker_pair(Pixel a, Pixel b);
Pixel pick_darker_quad(Pixel a, Pixel b, Pixel c, Pixel d);

// Pick brighter: the input of the largest pixel_weight; a tie goes to the earlier argument.
Pixel pick_brighter_pair(Pixel a, Pixel b);
Pixel pick_brighter_quad(Pixel a, Pixel b, Pixel c, Pixel d);

struct KernelSlots {
    BlendPairFn blend_pair;
    BlendQuadFn blend_quad;
};

// Returns the family that `smoothness` selects: 1 exact average, 2 pick darker, 3 pick brighter,
// any other value (0 included) the fast average.
KernelSlots choose_kernels(std::int32_t smoothness);
