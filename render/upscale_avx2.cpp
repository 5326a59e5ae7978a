// The blended upscaler in AVX2: eight blocks (sixteen source columns) at a time, in the eight
// 32-bit lanes of one register (render/upscale_simd.h). AVX2 shuffles within each 128-bit half,
// so each half holds four consecutive blocks: the loads gather columns 0-3 and 8-11 into one
// register and 4-7 and 12-15 into the other, and the stores join the halves of two results into
// each 32-byte write. Only this file is compiled with -mavx2; the processor is asked at start-up.
// Windows builds offer no variant: GCC for 64-bit Windows does not align 32-byte stack spills
// (its bug 54412), and the 32-bit build keeps SSE2 as its floor.
#include <cstdint>

#include "render/upscaler_choice.h"

#if defined(__AVX2__) && !defined(_WIN32)

#include <immintrin.h>

#include "render/upscale_simd.h"

namespace {

struct Avx2 {
    using Vec = __m256i;
    static constexpr std::int32_t BLOCKS = 8;

    static Vec splat(Pixel p) { return _mm256_set1_epi32(static_cast<int>(p)); }
    static Vec add(Vec a, Vec b) { return _mm256_add_epi32(a, b); }
    static Vec and_(Vec a, Vec b) { return _mm256_and_si256(a, b); }
    static Vec or_(Vec a, Vec b) { return _mm256_or_si256(a, b); }
    static Vec andnot(Vec mask, Vec x) { return _mm256_andnot_si256(mask, x); }
    template <int n>
    static Vec shift_right(Vec a) {
        return _mm256_srli_epi32(a, n);
    }
    static Vec greater(Vec a, Vec b) { return _mm256_cmpgt_epi32(a, b); }
    // The float shuffle moves the 32-bit words bit for bit, in each half alike.
    template <int i, int j, int k, int l>
    static Vec shuffle(Vec x, Vec y) {
        return _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(x),
                                                     _mm256_castsi256_ps(y),
                                                     i | (j << 2) | (k << 4) | (l << 6)));
    }
    static Vec unpack_low(Vec x, Vec y) { return _mm256_unpacklo_epi32(x, y); }
    static Vec unpack_high(Vec x, Vec y) { return _mm256_unpackhi_epi32(x, y); }

    static __m128i load_half(const Pixel* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    // Returns {p[0..4), p[8..12)}: the low half from p, the high half from eight pixels on.
    static Vec load_halves(const Pixel* p) {
        return _mm256_inserti128_si256(_mm256_castsi128_si256(load_half(p)), load_half(p + 8), 1);
    }
    static void load_pairs(const Pixel* p, Vec& left, Vec& right) {
        const Vec a = load_halves(p);
        const Vec b = load_halves(p + 4);
        left = shuffle<0, 2, 0, 2>(a, b);
        right = shuffle<1, 3, 1, 3>(a, b);
    }
    // Half h of the run: the low half of rows[h] for h < N, the high half of rows[h - N] after.
    template <std::size_t N>
    static void store_groups(Pixel* out, const Vec (&rows)[N]) {
        static_assert(N % 2 == 1, "an odd count of registers: the join below pairs 2 N halves");
        constexpr int LOW_OF_FIRST_HIGH_OF_SECOND = 0x30;  // {a.low, b.high}
        constexpr int LOW_OF_BOTH = 0x20;                  // {a.low, b.low}
        constexpr int HIGH_OF_BOTH = 0x31;                 // {a.high, b.high}
        auto store = [out](std::size_t at, Vec v) {
            _mm256_storeu_si256(reinterpret_cast<Vec*>(out + 8 * at), v);
        };
        std::size_t at = 0;
        for (std::size_t n = 0; n + 1 < N; n += 2) {
            store(at++, _mm256_permute2x128_si256(rows[n], rows[n + 1], LOW_OF_BOTH));
        }
        store(at++, _mm256_permute2x128_si256(rows[N - 1], rows[0], LOW_OF_FIRST_HIGH_OF_SECOND));
        for (std::size_t n = 1; n + 1 < N; n += 2) {
            store(at++, _mm256_permute2x128_si256(rows[n], rows[n + 1], HIGH_OF_BOTH));
        }
    }
};

}  // namespace

Upscaler avx2_upscaler(std::int32_t smoothness) { return vector_upscaler<Avx2>(smoothness); }

#else

Upscaler avx2_upscaler(std::int32_t /*smoothness*/) { return nullptr; }

#endif
