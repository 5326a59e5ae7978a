// The pick: the first left-button release turns the window under it into the running view.
// Portable core: no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/handles.h"

// Handles a left-button release at the packed client point of the overlay. The first one picks the
// window under it, publishes the view, calls MySetHook, chooses the layout, prepares the cursor,
// makes the overlay opaque and starts timer 1; later ones do nothing. A click on the overlay
// itself, or on a window narrower or lower than 2 pixels, shows the error box and ends the program
// with exit code 1. Returns 0.
std::intptr_t pick_target(WindowHandle overlay, std::intptr_t packed_point);

// Shows the error box with `text` and, once it is closed, ends the program with exit code 1: an
// overlay with no view could otherwise only wait, invisible, to be destroyed from outside.
void refuse_view(WindowHandle overlay, const char* text);

// The error box's text when the platform cannot watch the mouse for the click that picks.
constexpr const char* PICK_UNWATCHED_TEXT =
    "ZRV5 cannot watch the mouse for the click that picks a window.";

// The frame timer's identifier.
constexpr std::uint32_t FRAME_TIMER_ID = 1;
