// What the core and a backend tell each other at every tick: the answer to the tick's one question
// (TargetLook) and the frame to present (Frame), and a pointer image with its hot spot.
// Bottom layer: includes nothing else of ours and no OS header.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "vocabulary/geometry.h"
#include "vocabulary/handles.h"
#include "vocabulary/surface.h"

struct Size {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The answer to the tick's question about its target.
struct TargetLook {
    bool exists = false;
    Point origin;     // the capture origin: the top-left of the target's client area on the screen
    Point pointer;    // the pointer on the screen
    Surface capture;  // what the screen shows beneath the overlay at the origin, when asked for
};

// Rows of a surface, from `first` for `count` rows.
struct RowSpan {
    std::int32_t first = 0;
    std::int32_t count = 0;
};

// The black bands painted after the image, in painting order: left, right, top, bottom.
struct BorderBands {
    std::array<Rect, 4> bands;
    int count = 0;
};

// One frame of the view, as the core computes it and a backend presents it.
struct Frame {
    // The effective stretch mode (0 a whole factor, 1 blended, 2 aspect fit); with any other the
    // frame has no image and no cursor.
    std::int32_t mode = 0;
    // The whole factor in mode 0; the scale in halves (3 or 5) in mode 1; 1 in mode 2.
    std::int32_t factor = 1;
    // The capture: the target's client area on the screen, W x H at the capture origin.
    Rect source;
    // Where the enlarged capture lies in the overlay; it may reach past the overlay's edges.
    Rect image;
    // Mode 1: the enlargement (its pixels null when there is none to show) and its storage rows
    // written since the last frame presented.
    Surface enlargement;
    std::vector<RowSpan> enlarged_rows;
    BorderBands bands;
    // The cursor image (none draws nothing) with its top-left corner in the overlay.
    CursorImage cursor = nullptr;
    Point cursor_at;
};

// A pointer image and its hot spot, the distance from the image's top-left corner to the point
// that the pointer's position names.
struct PointerImage {
    bool found = false;  // a window lay under the pointer and its image could be reached
    CursorImage image = nullptr;
    std::int32_t hot_x = 0;
    std::int32_t hot_y = 0;
};
