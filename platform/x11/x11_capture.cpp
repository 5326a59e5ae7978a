// The screen as it lies beneath the overlay. A copy of the screen itself would include the opaque
// overlay, so every child of the root is redirected offscreen (Composite, automatic: the server
// still shows them) and a capture composes the windows other than the overlay, bottom to top, from
// their own pixmaps into a pixmap of ours (RENDER), which is then read back. The questions about
// the windows go out in one batch (through the connection's XCB side) and cost one round trip, not
// two per window.
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrender.h>
#include <X11/extensions/shape.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <vector>

#include "platform/x11/x11_internal.h"

namespace {

// A picture of each window composed so far; reading through a window picture with IncludeInferiors
// takes the window's children along.
struct WindowPicture {
    Picture picture = 0;
    bool has_alpha = false;
};

std::unordered_map<Window, WindowPicture> pictures;

Pixmap canvas = 0;  // where the capture is composed
Picture canvas_picture = 0;
std::int32_t canvas_width = 0;
std::int32_t canvas_height = 0;
X11Image readback;  // the canvas read back

// Returns the visual of the screen with the given id, or null.
Visual* visual_of(VisualID id) {
    XVisualInfo wanted{};
    wanted.visualid = id;
    int count = 0;
    XVisualInfo* found = XGetVisualInfo(x11.display, VisualIDMask, &wanted, &count);
    Visual* visual = count > 0 ? found[0].visual : nullptr;
    if (found != nullptr) {
        XFree(found);
    }
    return visual;
}

// Returns the cached picture of the window, making one on first use.
const WindowPicture* picture_of(Window window, VisualID visual_id) {
    const auto found = pictures.find(window);
    if (found != pictures.end()) {
        return &found->second;
    }
    Visual* visual = visual_of(visual_id);
    if (visual == nullptr) {
        return nullptr;
    }
    XRenderPictFormat* format = XRenderFindVisualFormat(x11.display, visual);
    if (format == nullptr) {
        return nullptr;
    }
    XRenderPictureAttributes attributes{};
    attributes.subwindow_mode = IncludeInferiors;
    WindowPicture made;
    made.picture = XRenderCreatePicture(x11.display, window, format, CPSubwindowMode, &attributes);
    made.has_alpha = format->type == PictTypeDirect && format->direct.alphaMask != 0;
    return &pictures.emplace(window, made).first->second;
}

bool ensure_canvas(std::int32_t width, std::int32_t height) {
    if (canvas != 0 && canvas_width == width && canvas_height == height) {
        return true;
    }
    if (canvas != 0) {
        XRenderFreePicture(x11.display, canvas_picture);
        XFreePixmap(x11.display, canvas);
        canvas = 0;
    }
    canvas = XCreatePixmap(x11.display, x11.root, static_cast<unsigned>(width),
                           static_cast<unsigned>(height), static_cast<unsigned>(x11.depth));
    canvas_picture = XRenderCreatePicture(
        x11.display, canvas, XRenderFindVisualFormat(x11.display, x11.visual), 0, nullptr);
    canvas_width = width;
    canvas_height = height;
    return x11_create_image(readback, width, height);
}

// The part of the screen a capture reads, in root coordinates (right and bottom exclusive).
struct Area {
    int left;
    int top;
    int right;
    int bottom;
};

// What a capture needs to know of a top-level window: where it is, and its visual.
struct TopLevel {
    Window window = 0;
    int x = 0;  // the outer edge, border included
    int y = 0;
    int width = 0;  // inside the border
    int height = 0;
    int border = 0;
    VisualID visual = 0;
};

// Composes the part of one window (its border included) that falls into the visible part of the
// capture, whose top-left corner on the screen is (x, y).
void compose_window(const TopLevel& window, const Area& visible, std::int32_t x, std::int32_t y) {
    const int border = window.border;
    // The window's outer edge, border included; its picture's (0, 0) is inside the border.
    const int left = std::max(window.x, visible.left);
    const int top = std::max(window.y, visible.top);
    const int right = std::min(window.x + window.width + 2 * border, visible.right);
    const int bottom = std::min(window.y + window.height + 2 * border, visible.bottom);
    if (left >= right || top >= bottom) {
        return;
    }
    const WindowPicture* source = picture_of(window.window, window.visual);
    if (source == nullptr) {
        return;
    }
    XRenderComposite(x11.display, source->has_alpha ? PictOpOver : PictOpSrc, source->picture, None,
                     canvas_picture, left - window.x - border, top - window.y - border, 0, 0,
                     left - x, top - y, static_cast<unsigned>(right - left),
                     static_cast<unsigned>(bottom - top));
}

// The lists of each capture's window walk, kept from tick to tick with their memory.
std::vector<TopLevel> found;
std::vector<Window> windows;
std::vector<xcb_get_window_attributes_cookie_t> attribute_cookies;
std::vector<xcb_get_geometry_cookie_t> geometry_cookies;

// Returns the children of the root that a capture composes, bottom to top, the background window
// first: those viewable and InputOutput, other than the overlay. The tree is asked for, then every
// window's attributes and geometry in one batch; a window destroyed meanwhile answers with an
// error and is left out.
const std::vector<TopLevel>& top_levels() {
    found.clear();
    xcb_connection_t* connection = XGetXCBConnection(x11.display);
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(
        connection, xcb_query_tree(connection, static_cast<xcb_window_t>(x11.root)), nullptr);
    if (tree == nullptr) {
        return found;
    }
    windows.assign(1, x11.background_window);
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

}  // namespace

bool x11_start_capture() {
    // Before the overlay can cover anything: from here on every top-level window has its own
    // offscreen pixmap that a capture can read.
    XCompositeRedirectSubwindows(x11.display, x11.root, CompositeRedirectAutomatic);

    // The root's own background is not in any window's pixmap: a bottom-most window with a
    // ParentRelative background holds a copy of it. Redirected manually, the server never shows it,
    // and with an empty input shape nothing ever finds it at a point.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixmap = ParentRelative;
    x11.background_window =
        XCreateWindow(x11.display, x11.root, 0, 0, static_cast<unsigned>(x11.width),
                      static_cast<unsigned>(x11.height), 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect | CWBackPixmap, &attributes);
    XCompositeRedirectWindow(x11.display, x11.background_window, CompositeRedirectManual);
    XserverRegion empty = XFixesCreateRegion(x11.display, nullptr, 0);
    XFixesSetWindowShapeRegion(x11.display, x11.background_window, ShapeInput, 0, 0, empty);
    XFixesDestroyRegion(x11.display, empty);
    XMapWindow(x11.display, x11.background_window);
    XLowerWindow(x11.display, x11.background_window);

    // Destroyed windows' pictures are dropped as their destruction is reported.
    XSelectInput(x11.display, x11.root, SubstructureNotifyMask);
    XSync(x11.display, False);
    return x11_take_error() == 0;
}

Pixel* x11_capture(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                   std::ptrdiff_t* stride) {
    if (width <= 0 || height <= 0 || !ensure_canvas(width, height)) {
        return nullptr;
    }
    const XRenderColor black{0, 0, 0, 0xFFFF};
    XRenderFillRectangle(x11.display, PictOpSrc, canvas_picture, &black, 0, 0,
                         static_cast<unsigned>(width), static_cast<unsigned>(height));

    // Off the screen there is nothing to see, whatever a window's pixmap holds there.
    const Area visible{std::max(x, 0), std::max(y, 0), std::min(x + width, x11.width),
                       std::min(y + height, x11.height)};
    for (const TopLevel& window : top_levels()) {
        compose_window(window, visible, x, y);
    }

    if (!x11_get_image(readback, canvas)) {
        return nullptr;
    }
    // Read in place, without a copy; the pad byte of depth 24 is not ours.
    for (std::int32_t row = 0; row < height; ++row) {
        Pixel* pixels = readback.row(row);
        for (std::int32_t column = 0; column < width; ++column) {
            pixels[column] &= 0x00FFFFFFu;
        }
    }
    *stride = readback.stride();
    return readback.row(0);
}

void x11_capture_forget(Window window) {
    // The server freed the picture together with its window; freeing it again would be an error.
    pictures.erase(window);
}

void x11_stop_capture() {
    for (const auto& entry : pictures) {
        XRenderFreePicture(x11.display, entry.second.picture);
    }
    pictures.clear();
    x11_destroy_image(readback);
}
