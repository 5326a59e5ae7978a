// Applying the layout: at the pick, and again when the screen changes size under a running view.
// Portable core: no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/handles.h"

// Chooses scale, effective stretch mode, offsets and fit size for the picked W x H and stores them;
// in the blended mode also has the platform make the enlargement surface, and doubles the timer
// period.
void place_view(WindowHandle overlay);

// Takes the screen's new size and, when a view runs, chooses its layout again from the stretch
// setting as the pick did: the enlargement surface follows the new scale; the timer period stays as
// it runs.
void place_view_again(WindowHandle overlay, std::int32_t SW, std::int32_t SH);
