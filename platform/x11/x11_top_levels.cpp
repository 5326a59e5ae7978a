// The windows a capture composes: the root's children, asked for with all their attributes and
// geometry in one batch (through the connection's XCB side), one round trip in all.
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <vector>

#include "platform/x11/x11_platform.h"

namespace {

// The lists of each capture's window walk, kept from tick to tick with their memory.
std::vector<TopLevel> found;
std::vector<Window> windows;
std::vector<xcb_get_window_attributes_cookie_t> attribute_cookies;
std::vector<xcb_get_geometry_cookie_t> geometry_cookies;

}  // namespace

// Returns the children of the root that a capture composes, bottom to top, the background window
// (where there is one) first: those viewable and InputOutput, other than the overlay. The tree is asked for, then every
// window's attributes and geometry in one batch; a window destroyed meanwhile answers with an
// error and is left out.
const std::vector<TopLevel>& x11_top_levels() {
    found.clear();
    xcb_connection_t* connection = XGetXCBConnection(x11.display);
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(
        connection, xcb_query_tree(connection, static_cast<xcb_window_t>(x11.root)), nullptr);
    if (tree == nullptr) {
        return found;
    }
    windows.clear();
    if (x11.background_window != 0) {
        windows.push_back(x11.background_window);
    }
    const xcb_window_t* children = xcb_query_tree_children(tree);
    const int count = xcb_query_tree_children_length(tree);
    for (int i = 0; i < count; ++i) {
        if (children[i] != x11.background_window && children[i] != x11.overlay) {
            windows.push_back(children[i]);
        }
    }
    std::free(tree);

    attribute_cookies.clear();
    geometry_cookies.clear();
    for (const Window window : windows) {
        const auto id = static_cast<xcb_window_t>(window);
        attribute_cookies.push_back(xcb_get_window_attributes(connection, id));
        geometry_cookies.push_back(xcb_get_geometry(connection, id));
    }
    for (std::size_t i = 0; i < windows.size(); ++i) {
        xcb_generic_error_t* error = nullptr;
        xcb_get_window_attributes_reply_t* attributes =
            xcb_get_window_attributes_reply(connection, attribute_cookies[i], &error);
        std::free(error);
        error = nullptr;
        xcb_get_geometry_reply_t* geometry =
            xcb_get_geometry_reply(connection, geometry_cookies[i], &error);
        std::free(error);
        if (attributes != nullptr && geometry != nullptr &&
            attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
            attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT) {
            found.push_back(TopLevel{windows[i], geometry->x, geometry->y, geometry->width,
                                     geometry->height, geometry->border_width, attributes->visual});
        }
        std::free(attributes);
        std::free(geometry);
    }
    return found;
}

const std::vector<TopLevel>& x11_known_top_levels() { return found; }

Window x11_structure_window(const XEvent& event) {
    switch (event.type) {
    case ConfigureNotify:
        return event.xconfigure.window;
    case MapNotify:
        return event.xmap.window;
    case UnmapNotify:
        return event.xunmap.window;
    case ReparentNotify:
        return event.xreparent.window;
    case CirculateNotify:
        return event.xcirculate.window;
    case GravityNotify:
        return event.xgravity.window;
    case DestroyNotify:
        return event.xdestroywindow.window;
    default:
        return 0;
    }
}
