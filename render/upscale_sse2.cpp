// The blended upscaler in SSE2: four blocks (eight source columns) at a time, the five kernel
// results of each computed in the four 32-bit lanes of one register, the destination rows built by
// shuffles and written sixteen bytes at a time. The last blocks of a row, fewer than four, go
// through the inlined kernels. Only this file is compiled with -msse2; on a processor other than
// x86 it offers no variant.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "render/upscale_families.h"
#include "render/upscale_fast.h"

#if defined(__SSE2__)

#include <emmintrin.h>

namespace {

using Vec = __m128i;

Vec splat(Pixel p) { return _mm_set1_epi32(static_cast<int>(p)); }

Vec load(const Pixel* p) { return _mm_loadu_si128(reinterpret_cast<const Vec*>(p)); }

void store(Pixel* p, Vec v) { _mm_storeu_si128(reinterpret_cast<Vec*>(p), v); }

// Returns {x[i], x[j], y[k], y[l]}. The float shuffle moves the 32-bit words bit for bit.
template <int i, int j, int k, int l>
Vec shuffle(Vec x, Vec y) {
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(x), _mm_castsi128_ps(y),
                                           i | (j << 2) | (k << 4) | (l << 6)));
}

// Returns mask ? if_set : if_clear, lane by lane, for masks of all ones or all zeros.
Vec select(Vec mask, Vec if_set, Vec if_clear) {
    return _mm_or_si128(_mm_and_si128(mask, if_set), _mm_andnot_si128(mask, if_clear));
}

// pixel_weight in each lane: the three colour bytes added, at most 765, so the signed lane
// comparisons below order weights as the unsigned ones of the reference do.
Vec weight(Vec p) {
    const Vec byte = splat(0xFFu);
    return _mm_add_epi32(
        _mm_add_epi32(_mm_and_si128(p, byte), _mm_and_si128(_mm_srli_epi32(p, 8), byte)),
        _mm_and_si128(_mm_srli_epi32(p, 16), byte));
}

// The four families lane by lane, the same whole-word arithmetic as the scalar kernels: 32-bit
// lane shifts and adds behave exactly as on a 32-bit word.
struct FastAverageSse2 {
    using Scalar = FastAverageFamily;
    static Vec pair(Vec a, Vec b) {
        const Vec half_mask = splat(HALF_MASK);
        return _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(a, 1), half_mask),
                             _mm_and_si128(_mm_srli_epi32(b, 1), half_mask));
    }
    static Vec quad(Vec a, Vec b, Vec c, Vec d) {
        const Vec quarter_mask = splat(QUARTER_MASK);
        return _mm_add_epi32(_mm_add_epi32(_mm_and_si128(_mm_srli_epi32(a, 2), quarter_mask),
                                           _mm_and_si128(_mm_srli_epi32(b, 2), quarter_mask)),
                             _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(c, 2), quarter_mask),
                                           _mm_and_si128(_mm_srli_epi32(d, 2), quarter_mask)));
    }
};

struct ExactAverageSse2 {
    using Scalar = ExactAverageFamily;
    static Vec channel_sum(Vec a, Vec b, Pixel channel) {
        const Vec mask = splat(channel);
        return _mm_add_epi32(_mm_and_si128(a, mask), _mm_and_si128(b, mask));
    }
    static Vec pair(Vec a, Vec b) {
        const Vec green = _mm_and_si128(channel_sum(a, b, GREEN), splat(PAIR_KEEP_GREEN));
        const Vec red = _mm_and_si128(channel_sum(a, b, RED), splat(PAIR_KEEP_RED));
        const Vec blue = _mm_and_si128(channel_sum(a, b, BLUE), splat(PAIR_KEEP_BLUE));
        return _mm_srli_epi32(_mm_or_si128(_mm_or_si128(green, red), blue), 1);
    }
    static Vec quad(Vec a, Vec b, Vec c, Vec d) {
        const Vec green =
            _mm_and_si128(_mm_add_epi32(channel_sum(a, b, GREEN), channel_sum(c, d, GREEN)),
                          splat(QUAD_KEEP_GREEN));
        const Vec red = _mm_and_si128(_mm_add_epi32(channel_sum(a, b, RED), channel_sum(c, d, RED)),
                                      splat(QUAD_KEEP_RED));
        const Vec blue = _mm_and_si128(
            _mm_add_epi32(channel_sum(a, b, BLUE), channel_sum(c, d, BLUE)), splat(QUAD_KEEP_BLUE));
        return _mm_srli_epi32(_mm_or_si128(_mm_or_si128(green, red), blue), 2);
    }
};

// The picking families keep the reference's strict comparisons: a candidate replaces the choice
// only when its weight is strictly smaller (darker) or larger (brighter), so ties keep the earlier
// argument, and the chosen lanes are the input words untouched.
template <bool Darker, typename ScalarFamily>
struct PickSse2 {
    using Scalar = ScalarFamily;
    // All ones in the lanes where the candidate weight strictly beats the best one.
    static Vec beats(Vec candidate, Vec best) {
        return Darker ? _mm_cmpgt_epi32(best, candidate) : _mm_cmpgt_epi32(candidate, best);
    }
    static Vec pair(Vec a, Vec b) { return select(beats(weight(b), weight(a)), b, a); }
    static Vec quad(Vec a, Vec b, Vec c, Vec d) {
        Vec best = a;
        Vec best_weight = weight(a);
        for (const Vec candidate : {b, c, d}) {
            const Vec candidate_weight = weight(candidate);
            const Vec replace = beats(candidate_weight, best_weight);
            best = select(replace, candidate, best);
            best_weight = select(replace, candidate_weight, best_weight);
        }
        return best;
    }
};

using PickDarkerSse2 = PickSse2<true, PickDarkerFamily>;
using PickBrighterSse2 = PickSse2<false, PickBrighterFamily>;

// Writes one destination row of four scale-3 blocks: for block n, left[n], middle[n], right[n].
void store_row_3(Pixel* out, Vec left, Vec middle, Vec right) {
    store(out,
          shuffle<0, 1, 0, 2>(_mm_unpacklo_epi32(left, middle), shuffle<0, 0, 1, 1>(right, left)));
    store(out + 4,
          shuffle<2, 3, 0, 1>(_mm_unpacklo_epi32(middle, right), _mm_unpackhi_epi32(left, middle)));
    store(out + 8,
          shuffle<0, 2, 2, 3>(shuffle<2, 2, 3, 3>(right, left), _mm_unpackhi_epi32(middle, right)));
}

// Writes one destination row of four scale-5 blocks: for block n, left[n] twice, middle[n],
// right[n] twice.
void store_row_5(Pixel* out, Vec left, Vec middle, Vec right) {
    store(out, shuffle<0, 0, 0, 1>(left, _mm_unpacklo_epi32(middle, right)));
    store(out + 4,
          shuffle<0, 2, 2, 3>(shuffle<0, 0, 1, 1>(right, left), _mm_unpacklo_epi32(left, middle)));
    store(out + 8, shuffle<1, 1, 2, 2>(right, left));
    store(out + 12,
          shuffle<0, 1, 0, 2>(_mm_unpackhi_epi32(middle, right), shuffle<2, 2, 3, 3>(right, left)));
    store(out + 16, shuffle<2, 3, 3, 3>(_mm_unpackhi_epi32(left, middle), right));
}

constexpr std::int32_t COLUMNS_PER_STEP = 8;  // four blocks

template <typename Family, std::int32_t K>
struct SimdRows {
    static void run(const Surface& source, const Surface& upscaled, std::int32_t W,
                    std::int32_t H) {
        const std::ptrdiff_t source_stride = source.width;
        const std::ptrdiff_t stride = upscaled.width;
        for (std::int32_t sy = 0; sy < H - 1; sy += 2) {
            const Pixel* lower = source.pixels + sy * source_stride;
            const Pixel* upper = lower + source_stride;
            Pixel* destination = destination_block_row(upscaled, K, sy);
            std::int32_t sx = 0;
            for (; sx <= W - COLUMNS_PER_STEP; sx += COLUMNS_PER_STEP) {
                // Columns sx .. sx + 7 of both rows; even lanes are the blocks' left pixels.
                const Vec lower_a = load(lower + sx);
                const Vec lower_b = load(lower + sx + 4);
                const Vec upper_a = load(upper + sx);
                const Vec upper_b = load(upper + sx + 4);
                const Vec p00 = shuffle<0, 2, 0, 2>(lower_a, lower_b);
                const Vec p01 = shuffle<1, 3, 1, 3>(lower_a, lower_b);
                const Vec p10 = shuffle<0, 2, 0, 2>(upper_a, upper_b);
                const Vec p11 = shuffle<1, 3, 1, 3>(upper_a, upper_b);

                const Vec row_sy = Family::pair(p00, p01);
                const Vec row_sy_plus_1 = Family::pair(p10, p11);
                const Vec column_sx = Family::pair(p00, p10);
                const Vec column_sx_plus_1 = Family::pair(p01, p11);
                const Vec centre = Family::quad(p00, p10, p01, p11);

                Pixel* corner = destination + std::ptrdiff_t{K} * (sx / 2);
                if constexpr (K == SCALE_THREE_HALVES) {
                    store_row_3(corner, p00, row_sy, p01);
                    store_row_3(corner + stride, column_sx, centre, column_sx_plus_1);
                    store_row_3(corner + 2 * stride, p10, row_sy_plus_1, p11);
                } else {
                    store_row_5(corner, p00, row_sy, p01);
                    store_row_5(corner + stride, p00, row_sy, p01);
                    store_row_5(corner + 2 * stride, column_sx, centre, column_sx_plus_1);
                    store_row_5(corner + 3 * stride, p10, row_sy_plus_1, p11);
                    store_row_5(corner + 4 * stride, p10, row_sy_plus_1, p11);
                }
            }
            using Scalar = typename Family::Scalar;
            upscale_block_span<Scalar, K>(lower, upper, destination, stride, sx, W);
        }
    }
};

}  // namespace

Upscaler sse2_upscaler(std::int32_t smoothness) {
    return upscaler_for<SimdRows, FastAverageSse2, ExactAverageSse2, PickDarkerSse2,
                        PickBrighterSse2>(smoothness);
}

#else

Upscaler sse2_upscaler(std::int32_t /*smoothness*/) { return nullptr; }

#endif
