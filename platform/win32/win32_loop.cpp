// The GUI thread's message loop for the Windows backend: every message waiting is dispatched
// before the timers are looked at (as a window timer's WM_TIMER comes only once the queue is
// empty), then a due timer's WM_TIMER is posted, else the loop waits for either
// (MsgWaitForMultipleObjectsEx on the timer of win32_timer.cpp); and posting the quit message.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

std::int32_t platform_run_message_loop() {
    MSG message{};
    for (;;) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
            if (message.message == WM_QUIT) {
                // A quit posted from elsewhere ends the loop with the pick still awaited.
                win32_remove_pick_hook();
                return static_cast<std::int32_t>(message.wParam);
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (win32_run_due_timer()) {
            continue;
        }
        HANDLE timer = nullptr;
        const DWORD timeout = win32_arm_timer(&timer);
        // MWMO_INPUTAVAILABLE: input that a peek has seen but left in the queue also wakes it
        // ("MsgWaitForMultipleObjectsEx function").
        MsgWaitForMultipleObjectsEx(timer != nullptr ? 1 : 0, &timer, timeout, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

void platform_post_quit(std::int32_t code) { PostQuitMessage(code); }
