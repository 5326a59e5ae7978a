// Applying the layout at the pick. Portable core: no OS header.
#include "shell/placement.h"

#include "platform/platform.h"
#include "render/surface_creation.h"
#include "view/layout.h"
#include "vocabulary/view_state.h"

void place_view(WindowHandle overlay) {
    ViewState& v = view_state;
    const Layout layout = choose_layout(v.SW, v.SH, v.W, v.H, v.stretch, v.timer_period);
    v.scale = layout.scale;
    v.stretch = layout.stretch;
    v.offset_x = layout.offset_x;
    v.offset_y = layout.offset_y;
    v.fit_w = layout.fit_w;
    v.fit_h = layout.fit_h;
    v.timer_period = layout.timer_period;
    if (layout.needs_surfaces) {
        DrawContext reference = platform_get_context(overlay);
        create_surface(v.capture_source, reference, layout.source_w, layout.source_h);
        create_surface(v.upscale, reference, layout.upscale_w, layout.upscale_h);
        create_surface(v.capture_enlarged, reference, layout.source_w, layout.source_h);
        v.upscale_made = false;
        platform_release_context(overlay, reference);
        // The blended frames' band workers are made here, once.
        v.band_workers = platform_band_workers();
    }
}
