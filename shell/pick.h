// The pick: the first whole click (or a window named) turns the window into the running view.
// Portable core: no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/geometry.h"
#include "vocabulary/handles.h"

// The pick at the release of the whole click, at a point of the screen: the first one picks the
// window under it, publishes the view, calls MySetHook, chooses the layout, prepares the cursor,
// makes the overlay opaque and starts timer 1; later ones do nothing. A click on the overlay
// itself, or on a window narrower or lower than 2 pixels, shows the error box and ends the program
// with exit code 1.
void pick_at(WindowHandle overlay, Point screen_point);

// The same pick of a window named rather than clicked.
void pick_window(WindowHandle overlay, WindowHandle window);

// Shows the error box with `text` and, once it is closed, ends the program with exit code 1: an
// overlay with no view could otherwise only wait, invisible, to be destroyed from outside.
void refuse_view(WindowHandle overlay, const char* text);

// The error box's text when the platform cannot watch the mouse for the click that picks.
constexpr const char* PICK_UNWATCHED_TEXT =
    "ZRV5 cannot watch the mouse for the click that picks a window.";

// The frame timer's identifier.
constexpr std::uint32_t FRAME_TIMER_ID = 1;

// The timer that polls the exit request while the program waits for its click (or shows the error
// box of a refused one), and how often: zrv5-exit ends a zrv5 that has no view yet.
constexpr std::uint32_t WAIT_POLL_TIMER_ID = 2;
constexpr std::int32_t WAIT_POLL_MS = 250;

// Clears an exit request left in the shared profile before this program started (by zrv5-exit
// after an earlier view, which leaves it there), so that it does not end the wait; writes nothing
// when there is none.
void forget_stale_exit_request();

// The wait's poll: destroys the overlay when the exit request asks for it (the program then ends
// with 0 while it waits for its click, with 1 while the error box of a refused pick shows).
void poll_exit_while_waiting(WindowHandle overlay);
