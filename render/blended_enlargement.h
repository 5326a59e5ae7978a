// The blended mode's enlargement of each tick: the capture enlarged by 3/2 or 5/2 into the
// enlargement surface that the platform shows frames from. Portable core: no OS header.
#pragma once

#include <vector>

#include "vocabulary/frame.h"
#include "vocabulary/surface.h"

// Enlarges the W x H capture (bottom-up) into view_state's upscale surface: all of it at first,
// then only the block rows whose pixels differ from the capture enlarged last, since each block is
// made from its own 2x2 pixels alone. Returns the upscale surface's storage rows written. Writes
// nothing when either surface lacks pixel memory or the scale is neither 3 nor 5.
std::vector<RowSpan> enlarge_capture(const Surface& capture);
