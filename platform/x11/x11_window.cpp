// Windows of the seam on X11: the overlay (override-redirect, full screen, input-transparent
// through an empty input shape, invisible through an empty bounding shape until made opaque), the
// pointer grab that stands for the mouse capture, and the queries about other clients' windows.
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "platform/x11/x11_platform.h"

namespace {

// The seam's layered-attributes operation: on X11 the overlay's shapes are always there, so any
// non-null token will do.
struct PlatformLayeredOpToken {
} layered_op_token;

// Whether a window may lie above the overlay: set by the root's structure events that can put one
// there, cleared by the raise.
bool raise_needed = true;
// The sibling the overlay lay directly above in its last configuration, as the server reported it,
// once it has reported one.
Window overlay_above = None;
bool overlay_above_known = false;

// Sets one of the overlay's shapes to the empty region.
void set_empty_shape(Window window, int kind) {
    XserverRegion empty = XFixesCreateRegion(x11.display, nullptr, 0);
    XFixesSetWindowShapeRegion(x11.display, window, kind, 0, 0, empty);
    XFixesDestroyRegion(x11.display, empty);
}

// Returns whether the handle is this process's overlay: the only window the seam's window
// operations act on.
bool is_overlay(WindowHandle window) { return window.value != 0 && window.value == x11.overlay; }

// What the calling thread's last pointer question found: the pointer on the root and the root's
// child that holds it (none when the root itself does), which is where a search for the window at
// that point starts. A grab asks for the pointer and then for the window beneath it: this saves the
// search's first round trip. Taken by the next search of the same thread.
struct PointerSeen {
    bool known = false;
    Point at;
    Window child = 0;
};

thread_local PointerSeen pointer_seen;

// Takes the answer to a pointer question; not known when there is none or the pointer is on
// another screen (as XQueryPointer says).
PointerSeen take_pointer(xcb_connection_t* connection, xcb_query_pointer_cookie_t asked) {
    xcb_generic_error_t* error = nullptr;
    xcb_query_pointer_reply_t* position = xcb_query_pointer_reply(connection, asked, &error);
    std::free(error);
    PointerSeen seen;
    if (position != nullptr && position->same_screen != 0) {
        seen = PointerSeen{true, Point{position->root_x, position->root_y}, position->child};
    }
    std::free(position);
    return seen;
}

// Answers that the GUI thread's last question whether a window exists brought along: the window's
// client origin on the root and the pointer, each as the server gave it in that round trip. They
// stand for the next such questions until the message loop goes on (x11_forget_prefetched). Once
// the origin has been given, it also turns the next point of the root into the window's: X
// windows are only moved, never scaled, so that is the point less the origin.
struct Prefetched {
    Window window = 0;
    bool has_origin = false;
    bool origin_given = false;
    Point origin;
    bool has_pointer = false;
    Point pointer;
} prefetched;

// Takes the replies of the requests sent ahead; a failed one is asked again when needed.
void take_prefetched(xcb_connection_t* connection, WindowHandle window,
                     xcb_translate_coordinates_cookie_t origin,
                     xcb_query_pointer_cookie_t pointer) {
    xcb_generic_error_t* error = nullptr;
    xcb_translate_coordinates_reply_t* translated =
        xcb_translate_coordinates_reply(connection, origin, &error);
    std::free(error);
    prefetched.window = static_cast<Window>(window.value);
    // As XTranslateCoordinates: no answer from another screen.
    if (translated != nullptr && translated->same_screen != 0) {
        prefetched.has_origin = true;
        prefetched.origin = Point{translated->dst_x, translated->dst_y};
    }
    std::free(translated);
    const PointerSeen seen = take_pointer(connection, pointer);
    prefetched.has_pointer = seen.known;
    prefetched.pointer = seen.at;
}

// Returns a - b, held to the 32-bit range.
std::int32_t difference(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(std::int64_t{a} - b, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}

// Returns the point moved from `from`'s coordinates into `to`'s; unchanged when either window is
// none or the translation fails.
Point translate(Window from, Window to, Point point) {
    Display* display = x11_thread_display();
    int x = 0;
    int y = 0;
    Window child = 0;
    if (display == nullptr || from == 0 || to == 0 ||
        !XTranslateCoordinates(display, from, to, point.x, point.y, &x, &y, &child)) {
        return point;
    }
    return Point{x, y};
}

void name_overlay(Window window) {
    static const char name[] = "ZRV5";
    XStoreName(x11.display, window, name);
    XClassHint hint{};
    hint.res_name = const_cast<char*>("zrv5");
    hint.res_class = const_cast<char*>("ZRV5");
    XSetClassHint(x11.display, window, &hint);
}

}  // namespace

LayeredAttributesOp platform_resolve_layered_attributes() {
    return reinterpret_cast<LayeredAttributesOp>(&layered_op_token);
}

// The screen is the view's monitor, in root coordinates (x11_screen_box.cpp).
Box platform_screen_box() { return x11_measure_monitor(); }

bool platform_register_class(InstanceHandle) { return true; }

WindowHandle platform_create_overlay(InstanceHandle, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) {
        return WindowHandle{};
    }
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;  // no window manager frames or moves it
    attributes.background_pixel = BlackPixel(x11.display, x11.screen);
    attributes.event_mask = StructureNotifyMask | ExposureMask;
    const Box monitor = x11_monitor_box();  // the overlay covers the view's monitor
    const Window window = XCreateWindow(
        x11.display, x11.root, monitor.left, monitor.top, static_cast<unsigned>(width),
        static_cast<unsigned>(height), 0, x11.depth, InputOutput, x11.visual,
        CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    if (window == 0) {
        return WindowHandle{};
    }
    name_overlay(window);
    // Clicks and motion pass to the windows beneath, and XTranslateCoordinates looks through it.
    set_empty_shape(window, ShapeInput);
    set_empty_shape(window, ShapeBounding);
    // Mapped from the start, though invisible: the pointer grab needs a viewable window.
    XMapRaised(x11.display, window);
    x11.overlay_gc = XCreateGC(x11.display, window, 0, nullptr);
    x11_create_image(x11.overlay_image, width, height);
    XSync(x11.display, False);
    x11.overlay = window;
    raise_needed = true;
    overlay_above_known = false;

    const WindowHandle handle{window};
    overlay_window_procedure(handle, MSG_CREATE, 0, 0);
    return handle;
}

void platform_show_window(WindowHandle window, std::int32_t) {
    if (is_overlay(window)) {
        XMapRaised(x11.display, x11.overlay);
        XFlush(x11.display);
    }
}

void platform_set_capture(WindowHandle window) {
    // A view that the command line starts takes no click: the pointer stays the user's.
    if (!is_overlay(window) || x11_start_scripted()) {
        return;
    }
    x11.capture_wanted = true;
    x11_try_grab();
}

void platform_release_capture() {
    x11.capture_wanted = false;
    if (x11.capture_held) {
        XUngrabPointer(x11.display, CurrentTime);
        // Synchronous, so that a grab thread's connection asking for the pointer image next sees
        // the target's pointer shape and not the grab's.
        XSync(x11.display, False);
        x11.capture_held = false;
    }
}

Point platform_client_to_screen(WindowHandle window, Point point) {
    if (x11_on_gui_thread() && prefetched.has_origin && point == Point{0, 0} &&
        prefetched.window == static_cast<Window>(window.value)) {
        prefetched.has_origin = false;
        prefetched.origin_given = true;
        return prefetched.origin;
    }
    return translate(static_cast<Window>(window.value), x11.root, point);
}

Point platform_screen_to_client(WindowHandle window, Point point) {
    if (x11_on_gui_thread() && prefetched.origin_given &&
        prefetched.window == static_cast<Window>(window.value)) {
        prefetched.origin_given = false;
        return Point{difference(point.x, prefetched.origin.x),
                     difference(point.y, prefetched.origin.y)};
    }
    return translate(x11.root, static_cast<Window>(window.value), point);
}

WindowHandle platform_window_from_point(Point point) {
    Display* display = x11_thread_display();
    if (display == nullptr) {
        return WindowHandle{};
    }
    // Descend from the root while a mapped child holds the point. Windows with an empty input
    // shape (the overlay, the capture's background window) are looked through, by this search as
    // by the server's own, which found the root's child when the pointer was asked for.
    Window window = x11.root;
    if (x11.pick_from != 0) {
        // The command line named the window: the search starts there, as a click on it would
        // find it or a window inside it.
        window = x11.pick_from;
        x11.pick_from = 0;
        pointer_seen.known = false;
    } else if (pointer_seen.known && pointer_seen.at == point) {
        pointer_seen.known = false;
        if (pointer_seen.child == 0) {
            return WindowHandle{window};
        }
        window = pointer_seen.child;
    }
    for (;;) {
        int x = 0;
        int y = 0;
        Window child = 0;
        if (!XTranslateCoordinates(display, x11.root, window, point.x, point.y, &x, &y, &child) ||
            child == 0) {
            break;
        }
        window = child;
    }
    return WindowHandle{window};
}

Box platform_client_box(WindowHandle window) {
    Display* display = x11_thread_display();
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    if (display == nullptr || window.value == 0 ||
        !XGetGeometry(display, static_cast<Window>(window.value), &root, &x, &y, &width, &height,
                      &border, &depth)) {
        return Box{};
    }
    return Box{0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
}

bool platform_window_exists(WindowHandle window) {
    Display* display = x11_thread_display();
    prefetched = Prefetched{};
    if (display == nullptr || window.value == 0) {
        return false;
    }
    // One round trip, where XGetWindowAttributes takes two (it asks for the geometry as well). On
    // the GUI thread, where the client origin and the pointer are asked next, their requests go
    // out with it and their replies come back in the same round trip.
    xcb_connection_t* connection = XGetXCBConnection(display);
    const auto id = static_cast<xcb_window_t>(window.value);
    const xcb_get_window_attributes_cookie_t asked = xcb_get_window_attributes(connection, id);
    const bool ahead = x11_on_gui_thread();
    xcb_translate_coordinates_cookie_t origin{};
    xcb_query_pointer_cookie_t pointer{};
    if (ahead) {
        origin =
            xcb_translate_coordinates(connection, id, static_cast<xcb_window_t>(x11.root), 0, 0);
        pointer = xcb_query_pointer(connection, static_cast<xcb_window_t>(x11.root));
    }
    xcb_generic_error_t* error = nullptr;
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(connection, asked, &error);
    std::free(error);
    const bool exists = attributes != nullptr;
    std::free(attributes);
    if (ahead) {
        take_prefetched(connection, window, origin, pointer);
    }
    return exists;
}

void platform_keep_on_top(WindowHandle window) {
    // A window that another client maps or raises goes above the overlay; this restores it. The
    // message loop has taken every event the server had sent before the tick, so with none of
    // them asking for it and none left in the queue, the overlay is still on top.
    if (is_overlay(window) && (raise_needed || XEventsQueued(x11.display, QueuedAlready) > 0)) {
        XRaiseWindow(x11.display, x11.overlay);
        raise_needed = false;
    }
}

void x11_forget_prefetched() { prefetched = Prefetched{}; }

void x11_stacking_note(const XEvent& event) {
    switch (event.type) {
    case MapNotify:
    case CirculateNotify:
    case ReparentNotify:
        raise_needed = true;
        break;
    case ConfigureNotify:
        // The overlay's own raise reports it above the same sibling as before when it was on
        // top already; anything else may have restacked it or another window.
        if (event.xconfigure.window != x11.overlay) {
            raise_needed = true;
        } else {
            raise_needed =
                raise_needed || !overlay_above_known || event.xconfigure.above != overlay_above;
            overlay_above = event.xconfigure.above;
            overlay_above_known = true;
        }
        break;
    default:
        break;
    }
}

void platform_make_opaque(LayeredAttributesOp, WindowHandle window) {
    if (!is_overlay(window)) {
        return;
    }
    // The default bounding shape makes the whole window visible; the input shape stays empty.
    XShapeCombineMask(x11.display, x11.overlay, ShapeBounding, 0, 0, None, ShapeSet);
    XFlush(x11.display);
}

void platform_destroy_window(WindowHandle window) {
    if (!is_overlay(window)) {
        return;
    }
    x11_overlay_destroyed();
    XDestroyWindow(x11.display, static_cast<Window>(window.value));
    XSync(x11.display, False);
}

void x11_overlay_destroyed() {
    const Window window = x11.overlay;
    if (window == 0) {
        return;
    }
    x11.overlay = 0;
    x11.capture_wanted = false;
    x11.capture_held = false;
    overlay_window_procedure(WindowHandle{window}, MSG_DESTROY, 0, 0);
}

Point platform_cursor_position() {
    if (x11_on_gui_thread() && prefetched.has_pointer) {
        prefetched.has_pointer = false;
        return prefetched.pointer;
    }
    pointer_seen = PointerSeen{};
    Display* display = x11_thread_display();
    if (display == nullptr) {
        return Point{};
    }
    // On another thread (a grab, which asks for the pointer's image next) the image is asked for
    // too, and both replies come in one round trip.
    if (!x11_on_gui_thread()) {
        x11_ask_cursor_ahead(display);
    }
    xcb_connection_t* connection = XGetXCBConnection(display);
    pointer_seen = take_pointer(connection,
                                xcb_query_pointer(connection, static_cast<xcb_window_t>(x11.root)));
    return pointer_seen.at;
}
