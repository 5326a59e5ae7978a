// Pointer images on X11: the server's current one (XFIXES), read on the grab thread's own
// connection in one round trip; the standard arrow is the cursor theme's "left_ptr", or an
// embedded arrow when no theme is installed.
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "platform/x11/x11_arrow.h"
#include "platform/x11/x11_platform.h"

namespace {

std::once_flag arrow_loaded;
PlatformCursorImage standard_arrow;

void load_embedded_arrow(PlatformCursorImage& image) {
    image.width = EMBEDDED_ARROW_WIDTH;
    image.height = EMBEDDED_ARROW_HEIGHT;
    image.hot_x = EMBEDDED_ARROW_HOT_X;
    image.hot_y = EMBEDDED_ARROW_HOT_Y;
    image.argb.clear();
    for (const char* row : EMBEDDED_ARROW_ROWS) {
        for (std::int32_t x = 0; x < EMBEDDED_ARROW_WIDTH; ++x) {
            image.argb.push_back(embedded_arrow_pixel(row[x]));
        }
    }
}

void load_standard_arrow() {
    standard_arrow.shared = true;
    Display* display = x11_thread_display();
    XcursorImage* themed = display == nullptr
                               ? nullptr
                               : XcursorLibraryLoadImage("left_ptr", XcursorGetTheme(display),
                                                         XcursorGetDefaultSize(display));
    if (themed == nullptr) {
        load_embedded_arrow(standard_arrow);
        return;
    }
    standard_arrow.width = static_cast<std::int32_t>(themed->width);
    standard_arrow.height = static_cast<std::int32_t>(themed->height);
    standard_arrow.hot_x = static_cast<std::int32_t>(themed->xhot);
    standard_arrow.hot_y = static_cast<std::int32_t>(themed->yhot);
    standard_arrow.argb.assign(themed->pixels, themed->pixels + themed->width * themed->height);
    XcursorImageDestroy(themed);
}

}  // namespace

PointerImage platform_copy_pointer_image() {
    // The pointer image is the server's, whatever window lies under the pointer: there always is
    // one, the root at least.
    PointerImage copied;
    copied.found = true;
    Display* display = x11_thread_display();
    if (display == nullptr) {
        return copied;
    }
    xcb_connection_t* connection = XGetXCBConnection(display);
    xcb_xfixes_get_cursor_image_reply_t* reply = xcb_xfixes_get_cursor_image_reply(
        connection, xcb_xfixes_get_cursor_image(connection), nullptr);
    if (reply == nullptr) {
        return copied;
    }
    auto* image = new PlatformCursorImage;
    image->width = reply->width;
    image->height = reply->height;
    image->hot_x = reply->xhot;
    image->hot_y = reply->yhot;
    // 32-bit premultiplied ARGB, as many as the reply holds (a well-formed one holds them all).
    const std::uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(reply);
    const auto count = static_cast<std::size_t>(
        std::max(0, xcb_xfixes_get_cursor_image_cursor_image_length(reply)));
    const std::size_t area = static_cast<std::size_t>(reply->width) * reply->height;
    image->argb.assign(area, 0);
    std::copy(pixels, pixels + std::min(count, area), image->argb.begin());
    std::free(reply);
    copied.image = image;
    copied.hot_x = image->hot_x;
    copied.hot_y = image->hot_y;
    return copied;
}

void platform_release_cursor(CursorImage image) {
    if (image != nullptr && !image->shared) {
        delete image;
    }
}

PointerImage platform_standard_arrow() {
    std::call_once(arrow_loaded, load_standard_arrow);
    return PointerImage{true, &standard_arrow, standard_arrow.hot_x, standard_arrow.hot_y};
}
