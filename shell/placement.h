// Applying the layout at the pick: the scale mode and placement into view_state, and the surfaces
// of the blended mode. Portable core: no OS header.
#pragma once

#include "vocabulary/handles.h"

// Chooses scale, effective stretch mode, offsets and fit size for the picked W x H and stores them;
// in the blended mode also creates the two surfaces (through the overlay's drawing context) and
// doubles the timer period.
void place_view(WindowHandle overlay);
