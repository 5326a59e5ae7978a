// The blended enlargement in bands (see upscale_bands.h). Portable core: no OS header.
#include "render/upscale_bands.h"

#include <algorithm>
#include <cstddef>

#include "platform/platform.h"

namespace {

// One enlargement's bands, as the workers see it.
struct BandedUpscale {
    Upscaler upscaler;
    Surface source;
    Surface upscaled;
    std::int32_t W;
    std::int32_t block_rows;
    std::int32_t scale;
    BlendPairFn blend_pair;
    BlendQuadFn blend_quad;
    std::int32_t bands;
};

// Enlarges one band: the source's two rows per block row and the destination's `scale` rows per
// block row, both counted from the bottom storage row.
void upscale_band(void* argument, std::int32_t band) {
    const auto& work = *static_cast<const BandedUpscale*>(argument);
    const BandRows rows = band_rows(work.block_rows, work.bands, band);
    if (rows.count == 0) {
        return;
    }
    Surface source = work.source;
    source.pixels += 2 * std::ptrdiff_t{rows.first} * source.stride;
    source.height = 2 * rows.count;
    Surface upscaled = work.upscaled;
    upscaled.pixels += std::ptrdiff_t{work.scale} * rows.first * upscaled.stride;
    upscaled.height = work.scale * rows.count;
    work.upscaler(source, upscaled, work.W, 2 * rows.count, work.scale, work.blend_pair,
                  work.blend_quad);
}

}  // namespace

BandRows band_rows(std::int32_t block_rows, std::int32_t bands, std::int32_t band) {
    if (bands <= 0 || band < 0 || band >= bands || block_rows <= 0) {
        return BandRows{};
    }
    const std::int32_t base = block_rows / bands;
    const std::int32_t longer = block_rows % bands;
    return BandRows{band * base + std::min(band, longer), base + (band < longer ? 1 : 0)};
}

std::int32_t band_count(std::int32_t block_rows, std::int32_t workers) {
    return std::max<std::int32_t>(1, std::min(workers, block_rows / MIN_BLOCK_ROWS_PER_BAND));
}

void upscale_in_bands(Upscaler upscaler, const Surface& source, const Surface& upscaled,
                      std::int32_t W, std::int32_t H, std::int32_t scale, BlendPairFn blend_pair,
                      BlendQuadFn blend_quad, std::int32_t bands) {
    // The surfaces' own checks come first, as the upscaler would make them on the whole.
    if (bands <= 1 || H < 4 || source.pixels == nullptr || upscaled.pixels == nullptr ||
        source.height < H || upscaled.height < std::int64_t{scale} * (H / 2)) {
        upscaler(source, upscaled, W, H, scale, blend_pair, blend_quad);
        return;
    }
    BandedUpscale work{upscaler, source, upscaled, W, H / 2, scale, blend_pair, blend_quad, bands};
    platform_run_bands(upscale_band, &work, bands);
}
