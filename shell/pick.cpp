// The pick: a click's release at a point, or a window named by the command line. Runs at most once
// per process, on the GUI thread.
// Portable core: no OS header.
#include "shell/pick.h"

#include "cursor/cursor.h"
#include "shared_profile/publication.h"
#include "platform/platform.h"
#include "shell/placement.h"
#include "view/capture_size.h"
#include "view/layout.h"
#include "vocabulary/companion_contract.h"
#include "vocabulary/view_state.h"

namespace {

// The exit code of a process whose pick was refused.
constexpr std::int32_t EXIT_PICK_REFUSED = 1;

void refuse_pick(WindowHandle overlay) { refuse_view(overlay, "ZRV5"); }

}  // namespace

void refuse_view(WindowHandle overlay, const char* text) {
    // Set first: the box may be ended by the exit request, which destroys the overlay under it.
    view_state.exit_code = EXIT_PICK_REFUSED;
    platform_message_box(overlay, text, "Error");
    platform_destroy_window(overlay);
}

void forget_stale_exit_request() {
    if (exit_requested_by_profile()) {
        platform_write_profile(PROFILE_SECTION, KEY_EXIT, EXIT_CLEARED);
    }
}

void poll_exit_while_waiting(WindowHandle overlay) {
    if (exit_requested_by_profile()) {
        platform_destroy_window(overlay);
    }
}

namespace {

// Disarms the pick and stops watching for the click; false when the pick was made already.
bool disarm() {
    ViewState& v = view_state;
    if (!v.pick_armed) {
        return false;
    }
    v.pick_armed = false;
    platform_release_capture();
    return true;
}

// Turns the window picked into the running view, or refuses it.
void start_view(WindowHandle overlay, WindowHandle target) {
    ViewState& v = view_state;
    v.target = target;
    if (v.target == overlay) {
        refuse_pick(overlay);
        return;
    }

    const Box client = platform_client_box(v.target);
    const CaptureSize size = capture_size(client.left, client.top, client.right, client.bottom);
    // Nothing can be enlarged from a capture with no width or height (also when no window was
    // found at the point).
    if (size.W <= 0 || size.H <= 0) {
        refuse_pick(overlay);
        return;
    }
    v.W = size.W;
    v.H = size.H;
    // The view starts: its ticks poll the exit request from here on.
    platform_kill_timer(overlay, WAIT_POLL_TIMER_ID);

    publish_view(v.target, v.W, v.H);
    place_view(overlay);
    prepare_cursor_at_pick(v.mouse_trs);
    if (v.layered_attributes != nullptr) {
        platform_make_opaque(v.layered_attributes, overlay);
    }
    platform_set_timer(overlay, FRAME_TIMER_ID, frame_timer_period(v.timer_period));
}

}  // namespace

void pick_at(WindowHandle overlay, Point screen_point) {
    if (disarm()) {
        start_view(overlay, platform_window_from_point(screen_point));
    }
}

void pick_window(WindowHandle overlay, WindowHandle window) {
    if (disarm()) {
        start_view(overlay, window);
    }
}
