// Applying the layout at the pick, and again on a new screen size. Portable core: no OS header.
#include "shell/placement.h"

#include "platform/platform.h"
#include "render/surface_creation.h"
#include "view/layout.h"
#include "vocabulary/view_state.h"

namespace {

// Gives the surface's memory context and then its bitmap back (a bitmap still selected into a
// context cannot be deleted) and leaves the record empty.
void release_surface(Surface& surface) {
    if (surface.bitmap == nullptr && surface.context == nullptr) {
        return;
    }
    platform_delete_memory_context(surface.context);
    platform_delete_bitmap(surface.bitmap);
    surface = Surface{};
}

// Makes the surface width x height, keeping it when it has that size already.
void size_surface(Surface& surface, DrawContext reference, std::int32_t width,
                  std::int32_t height) {
    if (surface.context != nullptr && surface.width == width && surface.height == height) {
        return;
    }
    release_surface(surface);
    create_surface(surface, reference, width, height);
}

// Stores the layout for the screen and capture of view_state, with the stretch setting given,
// and makes the surfaces of the blended mode; returns the layout.
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
        DrawContext reference = platform_get_context(overlay);
        size_surface(v.capture_source, reference, layout.source_w, layout.source_h);
        size_surface(v.upscale, reference, layout.upscale_w, layout.upscale_h);
        size_surface(v.capture_enlarged, reference, layout.source_w, layout.source_h);
        v.upscale_made = false;
        platform_release_context(overlay, reference);
        // The blended frames' band workers are made by the first call.
        v.band_workers = platform_band_workers();
    } else {
        release_surface(v.capture_source);
        release_surface(v.upscale);
        release_surface(v.capture_enlarged);
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
