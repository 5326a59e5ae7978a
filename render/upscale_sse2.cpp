// The blended upscaler in SSE2: four blocks (eight source columns) at a time, the five kernel
// results of each computed in the four 32-bit lanes of one register, the destination rows built by
// shuffles and written sixteen bytes at a time (render/upscale_simd.h). Only this file is compiled
// with -msse2; on a processor other than x86 it offers no variant.
#include <cstdint>

#include "render/upscaler_choice.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include "render/upscale_simd.h"

namespace {

struct Sse2 {
    using Vec = __m128i;
    static constexpr std::int32_t BLOCKS = 4;

    static Vec splat(Pixel p) { return _mm_set1_epi32(static_cast<int>(p)); }
    static Vec add(Vec a, Vec b) { return _mm_add_epi32(a, b); }
    static Vec and_(Vec a, Vec b) { return _mm_and_si128(a, b); }
    static Vec or_(Vec a, Vec b) { return _mm_or_si128(a, b); }
    static Vec andnot(Vec mask, Vec x) { return _mm_andnot_si128(mask, x); }
    template <int n>
    static Vec shift_right(Vec a) {
        return _mm_srli_epi32(a, n);
    }
    static Vec greater(Vec a, Vec b) { return _mm_cmpgt_epi32(a, b); }
    // The float shuffle moves the 32-bit words bit for bit.
    template <int i, int j, int k, int l>
    static Vec shuffle(Vec x, Vec y) {
        return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(x), _mm_castsi128_ps(y),
                                               i | (j << 2) | (k << 4) | (l << 6)));
    }
    static Vec unpack_low(Vec x, Vec y) { return _mm_unpacklo_epi32(x, y); }
    static Vec unpack_high(Vec x, Vec y) { return _mm_unpackhi_epi32(x, y); }

    static Vec load(const Pixel* p) { return _mm_loadu_si128(reinterpret_cast<const Vec*>(p)); }
    static void load_pairs(const Pixel* p, Vec& left, Vec& right) {
        const Vec a = load(p);
        const Vec b = load(p + 4);
        left = shuffle<0, 2, 0, 2>(a, b);
        right = shuffle<1, 3, 1, 3>(a, b);
    }
    template <std::size_t N>
    static void store_groups(Pixel* out, const Vec (&rows)[N]) {
        for (std::size_t n = 0; n < N; ++n) {
            _mm_storeu_si128(reinterpret_cast<Vec*>(out + 4 * n), rows[n]);
        }
    }
};

}  // namespace

Upscaler sse2_upscaler(std::int32_t smoothness) { return vector_upscaler<Sse2>(smoothness); }

#else

Upscaler sse2_upscaler(std::int32_t /*smoothness*/) { return nullptr; }

#endif
