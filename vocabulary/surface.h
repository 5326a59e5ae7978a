// The Surface record: a bottom-up block of 32-bit pixels, and the signature every blended upscaler
// has. Bottom layer: includes nothing else of ours and no OS header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vocabulary/pixel.h"

// Storage row 0 is the bottom image row: the pixel at storage row r, column c is pixels[r * stride
// + c]. The stride is the width for a block of its own; a surface over another block's rows (an
// image stored top down, read bottom up) has that block's stride, negative when it runs upwards.
struct Surface {
    Pixel* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::ptrdiff_t stride = 0;

    Pixel* row(std::int32_t storage_row) const {
        return pixels + storage_row * stride;
    }
};

// An upscaler enlarges the W x H pixels of `source` by scale/2 into `upscaled`. The reference
// (upscale_blended) calls the two kernel slots; the fast variants are made for one kernel family
// and do not call them, but check them for null as the reference does, so an empty slot draws
// nothing on every path.
using Upscaler = void (*)(const Surface& source, const Surface& upscaled, std::int32_t W,
                          std::int32_t H, std::int32_t scale, BlendPairFn blend_pair,
                          BlendQuadFn blend_quad);
