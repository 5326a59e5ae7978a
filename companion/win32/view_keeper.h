// What the companion does while a view runs on Windows: keeps the pointer on the shown window and
// ends the view on Windows key + Escape. Started by MySetHook, stopped by MyEndHook.
#pragma once

// Clips the pointer to the capture rectangle that the shared profile names, starts the timer that
// keeps the clip there and installs the keyboard hook; on the calling thread, which must pump
// messages (the program's GUI thread does). Does nothing when already running.
void view_keeper_start();

// Removes the timer and the hook and lifts the clip; does nothing when not running.
void view_keeper_stop();

// Lifts the clip if the process ends while the view runs (a quit message that never reached
// MyEndHook): called as the library is unloaded.
void view_keeper_unload();
