// Cursor image acquisition in the four cursor modes: a grab of the pointer image under the pointer
// (once at the pick, or every tick), the standard arrow, or nothing.
// Portable core: no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/modes.h"

// How long the GUI thread waits for a grab thread before it goes on without it.
constexpr std::uint32_t GRAB_WAIT_MS = 10000;

// Starts the cursor grab thread, waits for its end for at most GRAB_WAIT_MS and closes its handle
// in any case; a thread that outlives the wait may still publish its image later.
void run_cursor_grab();

// Takes the platform's standard arrow and its hot spot as the cursor image.
void set_up_standard_arrow();

// Prepares the cursor image at the pick for the modes that take it once: a grab in mode 0, the
// arrow in mode 2.
void prepare_cursor_at_pick(std::int32_t mouse_trs);
