// Answers sent ahead: requests that go out with a question of the seam for the questions the core
// asks next, so that their replies come back in the same round trip. Each relies on the order of
// the core's calls, which tests/shell/tick_test.cpp (TickTest.TheBackendsAnswersAheadRelyOnThisOrder)
// holds:
//
//   a tick (shell/tick.cpp), on the GUI thread: whether the target exists, then its client origin
//   (client_to_screen of 0, 0), then the pointer, then the pointer in the target's client
//   coordinates (screen_to_client). The existence question sends the origin and the pointer along;
//   once the origin has been given, the next point of the root is turned into the target's by
//   subtraction (X windows are only moved, never scaled).
//
//   a grab (cursor/cursor.cpp), on its own thread: the pointer, then the window at that point,
//   then the pointer image. The pointer's reply names the root's child under it, which is where
//   the window search starts; the image is asked for along with the pointer.
//
// An answer is taken once, by the question it was sent for, and stands only as long as the order
// holds: the GUI thread's until the message loop goes on (x11_forget_prefetched), a thread's image
// until its connection is given back (x11_drop_cursor_asked). Asked out of order, a question asks
// the server as usual. Nothing here calls another file of the backend.
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "platform/x11/x11_platform.h"

namespace {

// What the calling thread's last pointer question found: the pointer on the root and the root's
// child that holds it (none when the root itself does).
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

// What the GUI thread's last existence question brought along: the window's client origin on the
// root and the pointer, each as the server gave it in that round trip.
struct Prefetched {
    Window window = 0;
    bool has_origin = false;
    bool origin_given = false;
    Point origin;
    bool has_pointer = false;
    Point pointer;
} prefetched;

// Takes the replies of the requests sent ahead; a failed one is asked again when needed.
void take_prefetched(xcb_connection_t* connection, Window window,
                     xcb_translate_coordinates_cookie_t origin,
                     xcb_query_pointer_cookie_t pointer) {
    xcb_generic_error_t* error = nullptr;
    xcb_translate_coordinates_reply_t* translated =
        xcb_translate_coordinates_reply(connection, origin, &error);
    std::free(error);
    prefetched.window = window;
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

// The pointer image asked for ahead on this thread's connection, its reply not taken yet.
struct CursorAsked {
    xcb_connection_t* connection = nullptr;
    xcb_xfixes_get_cursor_image_cookie_t cookie{};
};

thread_local CursorAsked cursor_asked;

}  // namespace

bool x11_query_exists(Display* display, Window window, bool ask_ahead) {
    // One round trip, where XGetWindowAttributes takes two (it asks for the geometry as well).
    xcb_connection_t* connection = XGetXCBConnection(display);
    const auto id = static_cast<xcb_window_t>(window);
    const xcb_get_window_attributes_cookie_t asked = xcb_get_window_attributes(connection, id);
    xcb_translate_coordinates_cookie_t origin{};
    xcb_query_pointer_cookie_t pointer{};
    if (ask_ahead) {
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
    if (ask_ahead) {
        take_prefetched(connection, window, origin, pointer);
    }
    return exists;
}

bool x11_answered_origin(Window window, Point* origin) {
    if (!prefetched.has_origin || prefetched.window != window) {
        return false;
    }
    prefetched.has_origin = false;
    prefetched.origin_given = true;
    *origin = prefetched.origin;
    return true;
}

bool x11_answered_client_point(Window window, Point point, Point* client) {
    if (!prefetched.origin_given || prefetched.window != window) {
        return false;
    }
    prefetched.origin_given = false;
    *client = Point{difference(point.x, prefetched.origin.x),
                    difference(point.y, prefetched.origin.y)};
    return true;
}

bool x11_answered_pointer(Point* pointer) {
    if (!prefetched.has_pointer) {
        return false;
    }
    prefetched.has_pointer = false;
    *pointer = prefetched.pointer;
    return true;
}

void x11_forget_prefetched() { prefetched = Prefetched{}; }

Point x11_query_pointer(Display* display, bool ask_image_ahead) {
    if (ask_image_ahead) {
        x11_ask_cursor_ahead(display);
    }
    xcb_connection_t* connection = XGetXCBConnection(display);
    pointer_seen = take_pointer(connection,
                                xcb_query_pointer(connection, static_cast<xcb_window_t>(x11.root)));
    return pointer_seen.at;
}

bool x11_answered_pointer_child(Point point, Window* child) {
    if (!pointer_seen.known || !(pointer_seen.at == point)) {
        return false;
    }
    pointer_seen.known = false;
    *child = pointer_seen.child;
    return true;
}

void x11_forget_pointer_seen() { pointer_seen = PointerSeen{}; }

void x11_ask_cursor_ahead(Display* display) {
    x11_drop_cursor_asked();
    xcb_connection_t* connection = XGetXCBConnection(display);
    cursor_asked = CursorAsked{connection, xcb_xfixes_get_cursor_image(connection)};
}

xcb_xfixes_get_cursor_image_reply_t* x11_cursor_image_reply(Display* display) {
    xcb_connection_t* connection = XGetXCBConnection(display);
    xcb_xfixes_get_cursor_image_cookie_t cookie{};
    if (cursor_asked.connection == connection) {
        cookie = cursor_asked.cookie;
        cursor_asked = CursorAsked{};
    } else {
        x11_drop_cursor_asked();
        cookie = xcb_xfixes_get_cursor_image(connection);
    }
    xcb_generic_error_t* error = nullptr;
    xcb_xfixes_get_cursor_image_reply_t* reply =
        xcb_xfixes_get_cursor_image_reply(connection, cookie, &error);
    std::free(error);
    return reply;
}

void x11_drop_cursor_asked() {
    if (cursor_asked.connection != nullptr) {
        xcb_discard_reply(cursor_asked.connection, cursor_asked.cookie.sequence);
        cursor_asked = CursorAsked{};
    }
}
