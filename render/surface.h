// The Surface record: a bottom-up block of 32-bit pixels with the drawing context that reaches it.
// Portable core: no OS header; the handles are opaque.
#pragma once

#include <cstdint>

#include "vocabulary/handles.h"
#include "vocabulary/pixel.h"

// Pixel memory is width x height words with no gap between rows, stored bottom-up: storage row 0 is
// the bottom image row and the pixel at storage row r, column c is word r * width + c.
struct Surface {
    BitmapHandle bitmap = nullptr;
    DrawContext context = nullptr;
    Pixel* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Fills the record with a new bottom-up width x height surface compatible with `reference`: its
// bitmap, a memory context with the bitmap selected, and the pixel memory set to zero. A failed
// creation leaves a null bitmap, context or pixel pointer, and a surface without pixel memory is
// never drawn through.
void create_surface(Surface& surface, DrawContext reference, std::int32_t width,
                    std::int32_t height);
