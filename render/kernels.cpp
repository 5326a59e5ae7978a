// The four blend-kernel families: pure functions of their inputs, called through the two slots for
// every in-between pixel of the blended upscaler.
// Portable core: no OS header.
#include "render/kernels.h"

#include <initializer_list>

#include "render/blend_rules.h"
#include "vocabulary/modes.h"

Pixel fast_average_pair(Pixel a, Pixel b) {
    return ((a >> 1) & HALF_MASK) + ((b >> 1) & HALF_MASK);
}

Pixel fast_average_quad(Pixel a, Pixel b, Pixel c, Pixel d) {
    return ((a >> 2) & QUARTER_MASK) + ((b >> 2) & QUARTER_MASK) + ((c >> 2) & QUARTER_MASK) +
           ((d >> 2) & QUARTER_MASK);
}

Pixel exact_average_pair(Pixel a, Pixel b) {
    const Pixel green = ((a & GREEN) + (b & GREEN)) & PAIR_KEEP_GREEN;
    const Pixel red = ((a & RED) + (b & RED)) & PAIR_KEEP_RED;
    const Pixel blue = ((a & BLUE) + (b & BLUE)) & PAIR_KEEP_BLUE;
    return (green | red | blue) >> 1;
}

Pixel exact_average_quad(Pixel a, Pixel b, Pixel c, Pixel d) {
    const Pixel green = ((a & GREEN) + (b & GREEN) + (c & GREEN) + (d & GREEN)) & QUAD_KEEP_GREEN;
    const Pixel red = ((a & RED) + (b & RED) + (c & RED) + (d & RED)) & QUAD_KEEP_RED;
    const Pixel blue = ((a & BLUE) + (b & BLUE) + (c & BLUE) + (d & BLUE)) & QUAD_KEEP_BLUE;
    return (green | red | blue) >> 2;
}

// The picking kernels return an input word untouched, top byte included; only strict comparisons
// replace the current choice, which is what gives a tie to the earlier argument.
Pixel pick_darker_pair(Pixel a, Pixel b) { return pixel_weight(a) > pixel_weight(b) ? b : a; }

Pixel pick_darker_quad(Pixel a, Pixel b, Pixel c, Pixel d) {
    Pixel best = a;
    for (const Pixel candidate : {b, c, d}) {
        if (pixel_weight(best) > pixel_weight(candidate)) {
            best = candidate;
        }
    }
    return best;
}

Pixel pick_brighter_pair(Pixel a, Pixel b) { return pixel_weight(a) >= pixel_weight(b) ? a : b; }

Pixel pick_brighter_quad(Pixel a, Pixel b, Pixel c, Pixel d) {
    Pixel best = a;
    for (const Pixel candidate : {b, c, d}) {
        if (pixel_weight(best) < pixel_weight(candidate)) {
            best = candidate;
        }
    }
    return best;
}

KernelSlots choose_kernels(std::int32_t smoothness) {
    switch (smoothness) {
    case SMOOTHNESS_EXACT_AVERAGE:
        return {exact_average_pair, exact_average_quad};
    case SMOOTHNESS_PICK_DARKER:
        return {pick_darker_pair, pick_darker_quad};
    case SMOOTHNESS_PICK_BRIGHTER:
        return {pick_brighter_pair, pick_brighter_quad};
    default:
        return {fast_average_pair, fast_average_quad};
    }
}
