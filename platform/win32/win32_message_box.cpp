// The error box for the Windows backend: a plain MessageBoxA with one OK button. Its modal loop
// runs in place of the program's, which is what posts the program's due timers; so while the box
// shows, a thread timer of the window system's own does that (its procedure is called as the modal
// loop dispatches it: "SetTimer function", "TimerProc callback function"), and Windows key +
// Escape is watched as during the wait. The exit request's poll and the exit key destroy the
// overlay, and with it the box that it owns ("DestroyWindow function"), which ends the box.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

namespace {

// How often the box's timer looks for a due timer of the program's: a fraction of the exit
// request's poll, so the poll keeps its rate within the window system's timer resolution.
constexpr UINT BOX_TIMER_MS = 50;

void CALLBACK post_due_timer(HWND, UINT, UINT_PTR, DWORD) { win32_run_due_timer(); }

}  // namespace

void platform_message_box(WindowHandle owner, const char* text, const char* caption) {
    HWND overlay = to_hwnd(owner);
    const UINT_PTR box_timer = SetTimer(nullptr, 0, BOX_TIMER_MS, post_due_timer);
    win32_watch_exit_key(overlay);
    MessageBoxA(overlay, text, caption, MB_OK);
    win32_stop_watching_exit_key();
    if (box_timer != 0) {
        KillTimer(nullptr, box_timer);
    }
}
