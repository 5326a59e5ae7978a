// The four kernel families written for inlining (the two averages are render/kernels.h's own, the
// two picks branch-free here), and the plain block loop the fast upscalers share (the whole
// enlargement of the inlined variant, the row tails of the vector variants). The results, tie
// rules and argument order are those of render/kernels.cpp and render/upscale.cpp, which stay the
// definition; tests/render/upscale_fast_test.cpp holds every variant to them bit for bit.
// Portable core: no OS header.
//
// Everything here sits in an unnamed namespace on purpose: each including file gets its own copy,
// so a copy compiled with -msse2 or -mavx2 can never be merged into, and run in place of, a plain
// one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "render/blend_rules.h"
#include "render/kernels.h"
#include "render/upscaler_choice.h"
#include "vocabulary/modes.h"
#include "vocabulary/pixel.h"
#include "vocabulary/surface.h"

namespace {

// Returns `if_set` when `condition` holds, else `if_clear`, through a mask rather than a branch:
// on random pixels the picking comparisons go either way at random, and a mispredicted branch per
// blend costs more than the whole blend.
inline Pixel choose_word(bool condition, Pixel if_set, Pixel if_clear) {
    const Pixel mask = 0u - static_cast<Pixel>(condition);
    return (if_set & mask) | (if_clear & ~mask);
}

// The picking families: a candidate replaces the choice only when its weight strictly beats the
// best so far (smaller for darker, larger for brighter), so a tie keeps the earlier argument; the
// chosen word is returned untouched, top byte included.
template <bool Darker>
struct PickFamily {
    static bool beats(std::uint32_t candidate, std::uint32_t best) {
        return Darker ? candidate < best : candidate > best;
    }
    static Pixel pair(Pixel a, Pixel b) {
        return choose_word(beats(pixel_weight(b), pixel_weight(a)), b, a);
    }
    static Pixel quad(Pixel a, Pixel b, Pixel c, Pixel d) {
        Pixel best = a;
        std::uint32_t best_weight = pixel_weight(a);
        for (const Pixel candidate : {b, c, d}) {
            const std::uint32_t weight = pixel_weight(candidate);
            const bool replace = beats(weight, best_weight);
            best = choose_word(replace, candidate, best);
            best_weight = choose_word(replace, weight, best_weight);
        }
        return best;
    }
};

using PickDarkerFamily = PickFamily<true>;
using PickBrighterFamily = PickFamily<false>;

// Writes one destination row of K pixels for a block: left, the middle blend, right; at scale 5
// the outer values are doubled.
template <std::int32_t K>
inline void write_block_row(Pixel* row, Pixel left, Pixel middle, Pixel right) {
    if constexpr (K == SCALE_THREE_HALVES) {
        row[0] = left;
        row[1] = middle;
        row[2] = right;
    } else {
        row[0] = left;
        row[1] = left;
        row[2] = middle;
        row[3] = right;
        row[4] = right;
    }
}

// Enlarges the blocks of one row of blocks whose first source column is at least `first_column`
// (even), up to the last whole block before column W. `lower` and `upper` are source storage rows
// sy and sy + 1, `destination` the block row's first storage row. Five kernel results per block,
// with the reference's argument order.
template <typename Family, std::int32_t K>
inline void upscale_block_span(const Pixel* lower, const Pixel* upper, Pixel* destination,
                               std::ptrdiff_t stride, std::int32_t first_column, std::int32_t W) {
    for (std::int32_t sx = first_column; sx < W - 1; sx += 2) {
        const Pixel p00 = lower[sx];
        const Pixel p01 = lower[sx + 1];
        const Pixel p10 = upper[sx];
        const Pixel p11 = upper[sx + 1];
        const Pixel row_sy = Family::pair(p00, p01);
        const Pixel row_sy_plus_1 = Family::pair(p10, p11);
        const Pixel column_sx = Family::pair(p00, p10);
        const Pixel column_sx_plus_1 = Family::pair(p01, p11);
        const Pixel centre = Family::quad(p00, p10, p01, p11);

        Pixel* corner = destination + std::ptrdiff_t{K} * (sx / 2);
        if constexpr (K == SCALE_THREE_HALVES) {
            write_block_row<K>(corner, p00, row_sy, p01);
            write_block_row<K>(corner + stride, column_sx, centre, column_sx_plus_1);
            write_block_row<K>(corner + 2 * stride, p10, row_sy_plus_1, p11);
        } else {
            write_block_row<K>(corner, p00, row_sy, p01);
            write_block_row<K>(corner + stride, p00, row_sy, p01);
            write_block_row<K>(corner + 2 * stride, column_sx, centre, column_sx_plus_1);
            write_block_row<K>(corner + 3 * stride, p10, row_sy_plus_1, p11);
            write_block_row<K>(corner + 4 * stride, p10, row_sy_plus_1, p11);
        }
    }
}

// A fast upscaler: the reference's guards, then `Rows<Family, K>::run(source, upscaled, W, H)`,
// the enlargement of each fast file, for the scale asked for.
template <template <typename, std::int32_t> class Rows, typename Family>
void upscale_with(const Surface& source, const Surface& upscaled, std::int32_t W, std::int32_t H,
                  std::int32_t scale, BlendPairFn blend_pair, BlendQuadFn blend_quad) {
    if (!upscale_allowed(source, upscaled, W, H, scale, blend_pair, blend_quad)) {
        return;
    }
    if (scale == SCALE_THREE_HALVES) {
        Rows<Family, SCALE_THREE_HALVES>::run(source, upscaled, W, H);
    } else {
        Rows<Family, SCALE_FIVE_HALVES>::run(source, upscaled, W, H);
    }
}

// Returns the fast upscaler of the family that `smoothness` selects, as choose_kernels does:
// 1 exact, 2 darker, 3 brighter, anything else fast.
template <template <typename, std::int32_t> class Rows, typename Fast, typename Exact,
          typename Darker, typename Brighter>
Upscaler upscaler_for(std::int32_t smoothness) {
    switch (smoothness) {
    case SMOOTHNESS_EXACT_AVERAGE:
        return upscale_with<Rows, Exact>;
    case SMOOTHNESS_PICK_DARKER:
        return upscale_with<Rows, Darker>;
    case SMOOTHNESS_PICK_BRIGHTER:
        return upscale_with<Rows, Brighter>;
    default:
        return upscale_with<Rows, Fast>;
    }
}

}  // namespace
