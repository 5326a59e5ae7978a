// The exit key while the program waits for its click: Windows key + Escape ends it, as it ends a
// view (the companion watches the key once a view runs), and no window sees that Escape. A
// low-level keyboard hook on the GUI thread, whose message loop runs meanwhile, decides by the
// rule the companion keeps too (vocabulary/exit_key.h) and only posts; the overlay's procedure
// then masks the Windows key and destroys the overlay. A hook that keeps the keyboard waiting past
// LowLevelHooksTimeout is removed without a word ("LowLevelKeyboardProc callback function").
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"
#include "vocabulary/exit_key.h"

namespace {

// A virtual key code that Windows leaves unassigned.
constexpr WORD UNASSIGNED_KEY = 0xE8;

struct WaitKey {
    HHOOK hook = nullptr;
    HWND overlay = nullptr;
    ExitKeyWatch exit_key;
};

WaitKey wait_key;

LRESULT CALLBACK on_wait_key(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
        const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        if (wait_key.exit_key.take(key->vkCode, down)) {
            if (wait_key.exit_key.pressed) {
                wait_key.exit_key.pressed = false;
                PostMessageA(wait_key.overlay, WIN32_EXIT_KEY_MESSAGE, 0, 0);
            }
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, message, data);
}

}  // namespace

bool win32_watch_exit_key(HWND overlay) {
    win32_stop_watching_exit_key();
    wait_key.overlay = overlay;
    wait_key.hook = SetWindowsHookExA(WH_KEYBOARD_LL, on_wait_key, GetModuleHandleA(nullptr), 0);
    return wait_key.hook != nullptr;
}

void win32_stop_watching_exit_key() {
    if (wait_key.hook != nullptr) {
        UnhookWindowsHookEx(wait_key.hook);
    }
    wait_key = WaitKey{};
}

// Sends a press and release of a virtual key that nothing is bound to: the shell opens the Start
// menu when the Windows key goes up with no other key seen since it went down, and the swallowed
// Escape is not seen; this key is.
void win32_mask_windows_key() {
    INPUT presses[2] = {};
    for (INPUT& key : presses) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = UNASSIGNED_KEY;
    }
    presses[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, presses, sizeof(INPUT));
}
