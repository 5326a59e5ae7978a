// The GUI thread's message loop on X11: X events become the core's events, timers tick from the
// loop itself (their rules are in platform/timer_queue.h), and a posted quit ends it.
#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>

#include "platform/timer_queue.h"
#include "platform/x11/x11_platform.h"
#include "platform/x11/x11_tick_timing.h"

namespace {

// While the pointer grab is wanted but another client holds one, it is asked for again this often.
constexpr std::int64_t GRAB_RETRY_MS = 20;

TimerQueue timers;
std::int64_t next_monitor_look_ms = 0;
std::int64_t start_look_in_ms = -1;  // when a start of the command line looks again

// A quit posted from any thread: its code, and a pipe that wakes the loop from its wait.
std::atomic<bool> quit_posted{false};
std::atomic<std::int32_t> quit_code{0};
int wake_pipe[2] = {-1, -1};

std::int64_t now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// Delivers the first timer that is due, if any. Run once per pass of the loop, so that X events
// are read between ticks.
bool x11_run_due_timer() {
    LoopTimer fired;
    if (!take_due_timer(timers, now_ms(), &fired)) {
        return false;
    }
    tick_timing_mark(TickStage::tick_start);
    zrv5_timer(WindowHandle{fired.window}, fired.id);
    tick_timing_mark(TickStage::tick_end);
    return true;
}

namespace {

// Reads the monitors again once MONITOR_LOOK_MS have passed since the last look.
void look_at_monitors() {
    const std::int64_t now = now_ms();
    if (now < next_monitor_look_ms) {
        return;
    }
    if (next_monitor_look_ms != 0) {
        x11_monitor_look();
    }
    next_monitor_look_ms = now + MONITOR_LOOK_MS;
}

}  // namespace

// Returns how long the loop may wait for an event: until the next timer, the next grab attempt or
// the next look at the monitors.
int x11_loop_wait_ms() {
    const std::int64_t now = now_ms();
    std::int64_t wait = time_to_next_timer(timers, now);
    if (x11_grab_pending()) {
        wait = wait < 0 ? GRAB_RETRY_MS : std::min(wait, GRAB_RETRY_MS);
    }
    const std::int64_t to_look = std::max<std::int64_t>(next_monitor_look_ms - now, 0);
    wait = wait < 0 ? to_look : std::min(wait, to_look);
    if (start_look_in_ms >= 0) {
        wait = std::min(wait, start_look_in_ms);
    }
    return static_cast<int>(std::min<std::int64_t>(wait, 1000000));
}

namespace {

void drain_wake_pipe() {
    char buffer[64];
    while (read(wake_pipe[0], buffer, sizeof buffer) > 0) {
    }
}

void make_wake_pipe() {
    if (wake_pipe[0] >= 0) {
        return;
    }
    if (pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        wake_pipe[0] = wake_pipe[1] = -1;
    }
}

}  // namespace

void x11_handle_event(XEvent& event) {
    switch (event.type) {
    case KeyPress:
        if (x11_is_exit_key(event) && x11.overlay != 0) {
            platform_destroy_window(WindowHandle{x11.overlay});
        }
        break;
    case ButtonRelease:
        // The grab took the press too, so this is the release of a whole click.
        if (event.xbutton.button == Button1 && x11.capture_held && x11.overlay != 0) {
            zrv5_pick_at(WindowHandle{x11.overlay},
                         Point{event.xbutton.x_root, event.xbutton.y_root});
        }
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == x11.overlay && x11.overlay != 0) {
            x11_overlay_destroyed();  // destroyed by another client
        }
        x11_capture_note(event);
        break;
    case Expose:
        if (event.xexpose.window == x11.overlay && x11.overlay != 0) {
            // The next frame is made whole.
            x11_present_exposed();
            x11_capture_whole();
        }
        break;
    default:
        // The monitors, the root's children and their damage, and the presents read.
        x11_present_note(event);
        x11_monitor_event(event);
        x11_stacking_note(event);
        x11_capture_note(event);
        x11_start_note(event);
        break;
    }
}

std::int32_t platform_run_message_loop() {
    make_wake_pipe();
    const int connection = ConnectionNumber(x11.display);
    for (;;) {
        // The quit message comes before input and timers, as on Windows.
        while (!quit_posted && XPending(x11.display) > 0) {
            XEvent event;
            XNextEvent(x11.display, &event);
            x11_handle_event(event);
        }
        if (quit_posted) {
            quit_posted = false;
            return quit_code;
        }
        if (x11_grab_pending()) {
            x11_try_grab();
        }
        look_at_monitors();
        if (x11_start_scripted()) {
            start_look_in_ms = x11_start_look(now_ms());
        }
        if (x11_run_due_timer()) {
            continue;
        }
        XFlush(x11.display);
        // A request with a reply (the grab above, a timer's round trips) may have read events into
        // Xlib's queue; the socket then shows nothing and poll would sleep on them, a pick's click
        // among them, until some other event came.
        if (XEventsQueued(x11.display, QueuedAlready) > 0) {
            continue;
        }
        pollfd waits[2] = {{connection, POLLIN, 0}, {wake_pipe[0], POLLIN, 0}};
        const int ready = poll(waits, wake_pipe[0] >= 0 ? 2 : 1, x11_loop_wait_ms());
        if (ready > 0 && (waits[1].revents & POLLIN) != 0) {
            drain_wake_pipe();
        }
        if (ready > 0 && (waits[0].revents & (POLLERR | POLLHUP)) != 0) {
            XNoOp(x11.display);  // lets Xlib notice the lost connection and end the process
            XSync(x11.display, False);
        }
    }
}

void platform_post_quit(std::int32_t code) {
    quit_code = code;
    quit_posted = true;
    if (wake_pipe[1] >= 0) {
        const char byte = 1;
        const ssize_t written = write(wake_pipe[1], &byte, 1);
        (void)written;
    }
}

void platform_set_timer(WindowHandle window, std::uint32_t id, std::int32_t period_ms) {
    set_timer(timers, window.value, id, period_ms, now_ms());
}

void platform_kill_timer(WindowHandle window, std::uint32_t id) {
    kill_timer(timers, window.value, id);
}
