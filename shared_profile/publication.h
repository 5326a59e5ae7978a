// The core's side of the shared profile: the section that names the view for the companion library,
// and the exit request that anyone on the machine can write there. Portable core: no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/handles.h"

// Writes "HWND", "W", "H" and "EXIT" = "0", in that order, then calls MySetHook.
void publish_view(WindowHandle target, std::int32_t W, std::int32_t H);

// Returns whether the shared profile's "EXIT" key asks the overlay to close (reads the value 1).
bool exit_requested_by_profile();
