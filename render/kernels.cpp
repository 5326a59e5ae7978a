// The four blend-kernel families: pure functions of their inputs, called through the two slots for
// every in-between pixel of the blended upscaler.
// Portable core: no OS header.
#include "render/kernels.h"

#include <initializer_list>

#include "vocabulary/modes.h"

namespace {

// Fast average. Shifting the whole word right by 1 (2) drops each channel's lowest bit (two bits)
// into the top of the channel below; the mask clears exactly those bits and the whole top byte, so
// every byte holds only its own channel's half (quarter), at most 127 (63). The sum is then at most
// 254 (4 x 63 = 252) per byte, so no carry crosses into the channel above.
constexpr Pixel HALF_MASK = 0x7F7F7Fu;
constexpr Pixel QUARTER_MASK = 0x3F3F3Fu;

// Exact average. Each channel is summed on its own, in its own place in the word, so the sum (9
// bits for two inputs, 10 for four) may overlap the lowest bit(s) of the channel above. The keep
// masks drop the bits that the final shift discards (that is the floor) and keep the rest, which
// then sits in bits 1-8 / 9-16 / 17-24 for pairs and 2-9 / 10-17 / 18-25 for quads: disjoint, so
// OR joins the three sums without one touching another, and the shift puts each back in its byte.
// The top byte of the inputs is never selected, so the result's top byte is 0.
constexpr Pixel BLUE = 0xFFu;
constexpr Pixel GREEN = 0xFF00u;
constexpr Pixel RED = 0xFF0000u;
constexpr Pixel PAIR_KEEP_BLUE = 0x1FEu;
constexpr Pixel PAIR_KEEP_GREEN = 0x1FE00u;
constexpr Pixel PAIR_KEEP_RED = 0x1FE0000u;
constexpr Pixel QUAD_KEEP_BLUE = 0x3FCu;
constexpr Pixel QUAD_KEEP_GREEN = 0x3FC00u;
constexpr Pixel QUAD_KEEP_RED = 0x3FC0000u;

}  // namespace

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
Pixel pick_darker_pair(Pixel a, Pixel b) {
    return pixel_weight(a) > pixel_weight(b) ? b : a;
}

Pixel pick_darker_quad(Pixel a, Pixel b, Pixel c, Pixel d) {
    Pixel best = a;
    for (const Pixel candidate : {b, c, d}) {
        if (pixel_weight(best) > pixel_weight(candidate)) {
            best = candidate;
        }
    }
    return best;
}

Pixel pick_brighter_pair(Pixel a, Pixel b) {
    return pixel_weight(a) >= pixel_weight(b) ? a : b;
}

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
