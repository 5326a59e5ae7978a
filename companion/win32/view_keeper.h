// What the companion does while a view runs on Windows: keeps the pointer on the shown window and
// ends the view on Windows key + Escape, both on a hook thread of its own. Started by MySetHook,
// stopped by MyEndHook.
#pragma once

// Starts the hook thread, which installs the low-level keyboard hook and clips the pointer to the
// capture rectangle that the shared profile names, and returns once both are in place. Also
// watches the calling (GUI) thread for the quit message that ends its loop, and stops then, should
// MyEndHook never come. Does nothing when already running.
void view_keeper_start();

// Ends the hook thread and waits for its end: the hook is removed and the clip lifted. Does
// nothing when not running.
void view_keeper_stop();

// Lifts the clip if the process ends with the view still running and its loop never took a quit
// message: called as the library is unloaded.
void view_keeper_unload();
