// The frame tick. It keeps nothing from one tick to the next: all it needs stands in view_state.
// Portable core: no OS header.
#include "shell/tick.h"

#include "cursor/cursor.h"
#include "cursor/handover.h"
#include "hook/companion.h"
#include "platform/platform.h"
#include "render/fractional_frame.h"
#include "render/frame_geometry.h"
#include "vocabulary/modes.h"
#include "vocabulary/view_state.h"

namespace {

// Returns a product of two sizes as the 32-bit value the window system receives.
std::int32_t times(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(std::int64_t{a} * b));
}

// Draws the enlarged capture into the overlay in the effective stretch mode.
void draw_image(DrawContext overlay, DrawContext screen, Point origin) {
    const ViewState& v = view_state;
    const Rect source{origin.x, origin.y, v.W, v.H};
    if (v.stretch == STRETCH_WHOLE) {
        platform_stretch_copy(
            overlay, Rect{v.offset_x, v.offset_y, times(v.scale, v.W), times(v.scale, v.H)}, screen,
            source);
    } else if (v.stretch == STRETCH_BLENDED) {
        fractional_frame(screen, overlay, origin);
    } else if (v.stretch == STRETCH_FIT) {
        platform_stretch_copy(overlay, Rect{v.offset_x, v.offset_y, v.fit_w, v.fit_h}, screen,
                              source);
    }
}

// Draws the cursor image with its hot spot on the enlarged pointer position.
void draw_cursor(DrawContext overlay, Point client) {
    const ViewState& v = view_state;
    // Image and hot spot come from the same grab.
    const CursorRecord cursor = current_cursor();
    const CursorPlacement placement =
        cursor_position(v.stretch, v.scale, v.offset_x, v.offset_y, v.fit_w, v.W, client,
                        cursor.hot_x, cursor.hot_y);
    if (placement.draw) {
        platform_draw_cursor(overlay, placement.at, cursor.image);
    }
}

}  // namespace

std::intptr_t frame_tick(WindowHandle overlay) {
    const ViewState& v = view_state;

    if (!platform_window_exists(v.target)) {
        platform_destroy_window(overlay);
    } else {
        platform_keep_on_top(overlay);
        const Point origin = platform_client_to_screen(v.target, Point{0, 0});
        const Point pointer = clamp_pointer(platform_cursor_position(), origin, v.W, v.H);
        const Point client = platform_screen_to_client(v.target, pointer);

        DrawContext overlay_context = platform_get_context(overlay);
        DrawContext screen_context = platform_get_context(WindowHandle{});

        draw_image(overlay_context, screen_context, origin);
        const BorderBands borders = border_bands(v.SW, v.SH, v.offset_x, v.offset_y);
        for (int i = 0; i < borders.count; ++i) {
            platform_fill_black(overlay_context, borders.bands[static_cast<std::size_t>(i)]);
        }
        if (v.mouse_trs == CURSOR_GRAB_EVERY_TICK) {
            run_cursor_grab();
        }
        if (v.mouse_trs != CURSOR_NONE) {
            draw_cursor(overlay_context, client);
        }

        platform_release_context(overlay, overlay_context);
        platform_release_context(WindowHandle{}, screen_context);
        // No cursor is being drawn now, so the copies that grabs have replaced can go.
        release_retired_cursors();
    }

    // Polled in every tick, also in one that has just destroyed the overlay for a missing target;
    // a second destruction then finds no window.
    if (exit_requested_by_profile()) {
        platform_destroy_window(overlay);
    }
    return 0;
}
