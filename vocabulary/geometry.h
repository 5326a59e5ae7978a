// Points and rectangles in screen and client coordinates, as every part of the system passes them.
// Bottom layer: includes nothing else of ours and no OS header.
#pragma once

#include <cstdint>

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(Point a, Point b) { return a.x == b.x && a.y == b.y; }
};

// A rectangle by its top-left corner and size.
struct Rect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const Rect& a, const Rect& b) {
        return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
    }
};

// A rectangle as the window system reports it: right and bottom are exclusive.
struct Box {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};
