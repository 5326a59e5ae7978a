// What the companion does while a view runs on X11: keeps the pointer on the shown window and ends
// the view on Super+Escape. Started by MySetHook, stopped by MyEndHook.
#pragma once

// Opens a connection of its own, reads the view from the shared profile, puts up the pointer's
// fences and the key grab, and starts the thread that keeps them; does nothing when already running
// or when the display cannot be opened.
void view_keeper_start();

// Stops the thread and takes down everything it put up; does nothing when it is not running.
void view_keeper_stop();
