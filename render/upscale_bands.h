// The blended enlargement of one frame split into bands of destination block rows, each band
// enlarged by one of the platform's band workers. Bands are disjoint and each block is made from
// its own 2x2 pixels alone, so the result is the single upscaler's, bit for bit.
// Portable core: no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/surface.h"

// A band: `count` block rows from block row `first`.
struct BandRows {
    std::int32_t first = 0;
    std::int32_t count = 0;
};

// Returns band `band` of `bands` over `block_rows` block rows: the rows shared out in order, the
// first `block_rows % bands` bands one row longer.
BandRows band_rows(std::int32_t block_rows, std::int32_t bands, std::int32_t band);

// Fewer block rows than this per band are not worth a worker's wake-up: small changes (a caret, a
// cursor's rows) stay on the calling thread.
constexpr std::int32_t MIN_BLOCK_ROWS_PER_BAND = 16;

// Returns how many bands an enlargement of `block_rows` block rows takes with `workers` workers.
std::int32_t band_count(std::int32_t block_rows, std::int32_t workers);

// Enlarges the W x H source into `upscaled` as `upscaler` does, in `bands` bands run through
// platform_run_bands (one band: on the calling thread, with no hand-over).
void upscale_in_bands(Upscaler upscaler, const Surface& source, const Surface& upscaled,
                      std::int32_t W, std::int32_t H, std::int32_t scale, BlendPairFn blend_pair,
                      BlendQuadFn blend_quad, std::int32_t bands);
