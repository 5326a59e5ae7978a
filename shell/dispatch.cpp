// The overlay's window procedure: creation takes the capture and starts the exit request's poll of
// the wait, a left-button release is the pick, a timer message is a frame (or that poll),
// destruction (or a quit sent straight here) ends the view.
// Portable core: no OS header.
#include "platform/platform.h"
#include "shell/pick.h"
#include "shell/placement.h"
#include "shell/tick.h"
#include "vocabulary/companion_contract.h"
#include "vocabulary/view_state.h"

namespace {

// Stops the timers, tells the companion library and posts the quit message that ends the loop.
void end_view(WindowHandle overlay) {
    platform_kill_timer(overlay, FRAME_TIMER_ID);
    platform_kill_timer(overlay, WAIT_POLL_TIMER_ID);
    MyEndHook();
    platform_post_quit(view_state.exit_code);
}

}  // namespace

std::intptr_t overlay_window_procedure(WindowHandle window, std::uint32_t message,
                                       std::uintptr_t first, std::intptr_t second) {
    switch (message) {
    case MSG_CREATE:
        // The next whole left-button click anywhere on the screen comes here: its release is the
        // pick. Without it nothing could ever pick, and the program would wait for ever.
        // Until then the exit request is polled too, so that a zrv5 started by mistake can be
        // ended without picking anything.
        forget_stale_exit_request();
        platform_set_timer(window, WAIT_POLL_TIMER_ID, WAIT_POLL_MS);
        if (!platform_set_capture(window)) {
            refuse_view(window, PICK_UNWATCHED_TEXT);
        }
        return 0;
    case MSG_DESTROY:
    case MSG_QUIT:
        end_view(window);
        return platform_default_procedure(window, message, first, second);
    case MSG_TIMER:
        // Every timer message draws a frame, whatever its identifier, but the wait's poll.
        if (first == WAIT_POLL_TIMER_ID) {
            return poll_exit_while_waiting(window);
        }
        return frame_tick(window);
    case MSG_LBUTTONUP:
        return pick_target(window, second);
    default:
        return platform_default_procedure(window, message, first, second);
    }
}

void overlay_screen_changed(WindowHandle overlay, std::int32_t width, std::int32_t height) {
    place_view_again(overlay, width, height);
}
