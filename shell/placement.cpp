// Applying the layout at the pick, and again on a new screen size. Portable core: no OS header.
#include "shell/placement.h"

#include "platform/platform.h"
#include "view/layout.h"
#include "vocabulary/view_state.h"

namespace {

// Stores the layout for the screen and capture of view_state, with the stretch setting given,
// and makes the blended mode's enlargement surface (or gives it back); returns the layout.
Layout apply_layout(WindowHandle overlay, std::int32_t stretch_setting) {
    ViewState& v = view_state;
    const Layout layout = choose_layout(v.SW, v.SH, v.W, v.H, stretch_setting, v.timer_period);
    v.scale = layout.scale;
    v.stretch = layout.stretch;
    v.offset_x = layout.offset_x;
    v.offset_y = layout.offset_y;
    v.fit_w = layout.fit_w;
    v.fit_h = layout.fit_h;
    v.laid_out = true;
    if (layout.needs_surfaces) {
        if (v.upscale.pixels == nullptr || v.upscale.width != layout.upscale_w ||
            v.upscale.height != layout.upscale_h) {
            v.upscale = platform_enlargement_surface(overlay, layout.upscale_w, layout.upscale_h);
            v.upscale_made = false;
        }
        // The blended frames' band workers are made by the first call.
        v.band_workers = platform_band_workers();
    } else if (v.upscale.pixels != nullptr) {
        v.upscale = platform_enlargement_surface(overlay, 0, 0);
        v.upscale_made = false;
    }
    return layout;
}

}  // namespace

void place_view(WindowHandle overlay) {
    view_state.timer_period = apply_layout(overlay, view_state.stretch).timer_period;
}

void place_view_again(WindowHandle overlay, std::int32_t SW, std::int32_t SH) {
    ViewState& v = view_state;
    v.SW = SW;
    v.SH = SH;
    if (v.laid_out) {
        apply_layout(overlay, v.stretch_setting);
    }
}
