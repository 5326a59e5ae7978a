// The companion's two operations for the in-process Windows tests: each call is counted, and
// MySetHook notes what the shared profile held when it was called.
#pragma once

#include <string>

struct CompanionCalls {
    int set_hook = 0;
    int end_hook = 0;
    std::string window_at_set_hook;  // "HWND" in the shared profile when MySetHook ran
    std::string exit_at_set_hook;    // "EXIT" in the shared profile when MySetHook ran
};

extern CompanionCalls companion_calls;
