// What a frame holds, computed from the view's state and the tick's answers as a pure function:
// the pointer clamp, the image's place, the black border bands and the cursor's position.
// Portable core: no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/frame.h"
#include "vocabulary/geometry.h"
#include "vocabulary/view_state.h"

// Returns the pointer clamped to the W x H capture rectangle at `origin`, each axis by itself,
// first raised to the origin, then lowered to origin + size - 1.
Point clamp_pointer(Point pointer, Point origin, std::int32_t W, std::int32_t H);

// Returns a screen point in the client coordinates of the window whose client area starts at
// `origin` (saturated to 32 bits).
Point client_point(Point screen_point, Point origin);

// Returns the border bands for the offsets: the left and right bands when offset_x is not 0, the
// top and bottom bands when offset_y is not 0, each spanning the whole screen. A band of negative
// width or height is left out, so an image larger than the screen stays as drawn.
BorderBands border_bands(std::int32_t SW, std::int32_t SH, std::int32_t offset_x,
                         std::int32_t offset_y);

// Where the cursor image goes: its top-left corner, or nothing.
struct CursorPlacement {
    bool draw = false;
    Point at;
};

// Returns the top-left corner of the cursor image for the pointer at client (cx, cy) so that its
// hot spot lands on the enlarged pointer position, for stretch 0 (whole), 1 (blended) and 2
// (aspect fit, in double precision, truncated toward zero). Any other stretch, or a W of 0 or less,
// places no cursor.
CursorPlacement cursor_position(std::int32_t stretch, std::int32_t scale, std::int32_t offset_x,
                                std::int32_t offset_y, std::int32_t fit_w, std::int32_t W,
                                Point client, std::int32_t hot_x, std::int32_t hot_y);

// Returns the frame of the view `v` for a capture at `origin` with the pointer at `client` (in the
// target's client coordinates, clamped) and the cursor record to draw: the effective mode and
// factor, the capture rectangle, the image's place (a product past 32 bits wraps as the window
// system's sizes do), the bands, and the cursor (none in cursor mode 3, or when no place is
// computed). The blended mode's enlargement is v.upscale; its rows written are the tick's to add.
Frame frame_of(const ViewState& v, Point origin, Point client, const CursorRecord& cursor);
