// The blended upscaler over vector registers, written once for every vector width: the four
// families lane by lane in the same whole-word arithmetic as the scalar kernels, and the block-row
// loop that enlarges V::BLOCKS blocks (2 V::BLOCKS source columns) per step. The last blocks of a
// row, fewer than a step, go through the inlined kernels. Each vector file includes this header
// under its own instruction set and supplies V, its few loads, stores and shuffles:
//
//   Vec                          the register type: 32-bit lanes, in groups of four (128-bit halves)
//   BLOCKS                       blocks per step: the register's lanes
//   splat(p)                     p in every lane
//   add, and_, or_, andnot(m, x) lane-wise words; andnot gives ~m & x
//   shift_right<n>(x)            each lane shifted right by n
//   greater(x, y)                all ones where x > y as signed lanes
//   shuffle<i, j, k, l>(x, y)    in each group of four: {x[i], x[j], y[k], y[l]}
//   unpack_low, unpack_high      in each group of four: {x0, y0, x1, y1}, {x2, y2, x3, y3}
//   load_pairs(p, left, right)   2 BLOCKS pixels from p: the even ones in left, the odd ones in
//                                right, block n in lane n
//   store_groups(out, rows)      writes N registers as one run of 4 N (BLOCKS / 4) pixels: group 0
//                                of rows[0], ..., of rows[N - 1], then group 1 of each, and so on
//
// Everything sits in an unnamed namespace on purpose, as in render/upscale_families.h: each vector
// file gets its own copy, so one compiled for a wider instruction set can never be merged into,
// and run in place of, a narrower one. Portable core: no OS header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "render/upscale_families.h"

namespace {

// pixel_weight in each lane: the three colour bytes added, at most 765, so the signed lane
// comparisons below order weights as the unsigned ones of the reference do.
template <typename V>
typename V::Vec lane_weight(typename V::Vec p) {
    const auto byte = V::splat(0xFFu);
    return V::add(V::add(V::and_(p, byte), V::and_(V::template shift_right<8>(p), byte)),
                  V::and_(V::template shift_right<16>(p), byte));
}

// Returns mask ? if_set : if_clear, lane by lane, for masks of all ones or all zeros.
template <typename V>
typename V::Vec lane_select(typename V::Vec mask, typename V::Vec if_set,
                            typename V::Vec if_clear) {
    return V::or_(V::and_(mask, if_set), V::andnot(mask, if_clear));
}

template <typename V>
struct FastAverageLanes {
    using Vec = typename V::Vec;
    using Scalar = FastAverageFamily;
    static Vec half(Vec a) { return V::and_(V::template shift_right<1>(a), V::splat(HALF_MASK)); }
    static Vec quarter(Vec a) {
        return V::and_(V::template shift_right<2>(a), V::splat(QUARTER_MASK));
    }
    static Vec pair(Vec a, Vec b) { return V::add(half(a), half(b)); }
    static Vec quad(Vec a, Vec b, Vec c, Vec d) {
        return V::add(V::add(quarter(a), quarter(b)), V::add(quarter(c), quarter(d)));
    }
};

template <typename V>
struct ExactAverageLanes {
    using Vec = typename V::Vec;
    using Scalar = ExactAverageFamily;
    static Vec channel_sum(Vec a, Vec b, Pixel channel) {
        const Vec mask = V::splat(channel);
        return V::add(V::and_(a, mask), V::and_(b, mask));
    }
    static Vec pair(Vec a, Vec b) {
        const Vec green = V::and_(channel_sum(a, b, GREEN), V::splat(PAIR_KEEP_GREEN));
        const Vec red = V::and_(channel_sum(a, b, RED), V::splat(PAIR_KEEP_RED));
        const Vec blue = V::and_(channel_sum(a, b, BLUE), V::splat(PAIR_KEEP_BLUE));
        return V::template shift_right<1>(V::or_(V::or_(green, red), blue));
    }
    static Vec quad(Vec a, Vec b, Vec c, Vec d) {
        const auto sum4 = [&](Pixel channel) {
            return V::add(channel_sum(a, b, channel), channel_sum(c, d, channel));
        };
        const Vec green = V::and_(sum4(GREEN), V::splat(QUAD_KEEP_GREEN));
        const Vec red = V::and_(sum4(RED), V::splat(QUAD_KEEP_RED));
        const Vec blue = V::and_(sum4(BLUE), V::splat(QUAD_KEEP_BLUE));
        return V::template shift_right<2>(V::or_(V::or_(green, red), blue));
    }
};

// The picking families keep the reference's strict comparisons: a candidate replaces the choice
// only when its weight is strictly smaller (darker) or larger (brighter), so ties keep the earlier
// argument, and the chosen lanes are the input words untouched.
template <typename V, bool Darker, typename ScalarFamily>
struct PickLanes {
    using Vec = typename V::Vec;
    using Scalar = ScalarFamily;
    // All ones in the lanes where the candidate weight strictly beats the best one.
    static Vec beats(Vec candidate, Vec best) {
        return Darker ? V::greater(best, candidate) : V::greater(candidate, best);
    }
    static Vec pair(Vec a, Vec b) {
        return lane_select<V>(beats(lane_weight<V>(b), lane_weight<V>(a)), b, a);
    }
    static Vec quad(Vec a, Vec b, Vec c, Vec d) {
        Vec best = a;
        Vec best_weight = lane_weight<V>(a);
        for (const Vec candidate : {b, c, d}) {
            const Vec candidate_weight = lane_weight<V>(candidate);
            const Vec replace = beats(candidate_weight, best_weight);
            best = lane_select<V>(replace, candidate, best);
            best_weight = lane_select<V>(replace, candidate_weight, best_weight);
        }
        return best;
    }
};

// Writes one destination row of V::BLOCKS scale-3 blocks: for block n, left[n], middle[n],
// right[n]. Within each group of four blocks, the three registers hold its twelve pixels in order.
template <typename V>
void store_row_3(Pixel* out, typename V::Vec left, typename V::Vec middle, typename V::Vec right) {
    const typename V::Vec rows[3] = {
        V::template shuffle<0, 1, 0, 2>(V::unpack_low(left, middle),
                                        V::template shuffle<0, 0, 1, 1>(right, left)),
        V::template shuffle<2, 3, 0, 1>(V::unpack_low(middle, right),
                                        V::unpack_high(left, middle)),
        V::template shuffle<0, 2, 2, 3>(V::template shuffle<2, 2, 3, 3>(right, left),
                                        V::unpack_high(middle, right))};
    V::store_groups(out, rows);
}

// Writes one destination row of V::BLOCKS scale-5 blocks: for block n, left[n] twice, middle[n],
// right[n] twice; twenty pixels per group of four blocks, in five registers.
template <typename V>
void store_row_5(Pixel* out, typename V::Vec left, typename V::Vec middle, typename V::Vec right) {
    const typename V::Vec rows[5] = {
        V::template shuffle<0, 0, 0, 1>(left, V::unpack_low(middle, right)),
        V::template shuffle<0, 2, 2, 3>(V::template shuffle<0, 0, 1, 1>(right, left),
                                        V::unpack_low(left, middle)),
        V::template shuffle<1, 1, 2, 2>(right, left),
        V::template shuffle<0, 1, 0, 2>(V::unpack_high(middle, right),
                                        V::template shuffle<2, 2, 3, 3>(right, left)),
        V::template shuffle<2, 3, 3, 3>(V::unpack_high(left, middle), right)};
    V::store_groups(out, rows);
}

// The block-row loop of the vector upscalers, for Family (one of the lane families above over V).
template <typename V>
struct VectorRowsOf {
    template <typename Family, std::int32_t K>
    struct Rows {
        static void run(const Surface& source, const Surface& upscaled, std::int32_t W,
                        std::int32_t H) {
            using Vec = typename V::Vec;
            constexpr std::int32_t COLUMNS_PER_STEP = 2 * V::BLOCKS;
            for_each_block_row(source, upscaled, K, H, [W](const Pixel* lower, const Pixel* upper,
                                                         Pixel* destination,
                                                         std::ptrdiff_t stride) {
                std::int32_t sx = 0;
                for (; sx <= W - COLUMNS_PER_STEP; sx += COLUMNS_PER_STEP) {
                    Vec p00, p01, p10, p11;
                    V::load_pairs(lower + sx, p00, p01);
                    V::load_pairs(upper + sx, p10, p11);

                    const Vec row_sy = Family::pair(p00, p01);
                    const Vec row_sy_plus_1 = Family::pair(p10, p11);
                    const Vec column_sx = Family::pair(p00, p10);
                    const Vec column_sx_plus_1 = Family::pair(p01, p11);
                    const Vec centre = Family::quad(p00, p10, p01, p11);

                    Pixel* corner = destination + std::ptrdiff_t{K} * (sx / 2);
                    if constexpr (K == SCALE_THREE_HALVES) {
                        store_row_3<V>(corner, p00, row_sy, p01);
                        store_row_3<V>(corner + stride, column_sx, centre, column_sx_plus_1);
                        store_row_3<V>(corner + 2 * stride, p10, row_sy_plus_1, p11);
                    } else {
                        store_row_5<V>(corner, p00, row_sy, p01);
                        store_row_5<V>(corner + stride, p00, row_sy, p01);
                        store_row_5<V>(corner + 2 * stride, column_sx, centre, column_sx_plus_1);
                        store_row_5<V>(corner + 3 * stride, p10, row_sy_plus_1, p11);
                        store_row_5<V>(corner + 4 * stride, p10, row_sy_plus_1, p11);
                    }
                }
                using Scalar = typename Family::Scalar;
                upscale_block_span<Scalar, K>(lower, upper, destination, stride, sx, W);
            });
        }
    };
};

// Returns the vector upscaler over V of the family that `smoothness` selects, as choose_kernels
// does: 1 exact, 2 darker, 3 brighter, anything else fast.
template <typename V>
Upscaler vector_upscaler(std::int32_t smoothness) {
    return upscaler_for<VectorRowsOf<V>::template Rows, FastAverageLanes<V>, ExactAverageLanes<V>,
                        PickLanes<V, true, PickDarkerFamily>,
                        PickLanes<V, false, PickBrighterFamily>>(smoothness);
}

}  // namespace
