// The shared profile's section and keys: the program writes the view there for the companion
// library, and anything on the machine (zrv5-exit, the companion's hotkey) may ask the view to end
// by setting "EXIT" to 1. Bottom layer: includes nothing else of ours and no OS header.
#pragma once

constexpr const char* PROFILE_SECTION = "Zarvo5";
constexpr const char* KEY_WINDOW = "HWND";  // the target's handle, 32 bits read as signed
constexpr const char* KEY_WIDTH = "W";      // the captured width
constexpr const char* KEY_HEIGHT = "H";     // the captured height
constexpr const char* KEY_EXIT = "EXIT";    // 1 asks the overlay to close; 0 at the pick

// The texts written to "EXIT": the pick clears the request, anyone may make it.
constexpr const char* EXIT_CLEARED = "0";
constexpr const char* EXIT_REQUESTED = "1";
