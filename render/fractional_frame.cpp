// The blended frame of each tick in the blended-fraction mode.
// Portable core: no OS header.
#include "render/fractional_frame.h"

#include <cstdint>

#include "platform/platform.h"
#include "vocabulary/modes.h"
#include "vocabulary/view_state.h"

void fractional_frame(DrawContext screen, DrawContext overlay, Point capture_origin) {
    const ViewState& v = view_state;
    if (v.scale != SCALE_THREE_HALVES && v.scale != SCALE_FIVE_HALVES) {
        return;
    }
    // A surface whose creation failed has no pixel memory: draw nothing rather than present a
    // stale or empty image.
    if (v.capture_source.pixels == nullptr || v.upscale.pixels == nullptr) {
        return;
    }
    platform_copy(v.capture_source.context, Point{0, 0}, screen, capture_origin, v.W, v.H);
    v.upscaler(v.capture_source, v.upscale, v.W, v.H, v.scale, v.blend_pair, v.blend_quad);
    // The layout made the surfaces of these sizes, so the products fit.
    const auto width = static_cast<std::int32_t>(std::int64_t{v.scale} * v.W / 2);
    const auto height = static_cast<std::int32_t>(std::int64_t{v.scale} * v.H / 2);
    platform_copy(overlay, Point{v.offset_x, v.offset_y}, v.upscale.context, Point{0, 0}, width,
                  height);
}
