// The frame tick's arithmetic: the pointer clamp, the black border bands and the cursor position.
// Portable core: no OS header.
#pragma once

#include <array>
#include <cstdint>

#include "vocabulary/geometry.h"

// Returns the pointer clamped to the W x H capture rectangle at `origin`, each axis by itself,
// first raised to the origin, then lowered to origin + size - 1.
Point clamp_pointer(Point pointer, Point origin, std::int32_t W, std::int32_t H);

// The bands to paint black after the image, in painting order: left, right, top, bottom.
struct BorderBands {
    std::array<Rect, 4> bands;
    int count = 0;
};

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
