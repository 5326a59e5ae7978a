// Creating a Surface: its bitmap, its memory context and its zeroed pixel memory.
// Portable core: no OS header; the handles are opaque.
#pragma once

#include <cstdint>

#include "vocabulary/handles.h"
#include "vocabulary/surface.h"

// Fills the record with a new bottom-up width x height surface compatible with `reference`: its
// bitmap, a memory context with the bitmap selected, and the pixel memory set to zero. A failed
// creation leaves a null bitmap, context or pixel pointer, and a surface without pixel memory is
// never drawn through.
void create_surface(Surface& surface, DrawContext reference, std::int32_t width,
                    std::int32_t height);
