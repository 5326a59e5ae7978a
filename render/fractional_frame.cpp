// The blended frame of each tick in the blended-fraction mode.
// Portable core: no OS header.
#include "render/fractional_frame.h"

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"
#include "vocabulary/modes.h"
#include "vocabulary/view_state.h"

namespace {

// Returns whether the two capture rows of the block row at storage row sy are the pixels the
// upscale surface was made from. Each enlarged block keeps its four source pixels unblended in its
// corners (first and last row, first and last column), so those say what it was made from.
bool block_row_same(const Surface& capture, const Surface& upscaled, std::int32_t sy,
                    std::int32_t W, std::int32_t k) {
    const Pixel* row_sy = capture.pixels + std::ptrdiff_t{sy} * capture.width;
    const Pixel* row_sy_plus_1 = row_sy + capture.width;
    const Pixel* top = upscaled.pixels + std::ptrdiff_t{k} * (sy / 2) * upscaled.width;
    const Pixel* bottom = top + std::ptrdiff_t{k - 1} * upscaled.width;
    for (std::int32_t sx = 0; sx < W - 1; sx += 2) {
        const std::ptrdiff_t left = std::ptrdiff_t{k} * (sx / 2);
        const std::ptrdiff_t right = left + k - 1;
        if (row_sy[sx] != top[left] || row_sy[sx + 1] != top[right] ||
            row_sy_plus_1[sx] != bottom[left] || row_sy_plus_1[sx + 1] != bottom[right]) {
            return false;
        }
    }
    return true;
}

// Enlarges the capture rows [first, last) (a whole number of block rows) into their blocks.
void enlarge_rows(const ViewState& v, std::int32_t first, std::int32_t last) {
    const std::int32_t k = v.scale;
    Surface source = v.capture_source;
    source.pixels += std::ptrdiff_t{first} * source.width;
    source.height = last - first;
    Surface upscaled = v.upscale;
    upscaled.pixels += std::ptrdiff_t{k} * (first / 2) * upscaled.width;
    upscaled.height = k * ((last - first) / 2);
    v.upscaler(source, upscaled, v.W, last - first, k, v.blend_pair, v.blend_quad);
}

// Enlarges the capture into the upscale surface. Once the surface holds an enlargement, only the
// block rows whose capture pixels differ from those it was made from are made again: the others
// would come out the same.
void enlarge_changed_rows(ViewState& v) {
    if (!v.upscale_made) {
        v.upscaler(v.capture_source, v.upscale, v.W, v.H, v.scale, v.blend_pair, v.blend_quad);
        v.upscale_made = true;
        return;
    }
    std::int32_t run_start = -1;
    for (std::int32_t sy = 0; sy < v.H - 1; sy += 2) {
        const bool same = block_row_same(v.capture_source, v.upscale, sy, v.W, v.scale);
        if (!same && run_start < 0) {
            run_start = sy;
        } else if (same && run_start >= 0) {
            enlarge_rows(v, run_start, sy);
            run_start = -1;
        }
    }
    if (run_start >= 0) {
        enlarge_rows(v, run_start, v.H - v.H % 2);
    }
}

}  // namespace

void fractional_frame(DrawContext screen, DrawContext overlay, Point capture_origin) {
    ViewState& v = view_state;
    if (v.scale != SCALE_THREE_HALVES && v.scale != SCALE_FIVE_HALVES) {
        return;
    }
    // A surface whose creation failed has no pixel memory: draw nothing rather than present a
    // stale or empty image.
    if (v.capture_source.pixels == nullptr || v.upscale.pixels == nullptr) {
        return;
    }
    platform_copy(v.capture_source.context, Point{0, 0}, screen, capture_origin, v.W, v.H);
    enlarge_changed_rows(v);
    // The layout made the surfaces of these sizes, so the products fit.
    const auto width = static_cast<std::int32_t>(std::int64_t{v.scale} * v.W / 2);
    const auto height = static_cast<std::int32_t>(std::int64_t{v.scale} * v.H / 2);
    platform_copy(overlay, Point{v.offset_x, v.offset_y}, v.upscale.context, Point{0, 0}, width,
                  height);
}
