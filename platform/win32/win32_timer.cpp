// The overlay's timer for the Windows backend: a window timer whose WM_TIMER messages the loop
// dispatches to the overlay. Windows makes a WM_TIMER only when the queue holds nothing else and
// keeps at most one pending per timer, so a tick that overruns is followed by at most one more and
// missed periods are not made up.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

void platform_set_timer(WindowHandle window, std::uint32_t id, std::int32_t period_ms) {
    // The period goes over bit for bit: Windows raises periods below its minimum and lowers those
    // above its maximum (a negative period reads as a very large one).
    SetTimer(to_hwnd(window), id, static_cast<UINT>(period_ms), nullptr);
}

void platform_kill_timer(WindowHandle window, std::uint32_t id) { KillTimer(to_hwnd(window), id); }
