// The events the platform tells the core of: the overlay made (the capture taken, the wait's poll
// started), a timer's period (a frame, or that poll), the pick, the screen's new size, and the
// overlay's destruction, which ends the view. Portable core: no OS header.
#include "platform/platform.h"
#include "shell/pick.h"
#include "shell/placement.h"
#include "shell/tick.h"
#include "vocabulary/companion_contract.h"
#include "vocabulary/view_state.h"

void zrv5_overlay_created(WindowHandle overlay) {
    // The next whole left-button click anywhere on the screen comes here: its release is the pick.
    // Until then the exit request is polled too, so that a zrv5 started by mistake can be ended
    // without picking anything. Without the capture nothing could ever pick, and the program
    // would wait for ever.
    forget_stale_exit_request();
    platform_set_timer(overlay, WAIT_POLL_TIMER_ID, WAIT_POLL_MS);
    if (!platform_set_capture(overlay)) {
        refuse_view(overlay, PICK_UNWATCHED_TEXT);
    }
}

void zrv5_overlay_destroyed(WindowHandle overlay) {
    // Stops the timers, tells the companion library and posts the quit message that ends the loop.
    platform_kill_timer(overlay, FRAME_TIMER_ID);
    platform_kill_timer(overlay, WAIT_POLL_TIMER_ID);
    MyEndHook();
    platform_post_quit(view_state.exit_code);
}

void zrv5_timer(WindowHandle overlay, std::uint32_t timer_id) {
    // Every timer draws a frame, whatever its identifier, but the wait's poll.
    if (timer_id == WAIT_POLL_TIMER_ID) {
        poll_exit_while_waiting(overlay);
    } else {
        frame_tick(overlay);
    }
}

void zrv5_pick_at(WindowHandle overlay, Point screen_point) {
    pick_at(overlay, screen_point);
}

void zrv5_pick_window(WindowHandle overlay, WindowHandle window) {
    pick_window(overlay, window);
}

void zrv5_screen_changed(WindowHandle overlay, std::int32_t width, std::int32_t height) {
    place_view_again(overlay, width, height);
}
