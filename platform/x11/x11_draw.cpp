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

// The part of the overlay drawn since the last present, clipped to the overlay.
struct Dirty {
    std::int32_t left = std::numeric_limits<std::int32_t>::max();
    std::int32_t top = std::numeric_limits<std::int32_t>::max();
    std::int32_t right = std::numeric_limits<std::int32_t>::min();
    std::int32_t bottom = std::numeric_limits<std::int32_t>::min();
    bool empty() const { return left >= right || top >= bottom; }
    void add(Rect area) {
        if (area.width <= 0 || area.height <= 0) {
            return;
        }
        const std::int64_t x = area.x;
        const std::int64_t y = area.y;
        left =
            static_cast<std::int32_t>(std::min<std::int64_t>(left, std::max<std::int64_t>(x, 0)));
        top = static_cast<std::int32_t>(std::min<std::int64_t>(top, std::max<std::int64_t>(y, 0)));
        right = static_cast<std::int32_t>(
            std::max<std::int64_t>(right, std::min<std::int64_t>(x + area.width, x11.width)));
        bottom = static_cast<std::int32_t>(
            std::max<std::int64_t>(bottom, std::min<std::int64_t>(y + area.height, x11.height)));
    }
} overlay_dirty;

std::vector<Pixel> screen_pixels;  // the capture a copy from the screen reads

// Pixels seen top-down whatever their storage: row y starts at base + y * stride.
struct PixelView {
    Pixel* base = nullptr;
    std::ptrdiff_t stride = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
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
        return PixelView{image.row(0), image.stride(), image.width, image.height};
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
        screen_pixels.resize(static_cast<std::size_t>(from.width) *
                             static_cast<std::size_t>(from.height));
        tick_timing_mark(TickStage::capture_start);
        x11_capture(from.x, from.y, from.width, from.height, screen_pixels.data(), from.width);
        tick_timing_mark(TickStage::capture_end);
        from.x = 0;
        from.y = 0;
        return PixelView{screen_pixels.data(), from.width, from.width, from.height};
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

std::vector<std::int32_t> stretch_columns;  // the column table of the last stretch

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
    // The source column of every destination column, or -1 where it falls outside the source; the
    // table keeps its memory from tick to tick, so a tick of the same size allocates nothing.
    stretch_columns.resize(static_cast<std::size_t>(last_column - first_column));
    std::vector<std::int32_t>& columns = stretch_columns;
    bool all_inside = true;
    for (std::int32_t d = first_column; d < last_column; ++d) {
        const std::int32_t column = from.x + source_index(d, from.width, to.width);
        const bool inside = column >= 0 && column < source.width;
        columns[static_cast<std::size_t>(d - first_column)] = inside ? column : -1;
        all_inside = all_inside && inside;
    }
    const bool same_width = from.width == to.width && all_inside;
    // A whole-factor widening (the doubled typical run): each source column fills `factor`
    // neighbouring destination columns, written without the table.
    const std::int32_t factor = to.width / from.width;
    const bool whole_factor = all_inside && !same_width && to.width % from.width == 0;
    std::int32_t previous_row = -1;
    Pixel* previous_out = nullptr;
    for (std::int32_t d = first_row; d < last_row; ++d) {
        const std::int32_t row = from.y + source_index(d, from.height, to.height);
        if (row < 0 || row >= source.height) {
            continue;
        }
        Pixel* out = destination.row(to.y + d) + to.x + first_column;
        const auto count = static_cast<std::size_t>(last_column - first_column);
        if (row == previous_row && all_inside) {
            std::memcpy(out, previous_out, count * sizeof(Pixel));  // a repeated row
        } else if (same_width) {
            std::memmove(out, source.row(row) + columns[0], count * sizeof(Pixel));
        } else if (whole_factor) {
            replicate_columns(out, source.row(row), from.x, first_column, last_column, factor);
        } else {
            const Pixel* in = source.row(row);
            for (std::size_t i = 0; i < count; ++i) {
                if (columns[i] >= 0) {
                    out[i] = in[columns[i]];
                }
            }
        }
        previous_row = row;
        previous_out = out;
    }
}

void note_drawn(DrawContext destination, Rect area) {
    if (destination == &overlay_context) {
        overlay_dirty.add(area);
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
    if (context == &overlay_context && !overlay_dirty.empty()) {
        tick_timing_mark(TickStage::present_start);
        x11_present_overlay(overlay_dirty.left, overlay_dirty.top,
                            overlay_dirty.right - overlay_dirty.left,
                            overlay_dirty.bottom - overlay_dirty.top);
        tick_timing_mark(TickStage::present_end);
        overlay_dirty = Dirty{};
    }
}

void platform_stretch_copy(DrawContext destination, Rect to, DrawContext source, Rect from) {
    const PixelView out = destination_view(destination);
    if (out.base == nullptr) {
        return;
    }
    const PixelView in = source_view(source, from);
    stretch(out, to, in, from);
    note_drawn(destination, to);
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
        std::fill(out.row(y) + left, out.row(y) + right, Pixel{0});
    }
    note_drawn(destination, area);
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
        for (std::int32_t x = first_column; x < last_column; ++x) {
            if ((in[x] >> 24) != 0 || (in[x] & 0x00FFFFFFu) != 0) {
                row[x] = blend_premultiplied(in[x], row[x]);
            }
        }
    }
    note_drawn(destination, Rect{at.x, at.y, image->width, image->height});
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
