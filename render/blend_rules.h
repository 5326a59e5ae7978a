// The rules every blended upscaler and kernel family shares, written once: the masks of the
// averaging kernels, the guards an upscaler checks before it touches a pixel, and the walk over
// the rows of blocks. The reference (render/kernels.h, render/upscale.cpp) and the inlined
// families (render/upscale_families.h) use them as they are; the vector upscalers
// (render/upscale_simd.h) spread the same masks over their lanes.
// Portable core: no OS header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vocabulary/modes.h"
#include "vocabulary/pixel.h"
#include "vocabulary/surface.h"

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

// Returns whether an upscaler may run: a scale of 3 or 5, both slots filled (empty slots would be a
// start-up fault; drawing nothing beats calling through null), a positive size, and both surfaces
// with pixel memory and large enough for the W x H source and its enlargement by scale/2, the
// products formed in 64 bits so no size can overflow them, and rows that do not overlap (a stride
// at least as long as a row, either way).
inline bool upscale_allowed(const Surface& source, const Surface& upscaled, std::int32_t W,
                            std::int32_t H, std::int32_t scale, BlendPairFn blend_pair,
                            BlendQuadFn blend_quad) {
    if (scale != SCALE_THREE_HALVES && scale != SCALE_FIVE_HALVES) {
        return false;
    }
    if (blend_pair == nullptr || blend_quad == nullptr || W <= 0 || H <= 0) {
        return false;
    }
    if (source.pixels == nullptr || upscaled.pixels == nullptr) {
        return false;
    }
    const std::int64_t upscaled_width = std::int64_t{scale} * W / 2;
    const std::int64_t upscaled_height = std::int64_t{scale} * H / 2;
    const auto rows_apart = [](const Surface& s) {
        return s.stride >= s.width || -s.stride >= s.width;
    };
    return source.width >= W && source.height >= H && upscaled.width >= upscaled_width &&
           upscaled.height >= upscaled_height && rows_apart(source) && rows_apart(upscaled);
}

// Calls block_row(lower, upper, destination, stride) for each row of 2x2 source blocks: source
// storage rows sy and sy + 1, the first storage row of the block row's enlargement, and the
// upscaled surface's stride. The bound sy < H - 1 equals sy < H for the even sizes the pick makes
// and keeps an odd size from reading a row past the capture. For even sy, k * (sy / 2) is the
// block row's first destination row k * sy / 2 without forming the larger product, so it stays
// within the checked upscaled size.
template <typename BlockRow>
inline void for_each_block_row(const Surface& source, const Surface& upscaled, std::int32_t k,
                               std::int32_t H, BlockRow block_row) {
    const std::ptrdiff_t source_stride = source.stride;
    const std::ptrdiff_t upscaled_stride = upscaled.stride;
    for (std::int32_t sy = 0; sy < H - 1; sy += 2) {
        const Pixel* lower = source.pixels + sy * source_stride;
        block_row(lower, lower + source_stride,
                  upscaled.pixels + std::ptrdiff_t{k} * (sy / 2) * upscaled_stride,
                  upscaled_stride);
    }
}
