// The four blend-kernel families of the blended upscaler and the start-up choice between them.
// Portable core: no OS header.
#pragma once

#include <cstdint>

#include "render/blend_rules.h"
#include "vocabulary/pixel.h"

// The two averages' whole-word arithmetic, defined once: the slot functions below call it, and the
// fast upscalers use these families as they are (render/upscale_families.h). In an unnamed
// namespace on purpose: each including file gets its own copy, so a copy compiled with -msse2 or
// -mavx2 can never be merged into, and run in place of, a plain one.
namespace {

// Fast average: the whole-word shift moves each channel's low bit(s) into the top of the channel
// below; the mask clears exactly those bits and the top byte, so each byte holds at most 127 (63)
// and the sum of two halves (four quarters) stays within its byte.
struct FastAverageFamily {
    static Pixel pair(Pixel a, Pixel b) { return ((a >> 1) & HALF_MASK) + ((b >> 1) & HALF_MASK); }
    static Pixel quad(Pixel a, Pixel b, Pixel c, Pixel d) {
        return ((a >> 2) & QUARTER_MASK) + ((b >> 2) & QUARTER_MASK) + ((c >> 2) & QUARTER_MASK) +
               ((d >> 2) & QUARTER_MASK);
    }
};

// Exact average: each channel summed in its own place; the keep masks drop the bits the final
// shift discards, leaving the three sums in disjoint bit ranges that OR can join.
struct ExactAverageFamily {
    static Pixel pair(Pixel a, Pixel b) {
        const Pixel green = ((a & GREEN) + (b & GREEN)) & PAIR_KEEP_GREEN;
        const Pixel red = ((a & RED) + (b & RED)) & PAIR_KEEP_RED;
        const Pixel blue = ((a & BLUE) + (b & BLUE)) & PAIR_KEEP_BLUE;
        return (green | red | blue) >> 1;
    }
    static Pixel quad(Pixel a, Pixel b, Pixel c, Pixel d) {
        const Pixel green =
            ((a & GREEN) + (b & GREEN) + (c & GREEN) + (d & GREEN)) & QUAD_KEEP_GREEN;
        const Pixel red = ((a & RED) + (b & RED) + (c & RED) + (d & RED)) & QUAD_KEEP_RED;
        const Pixel blue = ((a & BLUE) + (b & BLUE) + (c & BLUE) + (d & BLUE)) & QUAD_KEEP_BLUE;
        return (green | red | blue) >> 2;
    }
};

}  // namespace

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
