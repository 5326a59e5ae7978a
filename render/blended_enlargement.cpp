// The blended mode's enlargement of each tick. Portable core: no OS header.
#include "render/blended_enlargement.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "render/upscale_bands.h"
#include "vocabulary/modes.h"
#include "vocabulary/view_state.h"

namespace {

// The capture as it was last enlarged: W x H, bottom-up, rows W pixels apart.
Pixel* enlarged_row(ViewState& v, std::int32_t sy) {
    return v.capture_enlarged.data() + std::ptrdiff_t{sy} * v.W;
}

// Enlarges the capture rows [first, last) (a whole number of block rows), keeps them as the rows
// enlarged, and adds the upscale rows written to `written`.
void enlarge_rows(ViewState& v, const Surface& capture, std::int32_t first, std::int32_t last,
                  std::vector<RowSpan>& written) {
    const std::int32_t k = v.scale;
    Surface source = capture;
    source.pixels = capture.row(first);
    source.height = last - first;
    Surface upscaled = v.upscale;
    upscaled.pixels = v.upscale.row(k * (first / 2));
    upscaled.height = k * ((last - first) / 2);
    upscale_in_bands(v.upscaler, source, upscaled, v.W, last - first, k, v.blend_pair,
                     v.blend_quad, band_count((last - first) / 2, v.band_workers));
    written.push_back(RowSpan{k * (first / 2), upscaled.height});
    for (std::int32_t sy = first; sy < last; ++sy) {
        std::memcpy(enlarged_row(v, sy), capture.row(sy),
                    static_cast<std::size_t>(v.W) * sizeof(Pixel));
    }
}

}  // namespace

std::vector<RowSpan> enlarge_capture(const Surface& capture) {
    ViewState& v = view_state;
    std::vector<RowSpan> written;
    if ((v.scale != SCALE_THREE_HALVES && v.scale != SCALE_FIVE_HALVES) ||
        capture.pixels == nullptr || v.upscale.pixels == nullptr || capture.width < v.W ||
        capture.height < v.H) {
        return written;
    }
    const std::int32_t end = v.H - v.H % 2;
    const auto kept = static_cast<std::size_t>(v.W) * static_cast<std::size_t>(v.H);
    if (!v.upscale_made || v.capture_enlarged.size() != kept) {
        v.capture_enlarged.assign(kept, 0);
        enlarge_rows(v, capture, 0, end, written);
        v.upscale_made = true;
        return written;
    }
    const std::size_t block_row_bytes = static_cast<std::size_t>(v.W) * sizeof(Pixel);
    std::int32_t run_start = -1;
    for (std::int32_t sy = 0; sy < end; sy += 2) {
        const bool same =
            std::memcmp(capture.row(sy), enlarged_row(v, sy), block_row_bytes) == 0 &&
            std::memcmp(capture.row(sy + 1), enlarged_row(v, sy + 1), block_row_bytes) == 0;
        if (!same && run_start < 0) {
            run_start = sy;
        } else if (same && run_start >= 0) {
            enlarge_rows(v, capture, run_start, sy, written);
            run_start = -1;
        }
    }
    if (run_start >= 0) {
        enlarge_rows(v, capture, run_start, end, written);
    }
    return written;
}
