// The blended fractional upscaler, written plainly: it calls the kernels through the slots and is
// the definition of the right answer for any faster variant.
// Portable core: no OS header.
#include "render/upscale.h"

#include <cstddef>

#include "render/blend_rules.h"
#include "vocabulary/modes.h"

namespace {

// The four source pixels of a 2x2 block: pNM is storage row sy + N, column sx + M.
struct SourceBlock {
    Pixel p00;
    Pixel p01;
    Pixel p10;
    Pixel p11;
};

// The five blended values of a block; at scale 5 each edge blend is stored twice but made once.
struct BlockBlends {
    Pixel row_sy;            // blend_pair(p00, p01)
    Pixel row_sy_plus_1;     // blend_pair(p10, p11)
    Pixel column_sx;         // blend_pair(p00, p10)
    Pixel column_sx_plus_1;  // blend_pair(p01, p11)
    Pixel centre;            // blend_quad(p00, p10, p01, p11)
};

// Writes the three pixels of one destination row of a scale-3 block.
void fill_row_3(Pixel* row, Pixel left, Pixel middle, Pixel right) {
    row[0] = left;
    row[1] = middle;
    row[2] = right;
}

// Writes the five pixels of one destination row of a scale-5 block: the outer values doubled.
void fill_row_5(Pixel* row, Pixel left, Pixel middle, Pixel right) {
    row[0] = left;
    row[1] = left;
    row[2] = middle;
    row[3] = right;
    row[4] = right;
}

// Writes a 3x3 destination block whose first storage row starts at `corner`.
void write_block_3(Pixel* corner, std::ptrdiff_t stride, const SourceBlock& s,
                   const BlockBlends& b) {
    fill_row_3(corner, s.p00, b.row_sy, s.p01);
    fill_row_3(corner + stride, b.column_sx, b.centre, b.column_sx_plus_1);
    fill_row_3(corner + 2 * stride, s.p10, b.row_sy_plus_1, s.p11);
}

// Writes a 5x5 destination block: the 3x3 block with its first and last rows and columns doubled.
void write_block_5(Pixel* corner, std::ptrdiff_t stride, const SourceBlock& s,
                   const BlockBlends& b) {
    fill_row_5(corner, s.p00, b.row_sy, s.p01);
    fill_row_5(corner + stride, s.p00, b.row_sy, s.p01);
    fill_row_5(corner + 2 * stride, b.column_sx, b.centre, b.column_sx_plus_1);
    fill_row_5(corner + 3 * stride, s.p10, b.row_sy_plus_1, s.p11);
    fill_row_5(corner + 4 * stride, s.p10, b.row_sy_plus_1, s.p11);
}

}  // namespace

void upscale_blended(const Surface& source, const Surface& upscaled, std::int32_t W, std::int32_t H,
                     std::int32_t scale, BlendPairFn blend_pair, BlendQuadFn blend_quad) {
    if (!upscale_allowed(source, upscaled, W, H, scale, blend_pair, blend_quad)) {
        return;
    }
    const std::int32_t k = scale;
    // The bound sx < W - 1 equals sx < W for the even sizes the pick makes, and keeps an odd size
    // from reading a column past the capture; k * (sx / 2) is the block's first column.
    for_each_block_row(source, upscaled, k, H, [&](const Pixel* row_sy, const Pixel* row_sy_plus_1,
                                                   Pixel* destination_row,
                                                   std::ptrdiff_t upscaled_stride) {
        for (std::int32_t sx = 0; sx < W - 1; sx += 2) {
            const SourceBlock s{row_sy[sx], row_sy[sx + 1], row_sy_plus_1[sx],
                                row_sy_plus_1[sx + 1]};
            BlockBlends b{};
            b.row_sy = blend_pair(s.p00, s.p01);
            b.row_sy_plus_1 = blend_pair(s.p10, s.p11);
            b.column_sx = blend_pair(s.p00, s.p10);
            b.column_sx_plus_1 = blend_pair(s.p01, s.p11);
            b.centre = blend_quad(s.p00, s.p10, s.p01, s.p11);

            Pixel* corner = destination_row + std::ptrdiff_t{k} * (sx / 2);
            if (k == SCALE_THREE_HALVES) {
                write_block_3(corner, upscaled_stride, s, b);
            } else {
                write_block_5(corner, upscaled_stride, s, b);
            }
        }
    });
}
