// Views started by the command line: on a window named by its id (--window), on the focused one
// (--active), or on the first top-level window whose class or title holds a text (--wait), picked
// as a click at the window's client-area centre would pick: the innermost window there. The wait follows the windows mapped
// on the screen and looks again four times a second (titles set after the map send no event to
// us); zrv5-exit and Super+Escape end it as they end any wait (the core's poll, x11_window.cpp's
// key), and its time limit. A named window gone by the time of the pick is refused as an id that is
// no window.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/command_line.h"
#include "platform/posix/posix_settings_file.h"
#include "platform/posix/posix_options.h"
#include "platform/x11/x11_platform.h"

namespace {

// How often a wait looks at the windows and the exit request between events.
constexpr std::int64_t WAIT_LOOK_MS = 250;
// How deep below the root a client window may lie: the root's child is a window manager's frame,
// which may hold a title bar and a further parent.
constexpr int SEARCH_DEPTH = 3;

struct Start {
    StartOptions options;
    Window window = 0;  // the window to view, once known
    bool due = false;   // the start has not been made yet
    bool timed_out = false;
    bool refused = false;  // the named window was gone by the time of the pick
    std::int64_t deadline_ms = -1;
    std::int64_t next_look_ms = 0;
};

Start start;

bool holds_text(const char* text) {
    return text != nullptr && std::strstr(text, start.options.wait_text.c_str()) != nullptr;
}

// Whether the window's class (instance or class name) or title (WM_NAME, or the UTF-8
// _NET_WM_NAME) holds the awaited text.
bool matches(Window window) {
    bool found = false;
    XClassHint hint{};
    if (XGetClassHint(x11.display, window, &hint) != 0) {
        found = holds_text(hint.res_name) || holds_text(hint.res_class);
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    char* name = nullptr;
    if (!found && XFetchName(x11.display, window, &name) != 0) {
        found = holds_text(name);
        XFree(name);
    }
    if (!found) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long left = 0;
        unsigned char* data = nullptr;
        const Atom net_name = XInternAtom(x11.display, "_NET_WM_NAME", False);
        const Atom utf8 = XInternAtom(x11.display, "UTF8_STRING", False);
        if (XGetWindowProperty(x11.display, window, net_name, 0, 1024, False, utf8, &type,
                               &format, &count, &left, &data) == Success &&
            data != nullptr) {
            found = format == 8 && holds_text(reinterpret_cast<const char*>(data));
        }
        if (data != nullptr) {
            XFree(data);
        }
    }
    return found;
}

// Returns the first viewable window at or below `window` (to `depth` levels) that matches.
Window find_below(Window window, int depth) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(x11.display, window, &root, &parent, &children, &count) == 0) {
        return 0;
    }
    Window found = 0;
    // Topmost first, as the eye finds them.
    for (unsigned i = count; i-- > 0 && found == 0;) {
        const Window child = children[i];
        if (child == x11.overlay || child == x11.background_window) {
            continue;
        }
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(x11.display, child, &attributes) == 0 ||
            attributes.map_state != IsViewable || attributes.c_class != InputOutput) {
            continue;
        }
        if (matches(child)) {
            found = child;
        } else if (depth > 1) {
            found = find_below(child, depth - 1);
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

// Ends the wait as any end of the view ends it: the overlay is destroyed, the companion told.
void end_wait() {
    start.due = false;
    platform_destroy_window(WindowHandle{x11.overlay});
}

// Says in one line why the window cannot be viewed (it is no window, or not shown) and returns
// EXIT_USAGE; 0 when it can.
int refusal_of(Window window, XWindowAttributes* attributes) {
    XSync(x11.display, False);
    if (XGetWindowAttributes(x11.display, window, attributes) == 0) {
        XSync(x11.display, False);
        x11_take_error();
        std::fprintf(stderr, "zrv5: there is no window 0x%lx on the display\n", window);
        return EXIT_USAGE;
    }
    if (attributes->map_state != IsViewable) {
        std::fprintf(stderr, "zrv5: the window 0x%lx is not shown on the screen\n", window);
        return EXIT_USAGE;
    }
    return 0;
}

// Picks the innermost window at the window's client-area centre, searching down from the window.
// A window named on the command line and gone (or hidden) since it was checked ends the program as
// it would have at the check, not with the error box.
void pick(Window window) {
    start.due = false;
    XWindowAttributes attributes{};
    if (start.options.kind == StartKind::window && refusal_of(window, &attributes) != 0) {
        start.refused = true;
        end_wait();
        return;
    }
    XGetWindowAttributes(x11.display, window, &attributes);
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(x11.display, window, x11.root, attributes.width / 2,
                          attributes.height / 2, &x, &y, &child);
    zrv5_pick_window(WindowHandle{x11.overlay},
                     WindowHandle{x11_innermost_at(window, Point{x, y})});
}

}  // namespace

void x11_set_start(const StartOptions& options) {
    start = Start{};
    start.options = options;
    posix_use_settings_file(options.settings_file);
}

int x11_check_start() {
    switch (start.options.kind) {
    case StartKind::click:
        return 0;
    case StartKind::window: {
        XWindowAttributes attributes{};
        const auto window = static_cast<Window>(start.options.window);
        const int refused = refusal_of(window, &attributes);
        if (refused != 0) {
            return refused;
        }
        start.window = window;
        break;
    }
    case StartKind::active: {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(x11.display, &focus, &revert);
        if (focus == None || focus == PointerRoot || focus == x11.root) {
            std::fprintf(stderr, "zrv5: no window has the keyboard focus\n");
            return 1;
        }
        start.window = focus;
        break;
    }
    case StartKind::wait:
        break;
    }
    start.due = true;
    return 0;
}

bool x11_start_scripted() { return start.options.kind != StartKind::click; }

std::int64_t x11_start_look(std::int64_t now_ms) {
    if (!start.due || x11.overlay == 0) {
        return -1;
    }
    if (start.window != 0) {
        pick(start.window);
        return -1;
    }
    if (start.deadline_ms < 0 && start.options.timeout_seconds >= 0) {
        start.deadline_ms = now_ms + start.options.timeout_seconds * 1000;
    }
    if (now_ms < start.next_look_ms) {
        return start.next_look_ms - now_ms;
    }
    start.next_look_ms = now_ms + WAIT_LOOK_MS;
    const Window found = find_below(x11.root, SEARCH_DEPTH);
    if (found != 0) {
        pick(found);
        return -1;
    }
    if (start.deadline_ms >= 0 && now_ms >= start.deadline_ms) {
        std::fprintf(stderr, "zrv5: no window whose class or title holds \"%s\" came within %ld s\n",
                     start.options.wait_text.c_str(), start.options.timeout_seconds);
        start.timed_out = true;
        end_wait();
        return -1;
    }
    std::int64_t wait = WAIT_LOOK_MS;
    if (start.deadline_ms >= 0) {
        wait = std::min(wait, start.deadline_ms - now_ms);
    }
    return wait;
}

void x11_start_note(const XEvent& event) {
    if (!start.due) {
        return;
    }
    if (event.type == MapNotify || event.type == ReparentNotify) {
        // A window came: the next look is due at once (0 stays: the first look is still to come).
        start.next_look_ms = std::min<std::int64_t>(start.next_look_ms, 1);
    }
}

bool x11_start_timed_out() { return start.timed_out; }

bool x11_start_refused() { return start.refused; }
