// The frame tick's arithmetic: where the pointer is read, which bands go black, where the cursor
// image is drawn. Portable core: no OS header.
#include "render/frame_geometry.h"

#include <cstddef>
#include <cstdint>
#include <limits>

#include "vocabulary/int32_math.h"
#include "vocabulary/modes.h"

namespace {

constexpr std::int64_t INT32_LOWEST = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t INT32_HIGHEST = std::numeric_limits<std::int32_t>::max();

// Returns the coordinate raised to `low`, then lowered to `low + size - 1`; the raise comes first,
// so an empty size leaves the coordinate just before `low`.
std::int32_t clamp_axis(std::int32_t value, std::int32_t low, std::int32_t size) {
    std::int64_t clamped = value;
    if (clamped < low) {
        clamped = low;
    }
    const std::int64_t high = static_cast<std::int64_t>(low) + size - 1;
    if (clamped > high) {
        clamped = high;
    }
    return saturate_int32(clamped);
}

// Adds the band unless its size is negative (the image is larger than the screen and must stay as
// drawn) or its position does not fit 32 bits (it would lie wholly off a screen of negative size).
void add_band(BorderBands& result, std::int64_t x, std::int64_t y, std::int32_t width,
              std::int32_t height) {
    if (width < 0 || height < 0) {
        return;
    }
    if (x < INT32_LOWEST || x > INT32_HIGHEST || y < INT32_LOWEST || y > INT32_HIGHEST) {
        return;
    }
    Rect band;
    band.x = static_cast<std::int32_t>(x);
    band.y = static_cast<std::int32_t>(y);
    band.width = width;
    band.height = height;
    result.bands[static_cast<std::size_t>(result.count)] = band;
    ++result.count;
}

// Returns a product of two sizes as the 32-bit value the window system receives.
std::int32_t times(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(std::int64_t{a} * b));
}

}  // namespace

Point clamp_pointer(Point pointer, Point origin, std::int32_t W, std::int32_t H) {
    Point clamped;
    clamped.x = clamp_axis(pointer.x, origin.x, W);
    clamped.y = clamp_axis(pointer.y, origin.y, H);
    return clamped;
}

Point client_point(Point screen_point, Point origin) {
    return Point{saturate_int32(std::int64_t{screen_point.x} - origin.x),
                 saturate_int32(std::int64_t{screen_point.y} - origin.y)};
}

Frame frame_of(const ViewState& v, Point origin, Point client, const CursorRecord& cursor) {
    Frame frame;
    frame.mode = v.stretch;
    frame.source = Rect{origin.x, origin.y, v.W, v.H};
    const Point offset{v.offset_x, v.offset_y};
    switch (v.stretch) {
    case STRETCH_WHOLE:
        frame.factor = v.scale;
        frame.image = Rect{offset.x, offset.y, times(v.scale, v.W), times(v.scale, v.H)};
        break;
    case STRETCH_BLENDED:
        frame.factor = v.scale;
        frame.image = Rect{offset.x, offset.y, v.upscale.width, v.upscale.height};
        frame.enlargement = v.upscale;
        break;
    case STRETCH_FIT:
        frame.image = Rect{offset.x, offset.y, v.fit_w, v.fit_h};
        break;
    default:
        break;
    }
    frame.bands = border_bands(v.SW, v.SH, v.offset_x, v.offset_y);
    if (v.mouse_trs != CURSOR_NONE) {
        const CursorPlacement placement = cursor_position(
            v.stretch, v.scale, v.offset_x, v.offset_y, v.fit_w, v.W, client, cursor.hot_x,
            cursor.hot_y);
        if (placement.draw) {
            frame.cursor = cursor.image;
            frame.cursor_at = placement.at;
        }
    }
    return frame;
}

BorderBands border_bands(std::int32_t SW, std::int32_t SH, std::int32_t offset_x,
                         std::int32_t offset_y) {
    BorderBands result;
    // The far bands start at the screen edge less the offset, not at the image's far edge, so an
    // odd margin leaves one column or row between them unpainted.
    if (offset_x != 0) {
        add_band(result, 0, 0, offset_x, SH);
        add_band(result, static_cast<std::int64_t>(SW) - offset_x, 0, offset_x, SH);
    }
    if (offset_y != 0) {
        add_band(result, 0, 0, SW, offset_y);
        add_band(result, 0, static_cast<std::int64_t>(SH) - offset_y, SW, offset_y);
    }
    return result;
}

CursorPlacement cursor_position(std::int32_t stretch, std::int32_t scale, std::int32_t offset_x,
                                std::int32_t offset_y, std::int32_t fit_w, std::int32_t W,
                                Point client, std::int32_t hot_x, std::int32_t hot_y) {
    CursorPlacement placement;
    if (W <= 0) {
        return placement;
    }
    const std::int64_t cx = client.x;
    const std::int64_t cy = client.y;
    switch (stretch) {
    case STRETCH_WHOLE:
        placement.at.x = saturate_int32(offset_x + scale * cx - hot_x);
        placement.at.y = saturate_int32(offset_y + scale * cy - hot_y);
        break;
    case STRETCH_BLENDED:
        // The enlarged position is halved before the offset is added: the factor is scale/2.
        placement.at.x = saturate_int32(offset_x + (scale * cx) / 2 - hot_x);
        placement.at.y = saturate_int32(offset_y + (scale * cy) / 2 - hot_y);
        break;
    case STRETCH_FIT: {
        // One ratio for both axes: the fit keeps the aspect, so the width's ratio serves the
        // height too. The sum is truncated only at the end, so -0.8125 lands on 0, not -1.
        const double r = static_cast<double>(fit_w) / static_cast<double>(W);
        placement.at.x = truncate_int32(static_cast<double>(client.x) * r +
                                        static_cast<double>(offset_x) - static_cast<double>(hot_x));
        placement.at.y = truncate_int32(static_cast<double>(client.y) * r +
                                        static_cast<double>(offset_y) - static_cast<double>(hot_y));
        break;
    }
    default:
        return placement;
    }
    placement.draw = true;
    return placement;
}
