// Drawing contexts on X11. The overlay's context is a client-side image of the whole overlay,
// presented when the context is given back; the screen's context is read through the capture
// (what lies beneath the overlay); a memory context is a bottom-up bitmap of our own. Copies
// between them repeat source pixels where they enlarge: destination d takes source d * source size
// / destination size, so a whole factor k gives exactly d / k.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/x11/x11_internal.h"
#include "platform/x11/x11_timing.h"

namespace {

enum class ContextKind { overlay, screen, memory };

}  // namespace

struct PlatformDrawContext {
    ContextKind kind = ContextKind::memory;
    PlatformBitmap* bitmap = nullptr;  // a memory context's selected bitmap
};

namespace {

PlatformDrawContext overlay_context{ContextKind::overlay, nullptr};
PlatformDrawContext screen_context{ContextKind::screen, nullptr};

// The rows of the overlay whose pixels changed since the last present; a present sends only these.
// Between ticks the overlay's image holds exactly what the server shows, so a row written again
// with the pixels it already holds needs no present: on a still picture only the rows under the
// cursor go to the server.
struct Changes {
    std::vector<std::uint8_t> rows;  // one flag per overlay row; sized once
    bool any = false;

    // Called with every view of the image: what the server shows of a new image is not known
    // yet, so the first present sends all of it.
    void follow(const X11Image& image) {
        if (rows.size() != static_cast<std::size_t>(image.height)) {
            rows.assign(static_cast<std::size_t>(image.height), 1);
            any = true;
        }
    }
    void mark(std::int32_t y) {
        rows[static_cast<std::size_t>(y)] = 1;
        any = true;
    }
    void clear() {
        std::fill(rows.begin(), rows.end(), std::uint8_t{0});
        any = false;
    }
} overlay_changes;

// Pixels seen top-down whatever their storage: row y starts at base + y * stride.
struct PixelView {
    Pixel* base = nullptr;
    std::ptrdiff_t stride = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    Changes* changes = nullptr;  // set for the overlay: writes note the rows they change
    Pixel* row(std::int32_t y) const { return base + y * stride; }
};

PixelView view_of_bitmap(PlatformBitmap* bitmap) {
    if (bitmap == nullptr || bitmap->pixels.empty()) {
        return PixelView{};
    }
    // Bottom-up storage read top-down: start at the last storage row and step backwards.
    return PixelView{
        bitmap->pixels.data() + static_cast<std::ptrdiff_t>(bitmap->height - 1) * bitmap->width,
        -static_cast<std::ptrdiff_t>(bitmap->width), bitmap->width, bitmap->height};
}

// Returns the pixels a context draws into; none for the screen, which is only ever read.
PixelView destination_view(DrawContext context) {
    if (context == &overlay_context) {
        const X11Image& image = x11.overlay_image;
        if (image.image == nullptr || x11.overlay == 0) {
            return PixelView{};
        }
        overlay_changes.follow(image);
        return PixelView{image.row(0), image.stride(), image.width, image.height, &overlay_changes};
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
        Pixel* pixels = x11_capture(from.x, from.y, from.width, from.height, &stride);
        tick_timing_mark(TickStage::capture_end);
        if (pixels == nullptr) {
            return PixelView{};  // nothing to show: the overlay keeps its last frame
        }
        from.x = 0;
        from.y = 0;
        return PixelView{pixels, stride, from.width, from.height};
    }
    if (context == &overlay_context) {
        return destination_view(context);
    }
    if (context != nullptr && context->kind == ContextKind::memory) {
        return view_of_bitmap(context->bitmap);
    }
    return PixelView{};
}

// Returns source index d * source / destination of destination offset d, in 64 bits.
std::int32_t source_index(std::int32_t d, std::int32_t source, std::int32_t destination) {
    return static_cast<std::int32_t>(std::int64_t{d} * source / destination);
}

std::vector<std::int32_t> stretch_columns;  // the column table of the last general stretch
std::vector<Pixel> row_scratch;             // a row of the overlay being made

// Writes destination columns first_column .. last_column - 1 (exclusive) of a whole-factor
// widening: column d takes source column first_source + d / factor, the same as the table gives
// (d * from / to is exactly d / factor), every one of them inside the source row `in`.
void replicate_columns(Pixel* out, const Pixel* in, std::int32_t first_source,
                       std::int32_t first_column, std::int32_t last_column, std::int32_t factor) {
    std::int32_t d = first_column;
    for (; d < last_column && d % factor != 0; ++d) {  // a group cut by the left edge
        *out++ = in[first_source + d / factor];
    }
    if (factor == 2) {
        for (; d + 2 <= last_column; d += 2) {
            const Pixel p = in[first_source + d / 2];
            out[0] = p;
            out[1] = p;
            out += 2;
        }
    } else {
        for (; d + factor <= last_column; d += factor) {
            const Pixel p = in[first_source + d / factor];
            for (std::int32_t k = 0; k < factor; ++k) {
                *out++ = p;
            }
        }
    }
    for (; d < last_column; ++d) {  // a group cut by the right edge
        *out++ = in[first_source + d / factor];
    }
}

// Puts `count` pixels into row y of the destination from column x on. The overlay's row is
// written only where it differs, and then noted as changed.
void put_row(const PixelView& destination, std::int32_t y, std::int32_t x, const Pixel* pixels,
             std::size_t count) {
    Pixel* out = destination.row(y) + x;
    if (out == pixels) {
        return;  // made in place
    }
    if (destination.changes == nullptr) {
        std::memmove(out, pixels, count * sizeof(Pixel));
    } else if (std::memcmp(out, pixels, count * sizeof(Pixel)) != 0) {
        std::memmove(out, pixels, count * sizeof(Pixel));
        destination.changes->mark(y);
    }
}

// Copies `from` of the source into `to` of the destination, repeating pixels where `to` is larger;
// destination pixels outside the destination and those whose source lies outside the source are
// left alone.
void stretch(const PixelView& destination, Rect to, const PixelView& source, Rect from) {
    if (destination.base == nullptr || source.base == nullptr || to.width <= 0 || to.height <= 0 ||
        from.width <= 0 || from.height <= 0) {
        return;
    }
    const std::int32_t first_column = std::max(0, -to.x);
    const std::int32_t last_column = std::min(to.width, destination.width - to.x);  // exclusive
    const std::int32_t first_row = std::max(0, -to.y);
    const std::int32_t last_row = std::min(to.height, destination.height - to.y);
    if (first_column >= last_column || first_row >= last_row) {
        return;
    }
    // Source columns grow with destination columns, so all of them lie inside the source when the
    // first and the last do.
    const std::int32_t first_source = from.x + source_index(first_column, from.width, to.width);
    const std::int32_t last_source = from.x + source_index(last_column - 1, from.width, to.width);
    const bool all_inside = first_source >= 0 && last_source < source.width;
    const bool same_width = from.width == to.width && all_inside;
    // A whole-factor widening (the doubled typical run): each source column fills `factor`
    // neighbouring destination columns.
    const std::int32_t factor = to.width / from.width;
    const bool whole_factor = all_inside && !same_width && to.width % from.width == 0;
    // Any other stretch goes through a table of the source column of every destination column, or
    // -1 where it falls outside the source. The table and the scratch row keep their memory from
    // tick to tick, so a tick of the same size allocates nothing.
    const auto count = static_cast<std::size_t>(last_column - first_column);
    row_scratch.resize(count);
    std::vector<std::int32_t>& columns = stretch_columns;
    if (!same_width && !whole_factor) {
        columns.resize(count);
        for (std::int32_t d = first_column; d < last_column; ++d) {
            const std::int32_t column = from.x + source_index(d, from.width, to.width);
            const bool inside = column >= 0 && column < source.width;
            columns[static_cast<std::size_t>(d - first_column)] = inside ? column : -1;
        }
    }
    const std::int32_t x = to.x + first_column;
    std::int32_t previous_row = -1;
    const Pixel* previous = nullptr;  // the pixels of the previous destination row
    for (std::int32_t d = first_row; d < last_row; ++d) {
        const std::int32_t row = from.y + source_index(d, from.height, to.height);
        if (row < 0 || row >= source.height) {
            continue;
        }
        const std::int32_t y = to.y + d;
        const Pixel* pixels = nullptr;
        if (row == previous_row && all_inside) {
            pixels = previous;  // a repeated row
        } else if (same_width) {
            pixels = source.row(row) + first_source;
        } else {
            // Made in place for a memory context, in the scratch row for the overlay.
            Pixel* made =
                destination.changes == nullptr ? destination.row(y) + x : row_scratch.data();
            const Pixel* in = source.row(row);
            if (whole_factor) {
                replicate_columns(made, in, from.x, first_column, last_column, factor);
            } else {
                if (made != destination.row(y) + x) {
                    std::memcpy(made, destination.row(y) + x, count * sizeof(Pixel));
                }
                for (std::size_t i = 0; i < count; ++i) {
                    if (columns[i] >= 0) {
                        made[i] = in[columns[i]];
                    }
                }
            }
            pixels = made;
        }
        put_row(destination, y, x, pixels, count);
        previous_row = row;
        previous = destination.row(y) + x;
    }
}

}  // namespace

void x11_present_overlay(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    const std::int32_t left = std::max(x, 0);
    const std::int32_t top = std::max(y, 0);
    const std::int32_t right = std::min(x + width, x11.overlay_image.width);
    const std::int32_t bottom = std::min(y + height, x11.overlay_image.height);
    if (x11.overlay == 0 || left >= right || top >= bottom) {
        return;
    }
    x11_put_image(x11.overlay_image, x11.overlay, x11.overlay_gc, left, top, right - left,
                  bottom - top);
    XSync(x11.display, False);
}

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
    Changes& changes = overlay_changes;
    if (context != &overlay_context) {
        return;
    }
    tick_timing_mark(TickStage::present_start);
    if (!changes.any) {
        tick_timing_mark(TickStage::present_end);
        return;
    }
    // Each run of changed rows in one request of whole rows (the server copies whole rows of its
    // shared memory faster than parts of them: 0.7 against 1.1 ms for 1280 of 1400 columns), all
    // of them before the one wait for the server.
    const auto rows = static_cast<std::int32_t>(changes.rows.size());
    for (std::int32_t top = 0; top < rows; ++top) {
        if (changes.rows[static_cast<std::size_t>(top)] == 0) {
            continue;
        }
        std::int32_t bottom = top + 1;
        while (bottom < rows && changes.rows[static_cast<std::size_t>(bottom)] != 0) {
            ++bottom;
        }
        if (x11.overlay != 0) {
            x11_put_image(x11.overlay_image, x11.overlay, x11.overlay_gc, 0, top,
                          x11.overlay_image.width, bottom - top);
        }
        top = bottom;
    }
    XSync(x11.display, False);
    tick_timing_mark(TickStage::present_end);
    changes.clear();
}

void platform_stretch_copy(DrawContext destination, Rect to, DrawContext source, Rect from) {
    const PixelView out = destination_view(destination);
    if (out.base == nullptr) {
        return;
    }
    const PixelView in = source_view(source, from);
    stretch(out, to, in, from);
    if (destination == &overlay_context) {
        tick_timing_mark(TickStage::image_end);
    }
}

void platform_copy(DrawContext destination, Point to, DrawContext source, Point from,
                   std::int32_t width, std::int32_t height) {
    platform_stretch_copy(destination, Rect{to.x, to.y, width, height}, source,
                          Rect{from.x, from.y, width, height});
}

void platform_fill_black(DrawContext destination, Rect area) {
    const PixelView out = destination_view(destination);
    if (out.base == nullptr || area.width <= 0 || area.height <= 0) {
        return;
    }
    const std::int32_t left = std::max(area.x, 0);
    const std::int32_t top = std::max(area.y, 0);
    const auto right = static_cast<std::int32_t>(
        std::min<std::int64_t>(std::int64_t{area.x} + area.width, out.width));
    const auto bottom = static_cast<std::int32_t>(
        std::min<std::int64_t>(std::int64_t{area.y} + area.height, out.height));
    if (left >= right || top >= bottom) {
        return;
    }
    for (std::int32_t y = top; y < bottom; ++y) {
        Pixel* first = out.row(y) + left;
        Pixel* last = out.row(y) + right;
        if (out.changes == nullptr) {
            std::fill(first, last, Pixel{0});
        } else if (std::any_of(first, last, [](Pixel p) { return p != 0; })) {
            std::fill(first, last, Pixel{0});
            out.changes->mark(y);
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
    for (std::int32_t y = first_row; y < last_row; ++y) {
        const std::uint32_t* in =
            image->argb.data() + static_cast<std::ptrdiff_t>(y) * image->width;
        Pixel* row = out.row(at.y + y) + at.x;
        bool changed = false;
        for (std::int32_t x = first_column; x < last_column; ++x) {
            if ((in[x] >> 24) != 0 || (in[x] & 0x00FFFFFFu) != 0) {
                const Pixel blended = blend_premultiplied(in[x], row[x]);
                changed = changed || blended != row[x];
                row[x] = blended;
            }
        }
        if (changed && out.changes != nullptr) {
            out.changes->mark(at.y + y);
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
    *pixels = bitmap->pixels.data();
    return bitmap;
}

DrawContext platform_create_memory_context(DrawContext) { return new PlatformDrawContext; }

void platform_select_bitmap(DrawContext context, BitmapHandle bitmap) {
    if (context != nullptr && context->kind == ContextKind::memory) {
        context->bitmap = bitmap;
    }
}

void platform_delete_bitmap(BitmapHandle bitmap) { delete bitmap; }
