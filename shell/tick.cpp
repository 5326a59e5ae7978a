// The frame tick: one question to the platform, one frame computed, one frame presented, then the
// exit poll. It keeps nothing from one tick to the next but what view_state holds.
// Portable core: no OS header.
#include "shell/tick.h"

#include "cursor/cursor.h"
#include "cursor/handover.h"
#include "platform/platform.h"
#include "render/blended_enlargement.h"
#include "render/frame_geometry.h"
#include "shared_profile/publication.h"
#include "vocabulary/modes.h"
#include "vocabulary/view_state.h"

void frame_tick(WindowHandle overlay) {
    ViewState& v = view_state;
    // The blended mode enlarges the capture here, so the question brings it along.
    const bool blended = v.stretch == STRETCH_BLENDED && v.upscale.pixels != nullptr;

    const TargetLook look =
        platform_look_at_target(overlay, v.target, blended ? Size{v.W, v.H} : Size{});
    if (!look.exists) {
        platform_destroy_window(overlay);
    } else {
        const Point client = client_point(clamp_pointer(look.pointer, look.origin, v.W, v.H),
                                          look.origin);
        if (v.mouse_trs == CURSOR_GRAB_EVERY_TICK) {
            run_cursor_grab();
        }
        Frame frame = frame_of(v, look.origin, client, current_cursor());
        if (blended) {
            frame.enlarged_rows = enlarge_capture(look.capture);
        }
        platform_present(overlay, frame);
        // No cursor is being drawn now, so the copies that grabs have replaced can go.
        release_retired_cursors();
    }

    // Polled in every tick, also in one that has just destroyed the overlay for a missing target;
    // a second destruction then finds no window.
    if (exit_requested_by_profile()) {
        platform_destroy_window(overlay);
    }
}
