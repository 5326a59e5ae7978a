// The Surface record: a bottom-up block of 32-bit pixels with the drawing context that reaches it,
// and the signature every blended upscaler has. Bottom layer: the handles are opaque.
#pragma once

#include <cstdint>

#include "vocabulary/handles.h"
#include "vocabulary/pixel.h"

// Pixel memory is width x height words with no gap between rows, stored bottom-up: storage row 0 is
// the bottom image row and the pixel at storage row r, column c is word r * width + c.
struct Surface {
    BitmapHandle bitmap = nullptr;
    DrawContext context = nullptr;
    Pixel* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// An upscaler enlarges the W x H pixels of `source` by scale/2 into `upscaled`. The reference
// (upscale_blended) calls the two kernel slots; the fast variants are made for one kernel family
// and do not call them, but check them for null as the reference does, so an empty slot draws
// nothing on every path.
using Upscaler = void (*)(const Surface& source, const Surface& upscaled, std::int32_t W,
                          std::int32_t H, std::int32_t scale, BlendPairFn blend_pair,
                          BlendQuadFn blend_quad);
