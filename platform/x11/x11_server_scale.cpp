// The whole-factor image, drawn by the server: the capture is composed in a picture of the
// server's and scaled by a RENDER transform with the nearest filter straight onto the overlay, so
// that no pixel crosses the connection. Destination d takes source d / k, as a stretching copy
// does: the transform samples pixel d at its centre, (d + 1/2) / k, whose floor is d / k for a
// whole k. Only the rows that damage reports are composed again.
#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

#include "platform/x11/x11_platform.h"
#include "platform/x11/x11_tick_timing.h"

namespace {

Picture source = 0;  // the capture's picture as last transformed
std::int32_t source_factor = 0;
Rect source_place;  // where it is drawn on the overlay

// Composes the scaled capture for `area` of the overlay (clipped to the image).
void compose(Picture overlay, const Rect& area, std::vector<Rect>& drawn) {
    const Rect part = x11_clip(area, source_place);
    if (part.width <= 0 || source == 0) {
        return;
    }
    XRenderComposite(x11.display, PictOpSrc, source, None, overlay, part.x - source_place.x,
                     part.y - source_place.y, 0, 0, part.x, part.y,
                     static_cast<unsigned>(part.width), static_cast<unsigned>(part.height));
    drawn.push_back(part);
}

}  // namespace

bool x11_scale_image(Picture overlay, const Frame& frame, bool whole, std::vector<Rect>& drawn) {
    const Rect& from = frame.source;
    const std::int32_t factor = frame.factor;
    if (from.width <= 0 || from.height <= 0 || factor <= 0) {
        return false;
    }
    tick_timing_mark(TickStage::capture_start);
    const std::uint8_t* fresh = nullptr;
    const Picture captured =
        x11_capture_in_server(from.x, from.y, from.width, from.height, &fresh);
    tick_timing_mark(TickStage::capture_end);
    if (captured == 0) {
        return false;  // nothing to show: the overlay keeps its last frame
    }
    if (captured != source || factor != source_factor) {
        XTransform scale{{{XDoubleToFixed(1.0 / factor), 0, 0},
                          {0, XDoubleToFixed(1.0 / factor), 0},
                          {0, 0, XDoubleToFixed(1.0)}}};
        XRenderSetPictureTransform(x11.display, captured, &scale);
        XRenderSetPictureFilter(x11.display, captured, FilterNearest, nullptr, 0);
        source = captured;
        source_factor = factor;
        whole = true;
    }
    source_place = frame.image;
    if (whole || fresh == nullptr) {
        compose(overlay, frame.image, drawn);
        return true;
    }
    for (std::int32_t top = 0; top < from.height; ++top) {
        if (fresh[top] == 0) {
            continue;
        }
        std::int32_t bottom = top + 1;
        while (bottom < from.height && fresh[bottom] != 0) {
            ++bottom;
        }
        compose(overlay,
                Rect{frame.image.x, frame.image.y + top * factor, frame.image.width,
                     (bottom - top) * factor},
                drawn);
        top = bottom;
    }
    return true;
}

void x11_scale_restore(Picture overlay, const Rect& area, std::vector<Rect>& drawn) {
    compose(overlay, area, drawn);
}
