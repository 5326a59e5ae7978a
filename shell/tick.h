// The frame tick: one enlarged frame of the target window per timer message.
// Portable core: no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/handles.h"

// Draws one frame into the overlay — image, black borders, cursor — then polls the exit request;
// destroys the overlay when the target is gone (without drawing) or the exit request reads 1.
// Returns 0.
std::intptr_t frame_tick(WindowHandle overlay);
