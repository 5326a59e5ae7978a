// Conversions between the seam's opaque handles and the Win32 handles they stand for, and what the
// backend's files share. Only the Windows backend and its tests include this header.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/platform.h"

// A WindowHandle carries the HWND's value; 0 is no window.
inline HWND to_hwnd(WindowHandle window) { return reinterpret_cast<HWND>(window.value); }

inline WindowHandle from_hwnd(HWND window) {
    return WindowHandle{reinterpret_cast<std::uintptr_t>(window)};
}

// The other handles are the Win32 handles themselves, cast to the seam's pointer types.
inline HICON to_hicon(CursorImage image) { return reinterpret_cast<HICON>(image); }

inline CursorImage from_hicon(HICON image) { return reinterpret_cast<CursorImage>(image); }

inline HINSTANCE to_hinstance(InstanceHandle instance) {
    return reinterpret_cast<HINSTANCE>(instance);
}

inline InstanceHandle from_hinstance(HINSTANCE instance) {
    return reinterpret_cast<InstanceHandle>(instance);
}

inline HANDLE to_handle(ThreadHandle thread) { return reinterpret_cast<HANDLE>(thread); }

inline ThreadHandle from_handle(HANDLE thread) { return reinterpret_cast<ThreadHandle>(thread); }

inline POINT to_point(Point point) { return POINT{point.x, point.y}; }

inline Point from_point(POINT point) {
    return Point{static_cast<std::int32_t>(point.x), static_cast<std::int32_t>(point.y)};
}

inline Box from_rect(const RECT& rect) {
    return Box{static_cast<std::int32_t>(rect.left), static_cast<std::int32_t>(rect.top),
               static_cast<std::int32_t>(rect.right), static_cast<std::int32_t>(rect.bottom)};
}

// Removes the low-level hooks that wait for the pick (the mouse's, and the keyboard's that watches
// the exit key meanwhile), if they are there.
void win32_remove_pick_hook();

// The exit key while the program waits for its click (win32_exit_key.cpp): a low-level keyboard
// hook that posts WIN32_EXIT_KEY_MESSAGE to the overlay at Windows key + Escape; false when it
// cannot be set. The overlay then masks the Windows key, so that the Start menu does not open.
constexpr UINT WIN32_EXIT_KEY_MESSAGE = WM_APP + 1;
bool win32_watch_exit_key(HWND overlay);
void win32_stop_watching_exit_key();
void win32_mask_windows_key();

// The loop's timers (win32_timer.cpp): posts the WM_TIMER of the first timer that is due and says
// whether there was one; arms the waitable timer for the next one and returns it in
// *timer with INFINITE, or no timer and how long the loop may wait (INFINITE without timers).
bool win32_run_due_timer();
DWORD win32_arm_timer(HANDLE* timer);

// Leaves the window out of screen captures (WDA_EXCLUDEFROMCAPTURE) where Windows can and says
// whether it now is; elsewhere the window's affinity stays none.
bool win32_exclude_from_capture(HWND window);

// The blended mode's capture (win32_draw.cpp): copies what the screen shows beneath the overlay,
// size at origin, into the capture surface (made at that size) and returns it.
Surface win32_capture(Point origin, Size size);
// Draws a frame into the overlay's context from the screen's (platform_present takes both).
void win32_present_in(HDC overlay, HDC screen, const Frame& frame);

// The layered-attributes operation as user32 exports it.
using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

inline SetLayeredWindowAttributesFn to_layered_fn(LayeredAttributesOp operation) {
    return reinterpret_cast<SetLayeredWindowAttributesFn>(reinterpret_cast<void*>(operation));
}

inline LayeredAttributesOp from_layered_fn(FARPROC operation) {
    return reinterpret_cast<LayeredAttributesOp>(reinterpret_cast<void*>(operation));
}
