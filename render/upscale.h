// The blended fractional upscaler: 2x2 source blocks become 3x3 (scale 3) or 5x5 (scale 5) blocks.
// Portable core: no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/pixel.h"
#include "vocabulary/surface.h"

// Enlarges the W x H pixels of `source` by scale/2 into `upscaled` through the two kernel slots,
// block by block from storage row 0 upward, each row of blocks left to right. Does nothing when
// scale is neither 3 nor 5, when either surface has no pixel memory, or when either surface is
// smaller than the enlargement needs; never reads or writes outside either surface.
void upscale_blended(const Surface& source, const Surface& upscaled, std::int32_t W, std::int32_t H,
                     std::int32_t scale, BlendPairFn blend_pair, BlendQuadFn blend_quad);
