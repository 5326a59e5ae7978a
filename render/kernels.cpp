// The four blend-kernel families: pure functions of their inputs, called through the two slots for
// every in-between pixel of the blended upscaler.
// Portable core: no OS header.
#include "render/kernels.h"

#include <initializer_list>

#include "vocabulary/modes.h"

Pixel fast_average_pair(Pixel a, Pixel b) { return FastAverageFamily::pair(a, b); }

Pixel fast_average_quad(Pixel a, Pixel b, Pixel c, Pixel d) {
    return FastAverageFamily::quad(a, b, c, d);
}

Pixel exact_average_pair(Pixel a, Pixel b) { return ExactAverageFamily::pair(a, b); }

Pixel exact_average_quad(Pixel a, Pixel b, Pixel c, Pixel d) {
    return ExactAverageFamily::quad(a, b, c, d);
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
