// What the program and its companion library MouseHook agree on: the two operations the program
// calls, the two the Linux program exports for the companion, and the shared profile's section and
// keys through which the program names the view and anything on the machine may ask it to end.
// Bottom layer: includes nothing else of ours and no OS header.
#pragma once

// --- The companion's operations, linked at load time by name ---------------------------------

extern "C" {
// Called once, at a successful pick, after the shared profile names the view.
void MySetHook(void);
// Called on every destruction of the overlay, also when MySetHook never was.
void MyEndHook(void);
}

// --- What the Linux program exports for its companion ----------------------------------------

// Exported from the executable (visible to the shared object it loads); the companion declares its
// references weak, so that it still loads into a program without them and then behaves as if every
// profile write had succeeded.
#if defined(__ELF__)
#define ZRV5_HOST_EXPORT __attribute__((visibility("default")))
#else
#define ZRV5_HOST_EXPORT
#endif

extern "C" {
// Returns whether every write of this process to the shared profile has succeeded, so that its
// "HWND", "W" and "H" are the ones this process published. After a failed write they may be an
// older view's: the companion confines the pointer to no window then.
ZRV5_HOST_EXPORT bool zrv5_profile_is_current(void);

// Asks this process's view to end at its next tick, as "EXIT" = "1" in the profile does: for the
// exit hotkey when the profile cannot be written. Any thread may call it.
ZRV5_HOST_EXPORT void zrv5_request_exit(void);
}

// --- The shared profile ----------------------------------------------------------------------

constexpr const char* PROFILE_SECTION = "Zarvo5";
constexpr const char* KEY_WINDOW = "HWND";  // the target's handle, 32 bits read as signed
constexpr const char* KEY_WIDTH = "W";      // the captured width
constexpr const char* KEY_HEIGHT = "H";     // the captured height
constexpr const char* KEY_EXIT = "EXIT";    // 1 asks the overlay to close; 0 at the pick

// The texts written to "EXIT": the pick clears the request, anyone may make it.
constexpr const char* EXIT_CLEARED = "0";
constexpr const char* EXIT_REQUESTED = "1";
