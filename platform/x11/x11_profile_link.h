// What the companion library may ask of the program it is loaded into on X11, besides the profile:
// two functions the executable exports. The companion declares them weak, so that it still loads
// into a program without them, and then behaves as if every profile write had succeeded.
#pragma once

extern "C" {
// Returns whether every write of this process to the shared profile has succeeded, so that its
// "HWND", "W" and "H" are the ones this process published. After a failed write they may be an
// older view's: the companion confines the pointer to no window then.
__attribute__((weak, visibility("default"))) bool zrv5_profile_is_current(void);

// Asks this process's view to end at its next tick, as "EXIT" = "1" in the profile does: for the
// exit hotkey when the profile cannot be written. Any thread may call it.
__attribute__((weak, visibility("default"))) void zrv5_request_exit(void);
}
