// Drawing contexts on X11. The overlay's context is a client-side image of the whole overlay,
// presented when the context is given back (x11_present.cpp); the screen's context is read through
// the capture (what lies beneath the overlay); a memory context is a bottom-up bitmap of our own.
// Copies between them go through the stretch rasteriser (x11_client_stretch.cpp).
#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/x11/x11_client_stretch.h"
#include "platform/x11/x11_platform.h"
#include "platform/x11/x11_tick_timing.h"

namespace {

enum class ContextKind { overlay, screen, memory };

}  // namespace

RowChanges x11_overlay_changes;

void x11_overlay_remade() {
    // An image of rows the changes do not follow yet is taken as unknown and sent whole.
    x11_overlay_changes.rows.clear();
}

struct PlatformDrawContext {
    ContextKind kind = ContextKind::memory;
    PlatformBitmap* bitmap = nullptr;  // a memory context's selected bitmap
};

namespace {

PlatformDrawContext overlay_context{ContextKind::overlay, nullptr};
PlatformDrawContext screen_context{ContextKind::screen, nullptr};

StretchScratch stretch_scratch;
std::vector<std::uint8_t> no_rows;  // a filter's destination rows, none of them drawn over

// What the overlay's image holds between frames: the stretch of `image_from` of the capture or of
// a bitmap (`image_bitmap`) into `image_place` (when `image_known`), and over it the cursor in the
// stale rows.
struct OverlayImage {
    bool image_known = false;
    Rect image_place;
    PlatformBitmap* image_bitmap = nullptr;  // none for the capture
    Rect image_from;
    std::vector<std::uint8_t> stale;  // rows drawn over since the image was made
    std::vector<Rect> black;          // rectangles filled black with nothing drawn over since
    bool server_drew = false;         // the last frame was drawn by the server (x11_server_scale.cpp)
} overlay_image;

// Forgets what the overlay's image holds, for an image of `height` rows.
void forget_overlay_image(std::int32_t height) {
    overlay_image = OverlayImage{};
    overlay_image.stale.assign(static_cast<std::size_t>(height), 0);
}

// Forgets the black rectangles that a drawing into `area` of the overlay may have touched.
void drawn_over(const Rect& area) {
    std::vector<Rect>& black = overlay_image.black;
    black.erase(std::remove_if(black.begin(), black.end(),
                               [&area](const Rect& r) { return x11_overlap(r, area); }),
                black.end());
}

// Notes that the overlay's row y was drawn over after the image.
void note_stale(const PixelView& view, std::int32_t y) {
    if (view.changes != nullptr) {
        overlay_image.stale[static_cast<std::size_t>(y)] = 1;
    }
}

// Marks rows first .. last - 1 of the bitmap's view changed, and its capture no longer whole.
void bitmap_written(PlatformBitmap* bitmap, std::int32_t first, std::int32_t last) {
    bitmap->capture = 0;
    first = std::max(first, 0);
    last = std::min(last, bitmap->height);
    if (first < last) {
        std::fill(bitmap->changed.begin() + first, bitmap->changed.begin() + last, std::uint8_t{1});
    }
}

PlatformBitmap* bitmap_of(DrawContext context) {
    return context != nullptr && context->kind == ContextKind::memory ? context->bitmap : nullptr;
}

PixelView view_of_bitmap(PlatformBitmap* bitmap) {
    if (bitmap == nullptr || bitmap->pixels.empty()) {
        return PixelView{};
    }
    // Bottom-up storage read top-down: start at the last storage row and step backwards.
    PixelView view{
        bitmap->pixels.data() + static_cast<std::ptrdiff_t>(bitmap->height - 1) * bitmap->width,
        -static_cast<std::ptrdiff_t>(bitmap->width), bitmap->width, bitmap->height};
    view.written = bitmap->changed.data();
    return view;
}

// Returns the pixels a context draws into; none for the screen, which is only ever read.
PixelView destination_view(DrawContext context) {
    if (context == &overlay_context) {
        const X11Image& image = x11.overlay_image;
        if (image.image == nullptr || x11.overlay == 0) {
            return PixelView{};
        }
        x11_present_wait();  // the server may still be reading the last present's rows
        if (x11_overlay_changes.rows.size() != static_cast<std::size_t>(image.height)) {
            forget_overlay_image(image.height);
        }
        x11_overlay_changes.follow(image.height);
        return PixelView{image.row(0), image.stride(), image.width, image.height,
                         &x11_overlay_changes};
    }
    if (context != nullptr && context->kind == ContextKind::memory) {
        return view_of_bitmap(context->bitmap);
    }
    return PixelView{};
}

// Returns the pixels of the source rectangle `from` of a context, with `from` moved into the view's
// coordinates: the screen is captured just for that rectangle.
PixelView source_view(DrawContext context, Rect& from) {
    if (context == &screen_context) {
        if (from.width <= 0 || from.height <= 0) {
            return PixelView{};
        }
        tick_timing_mark(TickStage::capture_start);
        std::ptrdiff_t stride = 0;
        const std::uint8_t* fresh = nullptr;
        Pixel* pixels = x11_capture(from.x, from.y, from.width, from.height, &stride, &fresh);
        tick_timing_mark(TickStage::capture_end);
        if (pixels == nullptr) {
            return PixelView{};  // nothing to show: the overlay keeps its last frame
        }
        from.x = 0;
        from.y = 0;
        // The pad byte of depth 24 is not ours.
        return PixelView{pixels, stride, from.width, from.height, nullptr, fresh, 0x00FFFFFFu};
    }
    return destination_view(context);
}

// Copies into a memory context's bitmap; the stretch notes the rows it makes. A copy of the same
// screen rectangle to the same place as the bitmap's last, with nothing written into it since,
// makes only the rows read anew by this capture.
void copy_into_bitmap(const PixelView& out, PlatformBitmap* bitmap, Rect to, const PixelView& in,
                      Rect from, Rect screen_from, bool from_screen) {
    const std::uint64_t number = x11_capture_number();
    const bool known = bitmap != nullptr && from_screen && in.fresh != nullptr &&
                       bitmap->capture != 0 && bitmap->capture + 1 == number &&
                       bitmap->capture_from == screen_from && bitmap->capture_to == to;
    no_rows.assign(static_cast<std::size_t>(out.height), 0);
    const RowFilter only{in.fresh, no_rows.data()};
    stretch(out, to, in, from, stretch_scratch, known ? &only : nullptr);
    if (bitmap != nullptr) {
        bitmap->capture = from_screen && in.base != nullptr ? number : 0;
        bitmap->capture_from = screen_from;
        bitmap->capture_to = to;
    }
}

}  // namespace

DrawContext platform_get_context(WindowHandle window) {
    if (window.value == 0) {
        return &screen_context;
    }
    if (window.value == x11.overlay) {
        return &overlay_context;
    }
    return nullptr;
}

void platform_release_context(WindowHandle, DrawContext context) {
    if (context == &overlay_context && x11_scale_active()) {
        x11_scale_present();
    } else if (context == &overlay_context) {
        x11_present_changes();
    }
}

void platform_stretch_copy(DrawContext destination, Rect to, DrawContext source, Rect from) {
    const PixelView out = destination_view(destination);
    if (out.base == nullptr) {
        return;
    }
    if (destination == &overlay_context && source == &screen_context &&
        x11_scale_stretch(to, from)) {
        // The overlay's image no longer holds what the server shows.
        forget_overlay_image(out.height);
        overlay_image.server_drew = true;
        tick_timing_mark(TickStage::image_end);
        return;
    }
    if (destination == &overlay_context && overlay_image.server_drew) {
        // Back from the server's drawing: all of the image goes to the server.
        std::fill(out.changes->rows.begin(), out.changes->rows.end(), RowChanges::CHANGED);
        out.changes->any = true;
        overlay_image.server_drew = false;
    }
    const Rect asked_from = from;  // before source_view moves it into the capture's coordinates
    const PixelView in = source_view(source, from);
    if (destination != &overlay_context) {
        copy_into_bitmap(out, bitmap_of(destination), to, in, from, asked_from,
                         source == &screen_context);
        return;
    }
    // The rows drawn over are made again, and compared with what the server shows only once the
    // frame is done: on a still picture the cursor is drawn again where it was.
    OverlayImage& image = overlay_image;
    for (std::int32_t y = 0; y < out.height; ++y) {
        if (image.stale[static_cast<std::size_t>(y)] != 0) {
            out.changes->hold(out, y);
        }
    }
    // Where the image is the same stretch of the same capture or bitmap, only the rows whose
    // source rows were read anew or written since are made again, and those drawn over.
    PlatformBitmap* bitmap = bitmap_of(source);
    const std::uint8_t* fresh = bitmap != nullptr ? bitmap->changed.data() : in.fresh;
    const bool known = image.image_known && fresh != nullptr && to == image.image_place &&
                       bitmap == image.image_bitmap && from == image.image_from;
    drawn_over(to);
    const RowFilter only{fresh, image.stale.data()};
    stretch(out, to, in, from, stretch_scratch, known ? &only : nullptr);
    std::fill(image.stale.begin(), image.stale.end(), std::uint8_t{0});
    if (bitmap != nullptr) {
        std::fill(bitmap->changed.begin(), bitmap->changed.end(), std::uint8_t{0});
    }
    image.image_known = (source == &screen_context || bitmap != nullptr) && in.base != nullptr;
    image.image_place = to;
    image.image_bitmap = bitmap;
    image.image_from = from;
    tick_timing_mark(TickStage::image_end);
}

void platform_copy(DrawContext destination, Point to, DrawContext source, Point from,
                   std::int32_t width, std::int32_t height) {
    platform_stretch_copy(destination, Rect{to.x, to.y, width, height}, source,
                          Rect{from.x, from.y, width, height});
}

void platform_fill_black(DrawContext destination, Rect area) {
    if (destination == &overlay_context && x11_scale_active()) {
        if (area.width > 0 && area.height > 0) {
            x11_scale_fill_black(area);
        }
        return;
    }
    const PixelView out = destination_view(destination);
    if (out.base == nullptr || area.width <= 0 || area.height <= 0) {
        return;
    }
    const Rect part = x11_clip(area, Rect{0, 0, out.width, out.height});
    if (part.width <= 0) {
        return;
    }
    if (PlatformBitmap* bitmap = bitmap_of(destination)) {
        bitmap_written(bitmap, part.y, part.y + part.height);
    }
    // The bands of a still frame are black already; they are looked at again only once something
    // has been drawn over them.
    if (out.changes != nullptr && x11_known_black(overlay_image.black, area)) {
        return;
    }
    for (std::int32_t y = part.y; y < part.y + part.height; ++y) {
        Pixel* first = out.row(y) + part.x;
        Pixel* last = first + part.width;
        if (out.changes == nullptr) {
            std::fill(first, last, Pixel{0});
        } else if (std::any_of(first, last, [](Pixel p) { return p != 0; })) {
            std::fill(first, last, Pixel{0});
            out.changes->mark(y);
            note_stale(out, y);
        }
    }
}

// Blends one premultiplied ARGB pixel over an opaque one: each channel is the source's plus the
// destination's share of what the source leaves through, rounded to nearest.
Pixel blend_premultiplied(std::uint32_t source, Pixel destination) {
    const std::uint32_t alpha = source >> 24;
    if (alpha == 0xFF) {
        return source & 0x00FFFFFFu;
    }
    const std::uint32_t through = 0xFF - alpha;
    Pixel result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const std::uint32_t s = (source >> shift) & 0xFF;
        const std::uint32_t d = (destination >> shift) & 0xFF;
        const std::uint32_t channel = std::min<std::uint32_t>(s + (d * through + 127) / 255, 0xFF);
        result |= channel << shift;
    }
    return result;
}

void platform_draw_cursor(DrawContext destination, Point at, CursorImage image) {
    if (destination == &overlay_context && x11_scale_active()) {
        x11_scale_cursor(at, image);
        return;
    }
    const PixelView out = destination_view(destination);
    if (out.base == nullptr || image == nullptr) {
        return;
    }
    const std::int32_t first_column = std::max(0, -at.x);
    const std::int32_t last_column = std::min(image->width, out.width - at.x);
    const std::int32_t first_row = std::max(0, -at.y);
    const std::int32_t last_row = std::min(image->height, out.height - at.y);
    if (first_column >= last_column || first_row >= last_row) {
        return;
    }
    if (out.changes != nullptr) {
        drawn_over(Rect{at.x, at.y, image->width, image->height});
    }
    if (PlatformBitmap* bitmap = bitmap_of(destination)) {
        bitmap_written(bitmap, at.y + first_row, at.y + last_row);
    }
    for (std::int32_t y = first_row; y < last_row; ++y) {
        const std::uint32_t* in =
            image->argb.data() + static_cast<std::ptrdiff_t>(y) * image->width;
        Pixel* row = out.row(at.y + y) + at.x;
        bool changed = false;
        bool drawn = false;
        for (std::int32_t x = first_column; x < last_column; ++x) {
            if ((in[x] >> 24) != 0 || (in[x] & 0x00FFFFFFu) != 0) {
                const Pixel blended = blend_premultiplied(in[x], row[x]);
                changed = changed || blended != row[x];
                drawn = true;
                row[x] = blended;
            }
        }
        if (changed && out.changes != nullptr) {
            out.changes->mark(at.y + y);
        }
        if (drawn) {
            note_stale(out, at.y + y);
        }
    }
}

BitmapHandle platform_create_bitmap(DrawContext, std::int32_t width, std::int32_t height,
                                    Pixel** pixels) {
    *pixels = nullptr;
    // The largest bitmap a 32-bit size field can describe, as the platform's own bitmaps.
    if (width <= 0 || height <= 0 ||
        std::int64_t{width} * height > std::numeric_limits<std::int32_t>::max() / 4) {
        return nullptr;
    }
    auto* bitmap = new PlatformBitmap;
    bitmap->width = width;
    bitmap->height = height;
    bitmap->pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    bitmap->changed.assign(static_cast<std::size_t>(height), 1);
    *pixels = bitmap->pixels.data();
    return bitmap;
}

DrawContext platform_create_memory_context(DrawContext) { return new PlatformDrawContext; }

void platform_delete_memory_context(DrawContext context) {
    if (context != nullptr && context->kind == ContextKind::memory) {
        delete context;
    }
}

void platform_select_bitmap(DrawContext context, BitmapHandle bitmap) {
    if (context != nullptr && context->kind == ContextKind::memory) {
        context->bitmap = bitmap;
    }
}

void platform_note_written(DrawContext context, std::int32_t first, std::int32_t count) {
    PlatformBitmap* bitmap = bitmap_of(context);
    if (bitmap == nullptr || count <= 0) {
        return;
    }
    // Storage rows are bottom-up: storage row r is row height - 1 - r of the view.
    const std::int64_t last = std::int64_t{bitmap->height} - first;
    const std::int64_t top = last - count;
    bitmap_written(bitmap, static_cast<std::int32_t>(std::max<std::int64_t>(top, 0)),
                   static_cast<std::int32_t>(std::clamp<std::int64_t>(last, 0, bitmap->height)));
}

void platform_delete_bitmap(BitmapHandle bitmap) {
    if (overlay_image.image_bitmap == bitmap) {
        overlay_image.image_known = false;  // another bitmap may come at the same address
        overlay_image.image_bitmap = nullptr;
    }
    delete bitmap;
}
