// The whole-factor stretch done by the server: the capture is composed in a picture of the
// server's and scaled by a RENDER transform with the nearest filter straight onto the overlay, so
// that no pixel crosses the connection. Destination d takes source d / k, as the client's stretch:
// the transform samples pixel d at its centre, (d + 1/2) / k, whose floor is d / k for a whole k.
// The bands are filled and the cursor composed over the image there too, with the same rounding as
// the client's blend (both round each channel's product to nearest and saturate the sum). Only what
// changed is sent: the rows damage reports, the cursor when it or what lies under it changed, and
// bands that are not black already.
#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

#include <algorithm>
#include <vector>

#include "platform/x11/x11_platform.h"
#include "platform/x11/x11_tick_timing.h"

namespace {

struct DrawnCursor {
    bool valid = false;
    Point at;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> argb;

    Rect area() const { return Rect{at.x, at.y, width, height}; }
    bool operator==(const DrawnCursor& other) const {
        return valid == other.valid && (!valid || (at == other.at && width == other.width &&
                                                   height == other.height && argb == other.argb));
    }
};

struct ServerOverlay {
    bool active = false;  // the overlay is drawn here
    Window window = 0;
    Picture picture = 0;
    Picture source = 0;  // the capture's picture as last transformed
    std::int32_t factor = 0;
    bool known = false;  // the overlay shows the scaled capture at `place`
    Rect place;
    std::vector<Rect> black;   // areas filled black with nothing drawn over since
    std::vector<Rect> remade;  // areas drawn in this frame
    bool sent = false;         // this frame sent requests
    DrawnCursor drawn;         // the cursor the overlay shows
    DrawnCursor wanted;        // the cursor of this frame
    // The cursor image in the server, as last sent.
    Pixmap cursor_pixmap = 0;
    Picture cursor_picture = 0;
    std::vector<std::uint32_t> cursor_sent;
    std::int32_t cursor_width = 0;
    std::int32_t cursor_height = 0;
} server;

Rect overlay_bounds() { return Rect{0, 0, x11.overlay_image.width, x11.overlay_image.height}; }

bool ensure_overlay_picture() {
    if (server.window == x11.overlay && server.picture != 0) {
        return true;
    }
    server = ServerOverlay{};
    XRenderPictFormat* format = XRenderFindVisualFormat(x11.display, x11.visual);
    if (x11.overlay == 0 || format == nullptr) {
        return false;
    }
    server.window = x11.overlay;
    server.picture = XRenderCreatePicture(x11.display, x11.overlay, format, 0, nullptr);
    return server.picture != 0;
}

// Sends the scaled image for `area` of the overlay (clipped to the image and the overlay).
void compose_image(const Rect& area) {
    const Rect part = x11_clip(x11_clip(area, server.place), overlay_bounds());
    if (part.width <= 0 || server.source == 0) {
        return;
    }
    XRenderComposite(x11.display, PictOpSrc, server.source, None, server.picture,
                     part.x - server.place.x, part.y - server.place.y, 0, 0, part.x, part.y,
                     static_cast<unsigned>(part.width), static_cast<unsigned>(part.height));
    server.remade.push_back(part);
    server.sent = true;
}

void fill_black(const Rect& area) {
    const Rect part = x11_clip(area, overlay_bounds());
    if (part.width <= 0) {
        return;
    }
    const XRenderColor black{0, 0, 0, 0xFFFF};
    XRenderFillRectangle(x11.display, PictOpSrc, server.picture, &black, part.x, part.y,
                         static_cast<unsigned>(part.width), static_cast<unsigned>(part.height));
    server.remade.push_back(part);
    server.sent = true;
}

// Sends the cursor image unless the server has it already.
bool send_cursor_image(const DrawnCursor& cursor) {
    if (server.cursor_picture != 0 && server.cursor_sent == cursor.argb &&
        server.cursor_width == cursor.width && server.cursor_height == cursor.height) {
        return true;
    }
    if (server.cursor_picture != 0) {
        XRenderFreePicture(x11.display, server.cursor_picture);
        XFreePixmap(x11.display, server.cursor_pixmap);
        server.cursor_picture = 0;
    }
    server.cursor_pixmap = XCreatePixmap(x11.display, x11.root, static_cast<unsigned>(cursor.width),
                                         static_cast<unsigned>(cursor.height), 32);
    XRenderPictFormat* format = XRenderFindStandardFormat(x11.display, PictStandardARGB32);
    server.cursor_picture =
        XRenderCreatePicture(x11.display, server.cursor_pixmap, format, 0, nullptr);
    std::vector<std::uint32_t> pixels = cursor.argb;
    XImage* image =
        XCreateImage(x11.display, x11.visual, 32, ZPixmap, 0,
                     reinterpret_cast<char*>(pixels.data()), static_cast<unsigned>(cursor.width),
                     static_cast<unsigned>(cursor.height), 32, cursor.width * 4);
    if (image == nullptr) {
        return false;
    }
    GC gc = XCreateGC(x11.display, server.cursor_pixmap, 0, nullptr);
    XPutImage(x11.display, server.cursor_pixmap, gc, image, 0, 0, 0, 0,
              static_cast<unsigned>(cursor.width), static_cast<unsigned>(cursor.height));
    XFreeGC(x11.display, gc);
    image->data = nullptr;  // the vector owns the pixels
    XDestroyImage(image);
    server.cursor_sent = cursor.argb;
    server.cursor_width = cursor.width;
    server.cursor_height = cursor.height;
    return true;
}

}  // namespace

bool x11_scale_active() { return server.active && server.window == x11.overlay; }

bool x11_scale_stretch(Rect to, Rect from) {
    server.active = false;
    if (from.width <= 0 || from.height <= 0 || to.width % from.width != 0 ||
        to.width / from.width != to.height / from.height || to.height % from.height != 0 ||
        !ensure_overlay_picture()) {
        return false;
    }
    server.active = true;
    const std::int32_t factor = to.width / from.width;
    tick_timing_mark(TickStage::capture_start);
    const std::uint8_t* fresh = nullptr;
    const Picture source = x11_capture_in_server(from.x, from.y, from.width, from.height, &fresh);
    tick_timing_mark(TickStage::capture_end);
    if (source == 0) {
        return true;  // nothing to show: the overlay keeps its last frame
    }
    if (source != server.source || factor != server.factor) {
        XTransform scale{{{XDoubleToFixed(1.0 / factor), 0, 0},
                          {0, XDoubleToFixed(1.0 / factor), 0},
                          {0, 0, XDoubleToFixed(1.0)}}};
        XRenderSetPictureTransform(x11.display, source, &scale);
        XRenderSetPictureFilter(x11.display, source, FilterNearest, nullptr, 0);
        server.source = source;
        server.factor = factor;
        server.known = false;
    }
    if (!server.known || fresh == nullptr || !(to == server.place)) {
        server.place = to;
        server.black.clear();
        server.drawn.valid = false;  // drawn over by the whole image or the bands to come
        compose_image(to);
    } else {
        for (std::int32_t top = 0; top < from.height; ++top) {
            if (fresh[top] == 0) {
                continue;
            }
            std::int32_t bottom = top + 1;
            while (bottom < from.height && fresh[bottom] != 0) {
                ++bottom;
            }
            compose_image(Rect{to.x, to.y + top * factor, to.width, (bottom - top) * factor});
            top = bottom;
        }
    }
    server.known = true;
    return true;
}

void x11_scale_fill_black(Rect area) {
    if (!x11_known_black(server.black, area)) {
        fill_black(area);
    }
}

void x11_scale_cursor(Point at, CursorImage image) {
    if (image == nullptr || image->width <= 0 || image->height <= 0) {
        return;
    }
    server.wanted.valid = true;
    server.wanted.at = at;
    server.wanted.width = image->width;
    server.wanted.height = image->height;
    server.wanted.argb = image->argb;
}

void x11_scale_present() {
    tick_timing_mark(TickStage::present_start);
    const bool under_drawn =
        std::any_of(server.remade.begin(), server.remade.end(), [](const Rect& r) {
            return (server.drawn.valid && x11_overlap(r, server.drawn.area())) ||
                   (server.wanted.valid && x11_overlap(r, server.wanted.area()));
        });
    if (!(server.wanted == server.drawn) || under_drawn) {
        if (server.drawn.valid) {  // what lay under the last cursor: a band or the image
            fill_black(server.drawn.area());
            compose_image(server.drawn.area());
        }
        if (server.wanted.valid && send_cursor_image(server.wanted)) {
            XRenderComposite(x11.display, PictOpOver, server.cursor_picture, None, server.picture,
                             0, 0, 0, 0, server.wanted.at.x, server.wanted.at.y,
                             static_cast<unsigned>(server.wanted.width),
                             static_cast<unsigned>(server.wanted.height));
            server.sent = true;
        }
        server.drawn = server.wanted;
    }
    // Sent, not waited for: no memory of ours is read by these requests, so the server works
    // through them while the program waits for its next tick.
    if (server.sent) {
        XFlush(x11.display);
    }
    server.wanted.valid = false;  // keeps its memory for the next frame
    server.remade.clear();
    server.sent = false;
    tick_timing_mark(TickStage::present_end);
}

void x11_scale_exposed() {
    server.known = false;
    server.black.clear();
    server.drawn.valid = false;
}
