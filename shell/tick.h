// The frame tick: one enlarged frame of the target window per period of timer 1.
// Portable core: no OS header.
#pragma once

#include "vocabulary/handles.h"

// Asks whether the target exists (the overlay put back on top, the capture origin and the pointer
// with the answer), presents one frame (image, black bands, cursor), then polls the exit request;
// destroys the overlay when the target is gone (without presenting) or the exit request reads 1.
void frame_tick(WindowHandle overlay);
