// The blended frame of each tick in the blended-fraction mode.
// Portable core: no OS header.
#include "render/fractional_frame.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "render/upscale_bands.h"
#include "vocabulary/modes.h"
#include "vocabulary/view_state.h"

namespace {

// Returns the two storage rows of the block row at storage row sy of a capture surface.
Pixel* block_row(const Surface& capture, std::int32_t sy) {
    return capture.pixels + std::ptrdiff_t{sy} * capture.width;
}

// Enlarges the capture rows [first, last) (a whole number of block rows) into their blocks and
// keeps them as the rows enlarged.
void enlarge_rows(ViewState& v, std::int32_t first, std::int32_t last) {
    const std::int32_t k = v.scale;
    Surface source = v.capture_source;
    source.pixels = block_row(source, first);
    source.height = last - first;
    Surface upscaled = v.upscale;
    upscaled.pixels += std::ptrdiff_t{k} * (first / 2) * upscaled.width;
    upscaled.height = k * ((last - first) / 2);
    upscale_in_bands(v.upscaler, source, upscaled, v.W, last - first, k, v.blend_pair,
                     v.blend_quad, band_count((last - first) / 2, v.band_workers));
    platform_note_written(v.upscale.context, k * (first / 2), upscaled.height);
    std::memcpy(block_row(v.capture_enlarged, first), source.pixels,
                static_cast<std::size_t>(last - first) * static_cast<std::size_t>(source.width) *
                    sizeof(Pixel));
    platform_note_written(v.capture_enlarged.context, first, last - first);
}

// Enlarges the capture into the upscale surface. Once the surface holds the enlargement of a
// kept capture, only the block rows whose pixels differ from that capture's are made again: the
// others would come out the same, since each block is made from its own 2x2 pixels alone.
void enlarge_changed_rows(ViewState& v) {
    const bool whole_rows = v.capture_source.width == v.W;
    if (v.capture_enlarged.pixels == nullptr || !whole_rows ||
        v.capture_enlarged.width != v.capture_source.width ||
        v.capture_enlarged.height != v.capture_source.height) {
        upscale_in_bands(v.upscaler, v.capture_source, v.upscale, v.W, v.H, v.scale, v.blend_pair,
                         v.blend_quad, band_count(v.H / 2, v.band_workers));
        platform_note_written(v.upscale.context, 0, v.upscale.height);
        return;
    }
    const std::int32_t end = v.H - v.H % 2;
    if (!v.upscale_made) {
        enlarge_rows(v, 0, end);
        v.upscale_made = true;
        return;
    }
    const std::size_t block_bytes = 2 * static_cast<std::size_t>(v.W) * sizeof(Pixel);
    std::int32_t run_start = -1;
    for (std::int32_t sy = 0; sy < end; sy += 2) {
        const bool same = std::memcmp(block_row(v.capture_source, sy),
                                      block_row(v.capture_enlarged, sy), block_bytes) == 0;
        if (!same && run_start < 0) {
            run_start = sy;
        } else if (same && run_start >= 0) {
            enlarge_rows(v, run_start, sy);
            run_start = -1;
        }
    }
    if (run_start >= 0) {
        enlarge_rows(v, run_start, end);
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
