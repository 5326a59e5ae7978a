// The screen as it lies beneath the overlay. A copy of the screen itself would include the opaque
// overlay, so every child of the root is redirected offscreen (Composite, automatic: the server
// still shows them) and a capture composes the windows other than the overlay, bottom to top, from
// their own pixmaps into a pixmap of ours (RENDER), which is then read back.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrender.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <unordered_map>

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

// Returns the cached picture of the window, making one on first use.
const WindowPicture* picture_of(Window window, Visual* visual) {
    const auto found = pictures.find(window);
    if (found != pictures.end()) {
        return &found->second;
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

// Composes the part of one window (its border included) that falls into the visible part of the
// capture, whose top-left corner on the screen is (x, y).
void compose_window(Window window, const XWindowAttributes& attributes, const Area& visible,
                    std::int32_t x, std::int32_t y) {
    const int border = attributes.border_width;
    // The window's outer edge, border included; its picture's (0, 0) is inside the border.
    const int left = std::max(attributes.x, visible.left);
    const int top = std::max(attributes.y, visible.top);
    const int right = std::min(attributes.x + attributes.width + 2 * border, visible.right);
    const int bottom = std::min(attributes.y + attributes.height + 2 * border, visible.bottom);
    if (left >= right || top >= bottom) {
        return;
    }
    const WindowPicture* source = picture_of(window, attributes.visual);
    if (source == nullptr) {
        return;
    }
    XRenderComposite(x11.display, source->has_alpha ? PictOpOver : PictOpSrc, source->picture, None,
                     canvas_picture, left - attributes.x - border, top - attributes.y - border, 0,
                     0, left - x, top - y, static_cast<unsigned>(right - left),
                     static_cast<unsigned>(bottom - top));
}

bool composable(Window window, const XWindowAttributes& attributes) {
    return window != x11.overlay && attributes.map_state == IsViewable &&
           attributes.c_class == InputOutput;
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

void x11_capture(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                 Pixel* out, std::ptrdiff_t stride) {
    if (width <= 0 || height <= 0 || !ensure_canvas(width, height)) {
        return;
    }
    const XRenderColor black{0, 0, 0, 0xFFFF};
    XRenderFillRectangle(x11.display, PictOpSrc, canvas_picture, &black, 0, 0,
                         static_cast<unsigned>(width), static_cast<unsigned>(height));

    // Off the screen there is nothing to see, whatever a window's pixmap holds there.
    const Area visible{std::max(x, 0), std::max(y, 0), std::min(x + width, x11.width),
                       std::min(y + height, x11.height)};
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(x11.display, x11.background_window, &attributes)) {
        compose_window(x11.background_window, attributes, visible, x, y);
    }
    Window root_return = 0;
    Window parent_return = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(x11.display, x11.root, &root_return, &parent_return, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {  // bottom to top
            if (children[i] == x11.background_window) {
                continue;
            }
            if (XGetWindowAttributes(x11.display, children[i], &attributes) &&
                composable(children[i], attributes)) {
                compose_window(children[i], attributes, visible, x, y);
            }
        }
        XFree(children);
    }

    if (!x11_get_image(readback, canvas)) {
        return;
    }
    for (std::int32_t row = 0; row < height; ++row) {
        const Pixel* from = readback.row(row);
        Pixel* to = out + row * stride;
        for (std::int32_t column = 0; column < width; ++column) {
            to[column] = from[column] & 0x00FFFFFFu;  // the pad byte of depth 24 is not ours
        }
    }
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
