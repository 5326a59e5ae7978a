// Windows of the seam on X11: the overlay (override-redirect, full screen, input-transparent
// through an empty input shape, invisible through an empty bounding shape until made opaque), the
// pointer grab that stands for the mouse capture, the exit key of the wait, the queries about other
// clients' windows, and the tick's one question, answered in one round trip.
#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/x11/x11_platform.h"
#include "platform/x11/x11_tick_timing.h"

namespace {

// The seam's layered-attributes operation: on X11 the overlay's shapes are always there, so any
// non-null token will do.
struct PlatformLayeredOpToken {
} layered_op_token;

// Whether a window may lie above the overlay: set by the root's structure events that can put one
// there, cleared by the raise.
bool raise_needed = true;
// Whether another client mapped an override-redirect window (a menu, a tooltip) since the last
// raise, while the overlay was shown.
bool remap_needed = false;
bool overlay_shown = false;
// Whether the window manager draws override-redirect windows in the order they were mapped rather
// than in their stacking order (mutter: GNOME Shell, GNOME's X11 session), asked at the pick.
bool raise_is_not_drawn = false;
// The sibling the overlay lay directly above in its last configuration, as the server reported it,
// once it has reported one.
Window overlay_above = None;
bool overlay_above_known = false;

// The exit key, Super+Escape, taken on the root while the program waits for its click or shows the
// error box (the companion takes it once a view runs): its key code and whether it is held.
KeyCode exit_key = 0;
bool exit_key_held = false;
// Its grab for each state of Caps Lock and Num Lock, which count as modifiers.
constexpr unsigned LOCK_VARIANTS[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};

// Sets one of the overlay's shapes to the empty region.
void set_empty_shape(Window window, int kind) {
    XserverRegion empty = XFixesCreateRegion(x11.display, nullptr, 0);
    XFixesSetWindowShapeRegion(x11.display, window, kind, 0, 0, empty);
    XFixesDestroyRegion(x11.display, empty);
}

// Returns whether the handle is this process's overlay: the only window the seam's window
// operations act on.
bool is_overlay(WindowHandle window) { return window.value != 0 && window.value == x11.overlay; }

// Returns the name the window manager gives itself (_NET_WM_NAME of the window that
// _NET_SUPPORTING_WM_CHECK names on the root), "" when none says.
std::string window_manager_name() {
    auto read_property = [](Window window, const char* name, Atom type, unsigned long* count) {
        Atom actual = 0;
        int format = 0;
        unsigned long left = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(x11.display, window, XInternAtom(x11.display, name, False), 0, 256,
                               False, type, &actual, &format, count, &left, &data) != Success) {
            data = nullptr;
            *count = 0;
        }
        return data;
    };
    unsigned long count = 0;
    unsigned char* check = read_property(x11.root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, &count);
    std::string name;
    if (check != nullptr && count == 1) {
        const Window manager = *reinterpret_cast<const Window*>(check);
        // A window that is gone (a manager that went away) is an expected BadWindow here.
        unsigned char* text = read_property(
            manager, "_NET_WM_NAME", XInternAtom(x11.display, "UTF8_STRING", False), &count);
        if (text != nullptr) {
            name.assign(reinterpret_cast<const char*>(text), count);
            XFree(text);
        }
        XSync(x11.display, False);
        x11_take_error();
    }
    if (check != nullptr) {
        XFree(check);
    }
    return name;
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
    XSync(x11.display, False);
    x11.overlay = window;
    raise_needed = true;
    remap_needed = false;
    overlay_shown = false;
    overlay_above_known = false;

    const WindowHandle handle{window};
    zrv5_overlay_created(handle);
    return handle;
}

void platform_show_window(WindowHandle window, std::int32_t) {
    if (is_overlay(window)) {
        XMapRaised(x11.display, x11.overlay);
        XFlush(x11.display);
    }
}

void x11_hold_exit_key(bool hold) {
    if (hold == exit_key_held) {
        return;
    }
    if (exit_key == 0) {
        exit_key = XKeysymToKeycode(x11.display, XK_Escape);
    }
    for (const unsigned lock : LOCK_VARIANTS) {
        if (hold) {
            // Another client's grab fails with BadAccess, an expected error: the wait goes on.
            XGrabKey(x11.display, exit_key, Mod4Mask | lock, x11.root, False, GrabModeAsync,
                     GrabModeAsync);
        } else {
            XUngrabKey(x11.display, exit_key, Mod4Mask | lock, x11.root);
        }
    }
    XFlush(x11.display);
    exit_key_held = hold;
}

bool x11_is_exit_key(const XEvent& event) {
    return exit_key_held && event.type == KeyPress && event.xkey.keycode == exit_key &&
           (event.xkey.state & Mod4Mask) != 0;
}

bool x11_grab_pending() { return x11.capture_wanted && !x11.capture_held && x11.overlay != 0; }

bool x11_try_grab() {
    if (!x11.capture_wanted || x11.overlay == 0) {
        return false;
    }
    if (x11.capture_held) {
        return true;
    }
    // The overlay takes every button event, so the click that picks never reaches the window
    // beneath, just as a captured mouse click does not.
    const int result =
        XGrabPointer(x11.display, x11.overlay, False, ButtonPressMask | ButtonReleaseMask,
                     GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    x11.capture_held = result == GrabSuccess;
    return x11.capture_held;
}

bool platform_set_capture(WindowHandle window) {
    if (!is_overlay(window)) {
        return true;
    }
    // Super+Escape ends the wait, as it ends a view.
    x11_hold_exit_key(true);
    // A view that the command line starts takes no click: the pointer stays the user's.
    if (x11_start_scripted()) {
        return true;
    }
    // A grab that another client's grab refuses is asked for again until it holds.
    x11.capture_wanted = true;
    x11_try_grab();
    return true;
}

void platform_release_capture() {
    // Before the companion takes the key for the view.
    x11_hold_exit_key(false);
    x11.capture_wanted = false;
    if (x11.capture_held) {
        XUngrabPointer(x11.display, CurrentTime);
        // Synchronous, so that a grab thread's connection asking for the pointer image next sees
        // the target's pointer shape and not the grab's.
        XSync(x11.display, False);
        x11.capture_held = false;
    }
}

Window x11_innermost_at(Window from, Point root_point) {
    // Descend while a mapped child holds the point. Windows with an empty input shape (the
    // overlay, the capture's background window) are looked through, by this search as by the
    // server's own.
    Window window = from;
    for (;;) {
        int x = 0;
        int y = 0;
        Window child = 0;
        if (!XTranslateCoordinates(x11.display, x11.root, window, root_point.x, root_point.y, &x,
                                   &y, &child) ||
            child == 0) {
            return window;
        }
        window = child;
    }
}

WindowHandle platform_window_from_point(Point point) {
    return WindowHandle{x11_innermost_at(x11.root, point)};
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

namespace {

// Puts the overlay back on top where another client's window may lie above it. The message loop
// has taken every event the server had sent before the tick, so with none of them asking for it
// and none left in the queue, the overlay is still on top.
void keep_on_top() {
    // mutter keeps all override-redirect windows in one top group, drawn in the order they were
    // mapped: a menu or tooltip mapped during a view is drawn above the overlay however the
    // overlay is raised. Mapped again, the overlay is the last one mapped. In one batch of
    // requests, which the compositor takes whole before it draws again.
    if (remap_needed && raise_is_not_drawn) {
        XUnmapWindow(x11.display, x11.overlay);
        XMapRaised(x11.display, x11.overlay);
        remap_needed = false;
        raise_needed = false;
        return;
    }
    remap_needed = false;
    if (raise_needed || XEventsQueued(x11.display, QueuedAlready) > 0) {
        XRaiseWindow(x11.display, x11.overlay);
        raise_needed = false;
    }
}

}  // namespace

TargetLook platform_look_at_target(WindowHandle overlay, WindowHandle target, Size capture) {
    TargetLook look;
    if (!is_overlay(overlay) || target.value == 0) {
        return look;
    }
    // The raise goes out with the three questions, which come back in one round trip.
    keep_on_top();
    xcb_connection_t* connection = XGetXCBConnection(x11.display);
    const auto window = static_cast<xcb_window_t>(target.value);
    const auto root = static_cast<xcb_window_t>(x11.root);
    const xcb_get_window_attributes_cookie_t attributes_asked =
        xcb_get_window_attributes(connection, window);
    const xcb_translate_coordinates_cookie_t origin_asked =
        xcb_translate_coordinates(connection, window, root, 0, 0);
    const xcb_query_pointer_cookie_t pointer_asked = xcb_query_pointer(connection, root);
    xcb_generic_error_t* error = nullptr;
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(connection, attributes_asked, &error);
    std::free(error);
    error = nullptr;
    xcb_translate_coordinates_reply_t* origin =
        xcb_translate_coordinates_reply(connection, origin_asked, &error);
    std::free(error);
    error = nullptr;
    xcb_query_pointer_reply_t* position =
        xcb_query_pointer_reply(connection, pointer_asked, &error);
    std::free(error);
    look.exists = attributes != nullptr;
    // As XTranslateCoordinates and XQueryPointer: no answer from another screen.
    if (origin != nullptr && origin->same_screen != 0) {
        look.origin = Point{origin->dst_x, origin->dst_y};
    }
    if (position != nullptr && position->same_screen != 0) {
        look.pointer = Point{position->root_x, position->root_y};
    }
    std::free(attributes);
    std::free(origin);
    std::free(position);
    if (look.exists && capture.width > 0 && capture.height > 0) {
        // The core writes the enlargement next: the server must be done reading the last one.
        x11_present_wait();
        tick_timing_mark(TickStage::capture_start);
        std::ptrdiff_t stride = 0;
        const std::uint8_t* fresh = nullptr;
        Pixel* pixels = x11_capture(look.origin.x, look.origin.y, capture.width, capture.height,
                                    &stride, &fresh);
        tick_timing_mark(TickStage::capture_end);
        if (pixels != nullptr) {
            // Read bottom-up, as the core's surfaces are.
            look.capture = Surface{pixels + (capture.height - 1) * stride, capture.width,
                                   capture.height, -stride};
        }
    }
    return look;
}

void x11_stacking_note(const XEvent& event) {
    switch (event.type) {
    case MapNotify:
        raise_needed = true;
        if (event.xmap.window != x11.overlay && event.xmap.override_redirect && overlay_shown) {
            remap_needed = true;
        }
        break;
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
    overlay_shown = true;
    const std::string manager = window_manager_name();
    raise_is_not_drawn = manager == "GNOME Shell" || manager.find("Mutter") != std::string::npos;
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
    x11_hold_exit_key(false);
    zrv5_overlay_destroyed(WindowHandle{window});
}

