// Presenting a frame on X11. Everything but the image's pixels is drawn by the server on the
// overlay: the black bands (RENDER fills, sent only where not black already) and the cursor
// (composed over the image from a picture of its own, sent only when it or what lies under it
// changed; what it covered is drawn again first). The image comes one of three ways, by the
// frame's mode: a whole factor scaled by the server from its own composition of the capture
// (x11_server_scale.cpp); an aspect fit stretched here into an image of the fit's size
// (x11_client_stretch.cpp); a blended enlargement, which the core writes straight into an image of
// ours (platform_enlargement_surface). Of those two images only the rows made anew are sent.
//
// A present does not wait for the server: from shared memory the server copies the rows while the
// loop goes on, and says so with one completion event per request. An image is drawn into again
// only once every one has come, which by the next tick they have.
#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

#include <algorithm>

#include "platform/x11/x11_platform.h"
#include "platform/x11/x11_tick_timing.h"

namespace {

// A cursor as drawn on the overlay.
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

// An image of ours placed on the overlay, and whether the overlay shows all of it.
struct ImageLayer {
    X11Image image;
    Rect place;
    bool shown = false;
};

// What the overlay shows, as far as this program knows.
struct Shown {
    Window window = 0;
    Picture picture = 0;  // the overlay's
    bool known = false;   // it shows the last frame's image and bands
    std::int32_t mode = -1;
    Rect place;
    BorderBands bands;
    std::vector<Rect> black;   // areas black with nothing drawn over since
    std::vector<Rect> remade;  // areas drawn in this frame
    DrawnCursor drawn;
    // The cursor image in the server, as last sent.
    Pixmap cursor_pixmap = 0;
    Picture cursor_picture = 0;
    std::vector<std::uint32_t> cursor_sent;
    std::int32_t cursor_width = 0;
    std::int32_t cursor_height = 0;
} shown;

ImageLayer enlargement;  // the blended mode's
ImageLayer fitted;       // the aspect fit's
std::vector<std::uint8_t> rows_made;
int presents_unread = 0;  // put requests whose completion has not come yet

bool is_completion(const XEvent& event) {
    return event.type == XShmGetEventBase(x11.display) + ShmCompletion;
}

Bool completion_predicate(Display*, XEvent* event, XPointer) {
    return is_completion(*event) ? True : False;
}

bool ensure_picture() {
    if (shown.window == x11.overlay && shown.picture != 0) {
        return true;
    }
    shown = Shown{};
    XRenderPictFormat* format = XRenderFindVisualFormat(x11.display, x11.visual);
    if (x11.overlay == 0 || format == nullptr) {
        return false;
    }
    shown.window = x11.overlay;
    shown.picture = XRenderCreatePicture(x11.display, x11.overlay, format, 0, nullptr);
    return shown.picture != 0;
}

Rect overlay_bounds() {
    const Box monitor = x11_monitor_box();
    return Rect{0, 0, monitor.right - monitor.left, monitor.bottom - monitor.top};
}

// Sends the part of the layer that falls into `area` of the overlay.
void put_layer(ImageLayer& layer, const Rect& area) {
    const Rect part = x11_clip(x11_clip(area, layer.place), overlay_bounds());
    if (part.width <= 0) {
        return;
    }
    if (x11_put_image(layer.image, x11.overlay, x11.overlay_gc, part.x - layer.place.x,
                      part.y - layer.place.y, part.x, part.y, part.width, part.height, true)) {
        ++presents_unread;
    }
    shown.remade.push_back(part);
}

void fill_black(const Rect& area) {
    const Rect part = x11_clip(area, overlay_bounds());
    if (part.width <= 0) {
        return;
    }
    const XRenderColor black{0, 0, 0, 0xFFFF};
    XRenderFillRectangle(x11.display, PictOpSrc, shown.picture, &black, part.x, part.y,
                         static_cast<unsigned>(part.width), static_cast<unsigned>(part.height));
    shown.remade.push_back(part);
}

// Returns whether `area` is among the areas known to be black; when not, it is noted as black
// from here on (as one of a few: the bands of a frame).
bool known_black(const Rect& area) {
    if (std::find(shown.black.begin(), shown.black.end(), area) != shown.black.end()) {
        return true;
    }
    if (shown.black.size() < 8) {
        shown.black.push_back(area);
    }
    return false;
}

// Draws again what `area` of the overlay shows beneath a cursor: the bands' parts and the image's.
// A part that is neither keeps what it showed, the cursor's pixels too, as on Windows, where
// nothing paints the row or column between an image and a band.
void restore(const Rect& area) {
    for (int i = 0; i < shown.bands.count; ++i) {
        const Rect part = x11_clip(area, shown.bands.bands[static_cast<std::size_t>(i)]);
        if (part.width > 0) {
            fill_black(part);
        }
    }
    if (shown.mode == 0) {
        x11_scale_restore(shown.picture, area, shown.remade);
    } else if (shown.mode == 1) {
        put_layer(enlargement, area);
    } else if (shown.mode == 2) {
        put_layer(fitted, area);
    }
}

// Sends the enlargement's storage rows written since the last frame; all of it when the overlay
// does not show it yet.
void present_enlargement(const Frame& frame, bool whole) {
    if (frame.enlargement.pixels == nullptr ||
        frame.enlargement.pixels != enlargement.image.bottom_up().pixels) {
        return;
    }
    enlargement.place = frame.image;
    if (whole || !enlargement.shown) {
        put_layer(enlargement, frame.image);
        enlargement.shown = true;
        return;
    }
    const std::int32_t height = enlargement.image.height;
    for (const RowSpan& rows : frame.enlarged_rows) {
        // Storage row r is row height - 1 - r of the image.
        const std::int32_t top = height - rows.first - rows.count;
        put_layer(enlargement,
                  Rect{frame.image.x, frame.image.y + top, frame.image.width, rows.count});
    }
}

// Stretches the capture into the fit's image, the rows whose capture rows were read anew (all
// when `whole`), and sends those.
void present_fit(const Frame& frame, bool whole) {
    const Rect& from = frame.source;
    if (frame.image.width <= 0 || frame.image.height <= 0) {
        return;
    }
    if (fitted.image.width != frame.image.width || fitted.image.height != frame.image.height) {
        x11_present_wait();  // the server may still be reading the old image
        x11_create_image(fitted.image, frame.image.width, frame.image.height);
        fitted.shown = false;
    }
    fitted.place = frame.image;
    tick_timing_mark(TickStage::capture_start);
    std::ptrdiff_t stride = 0;
    const std::uint8_t* fresh = nullptr;
    Pixel* captured = x11_capture(from.x, from.y, from.width, from.height, &stride, &fresh);
    tick_timing_mark(TickStage::capture_end);
    if (captured == nullptr || fitted.image.image == nullptr) {
        return;  // nothing to show: the overlay keeps its last frame
    }
    whole = whole || !fitted.shown;
    x11_present_wait();  // the server may still be reading the image's last rows
    const PixelRows out{fitted.image.row(0), fitted.image.stride(), fitted.image.width,
                        fitted.image.height};
    x11_stretch(out, PixelRows{captured, stride, from.width, from.height}, whole ? nullptr : fresh,
                rows_made);
    for (std::int32_t top = 0; top < out.height; ++top) {
        if (rows_made[static_cast<std::size_t>(top)] == 0) {
            continue;
        }
        std::int32_t bottom = top + 1;
        while (bottom < out.height && rows_made[static_cast<std::size_t>(bottom)] != 0) {
            ++bottom;
        }
        put_layer(fitted, Rect{frame.image.x, frame.image.y + top, frame.image.width,
                               bottom - top});
        top = bottom;
    }
    fitted.shown = true;
}

// Sends the cursor image unless the server has it already.
bool send_cursor_image(const DrawnCursor& cursor) {
    if (shown.cursor_picture != 0 && shown.cursor_sent == cursor.argb &&
        shown.cursor_width == cursor.width && shown.cursor_height == cursor.height) {
        return true;
    }
    if (shown.cursor_picture != 0) {
        XRenderFreePicture(x11.display, shown.cursor_picture);
        XFreePixmap(x11.display, shown.cursor_pixmap);
        shown.cursor_picture = 0;
    }
    shown.cursor_pixmap = XCreatePixmap(x11.display, x11.root, static_cast<unsigned>(cursor.width),
                                        static_cast<unsigned>(cursor.height), 32);
    XRenderPictFormat* format = XRenderFindStandardFormat(x11.display, PictStandardARGB32);
    shown.cursor_picture =
        XRenderCreatePicture(x11.display, shown.cursor_pixmap, format, 0, nullptr);
    std::vector<std::uint32_t> pixels = cursor.argb;
    XImage* image =
        XCreateImage(x11.display, x11.visual, 32, ZPixmap, 0,
                     reinterpret_cast<char*>(pixels.data()), static_cast<unsigned>(cursor.width),
                     static_cast<unsigned>(cursor.height), 32, cursor.width * 4);
    if (image == nullptr) {
        return false;
    }
    GC gc = XCreateGC(x11.display, shown.cursor_pixmap, 0, nullptr);
    XPutImage(x11.display, shown.cursor_pixmap, gc, image, 0, 0, 0, 0,
              static_cast<unsigned>(cursor.width), static_cast<unsigned>(cursor.height));
    XFreeGC(x11.display, gc);
    image->data = nullptr;  // the vector owns the pixels
    XDestroyImage(image);
    shown.cursor_sent = cursor.argb;
    shown.cursor_width = cursor.width;
    shown.cursor_height = cursor.height;
    return true;
}

// Draws the frame's cursor, after what the last one covered is drawn again; nothing when neither
// it nor what lies under it changed. The cursor's blend is the server's: each channel's product
// rounded to nearest and the sum saturated.
void present_cursor(const Frame& frame) {
    DrawnCursor wanted;
    const CursorImage image = frame.cursor;
    if (image != nullptr && image->width > 0 && image->height > 0) {
        wanted = DrawnCursor{true, frame.cursor_at, image->width, image->height, image->argb};
    }
    const bool under_remade =
        std::any_of(shown.remade.begin(), shown.remade.end(), [&wanted](const Rect& r) {
            return (shown.drawn.valid && x11_overlap(r, shown.drawn.area())) ||
                   (wanted.valid && x11_overlap(r, wanted.area()));
        });
    if (wanted == shown.drawn && !under_remade) {
        return;
    }
    if (shown.drawn.valid) {
        restore(shown.drawn.area());
    }
    if (wanted.valid && send_cursor_image(wanted)) {
        XRenderComposite(x11.display, PictOpOver, shown.cursor_picture, None, shown.picture, 0, 0,
                         0, 0, wanted.at.x, wanted.at.y, static_cast<unsigned>(wanted.width),
                         static_cast<unsigned>(wanted.height));
        // Drawn over whatever black area it touches.
        shown.black.erase(std::remove_if(shown.black.begin(), shown.black.end(),
                                         [&wanted](const Rect& r) {
                                             return x11_overlap(r, wanted.area());
                                         }),
                          shown.black.end());
    }
    shown.drawn = wanted;
}

}  // namespace

Surface platform_enlargement_surface(WindowHandle, std::int32_t width, std::int32_t height) {
    x11_present_wait();  // the server may still be reading the old image
    enlargement.shown = false;
    if (width <= 0 || height <= 0) {
        x11_destroy_image(enlargement.image);
        return Surface{};
    }
    if (!x11_create_image(enlargement.image, width, height)) {
        return Surface{};
    }
    return enlargement.image.bottom_up();
}

void platform_present(WindowHandle overlay, const Frame& frame) {
    if (overlay.value != x11.overlay || !ensure_picture()) {
        return;
    }
    shown.remade.clear();
    const bool whole = !shown.known || frame.mode != shown.mode || !(frame.image == shown.place);
    if (whole) {
        shown.black.clear();
        shown.drawn.valid = false;  // drawn over by the whole image or the bands to come
    }
    shown.mode = frame.mode;
    shown.place = frame.image;
    shown.bands = frame.bands;
    if (frame.mode == 0) {
        x11_scale_image(shown.picture, frame, whole, shown.remade);
    } else if (frame.mode == 1) {
        present_enlargement(frame, whole);
    } else if (frame.mode == 2) {
        present_fit(frame, whole);
    }
    tick_timing_mark(TickStage::image_end);
    for (int i = 0; i < frame.bands.count; ++i) {
        const Rect& band = frame.bands.bands[static_cast<std::size_t>(i)];
        if (!known_black(band)) {
            fill_black(band);
        }
    }
    present_cursor(frame);
    shown.known = true;
    XFlush(x11.display);
    tick_timing_mark(TickStage::present_end);
}

void x11_present_wait() {
    XEvent event;
    while (presents_unread > 0 &&
           XCheckIfEvent(x11.display, &event, completion_predicate, nullptr) == True) {
        --presents_unread;
    }
    if (presents_unread == 0) {
        return;
    }
    // Not all have come yet. A round trip makes sure that the server is done with every earlier
    // request, also with one that failed and so sends no completion.
    XSync(x11.display, False);
    while (XCheckIfEvent(x11.display, &event, completion_predicate, nullptr) == True) {
    }
    presents_unread = 0;
}

void x11_present_note(const XEvent& event) {
    if (presents_unread > 0 && is_completion(event)) {
        --presents_unread;
    }
}

void x11_present_exposed() {
    shown.known = false;
    enlargement.shown = false;
    fitted.shown = false;
}
