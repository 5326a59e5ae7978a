// The blended frame: capture, enlargement by 3/2 or 5/2, and the copy to the overlay.
// Portable core: no OS header.
#pragma once

#include "render/frame_geometry.h"
#include "vocabulary/handles.h"

// Copies the W x H pixels at the capture origin from the screen into the capture source surface,
// enlarges them into the upscale surface (once it holds an enlargement, only the block rows whose
// pixels changed) and copies the result to the overlay at the offsets. Does nothing when the scale
// is neither 3 nor 5, or when either surface has no pixel memory.
void fractional_frame(DrawContext screen, DrawContext overlay, Point capture_origin);
