// The companion's work on Windows. While the view runs, ClipCursor holds the pointer inside the
// capture rectangle: the target's client origin and the published W x H. A timer on the GUI thread
// looks at the target and the clip and clips again when the target has moved or something else
// (another program, the system on a desktop switch) changed the clip. A low-level keyboard hook on
// the same thread turns Windows key + Escape into "EXIT" = "1" in the shared profile, which ends the
// view at the next tick, and swallows that Escape so that no window below sees it.
#include "companion/win32/view_keeper.h"

#include <windows.h>

#include <cstdlib>
#include <string>

#include "hook/published_size.h"

namespace {

constexpr const char* SECTION = "Zarvo5";
constexpr DWORD PROFILE_TEXT_SIZE = 260;
// How often the clip is checked: short enough that a moved target or a reset clip is caught
// within a frame or two, long enough to cost nothing.
constexpr UINT LOOK_INTERVAL_MS = 15;
// A virtual key code that Windows leaves unassigned.
constexpr WORD UNASSIGNED_KEY = 0xE8;

struct Keeper {
    bool running = false;
    HWND target = nullptr;
    LONG width = 0;
    LONG height = 0;
    bool clipping = false;
    UINT_PTR timer = 0;
    HHOOK keyboard_hook = nullptr;
    bool left_windows_key_down = false;
    bool right_windows_key_down = false;
    bool swallowing_escape = false;
};

Keeper keeper;

std::string profile_text(const char* key) {
    char text[PROFILE_TEXT_SIZE] = {};
    GetProfileStringA(SECTION, key, "0", text, PROFILE_TEXT_SIZE);
    return text;
}

long profile_number(const char* key) { return std::strtol(profile_text(key).c_str(), nullptr, 10); }

// Returns the rectangle on the screen, false when the target is gone.
bool capture_rectangle(RECT* rectangle) {
    POINT origin{0, 0};
    if (!IsWindow(keeper.target) || !ClientToScreen(keeper.target, &origin)) {
        return false;
    }
    *rectangle = RECT{origin.x, origin.y, origin.x + keeper.width, origin.y + keeper.height};
    return true;
}

// Clips the pointer to the rectangle unless it already is; lifts the clip for good once the
// target is gone, since the view ends at its next tick.
void keep_clip() {
    if (!keeper.clipping) {
        return;
    }
    RECT wanted{};
    if (!capture_rectangle(&wanted)) {
        ClipCursor(nullptr);
        keeper.clipping = false;
        return;
    }
    RECT now{};
    if (!GetClipCursor(&now) || !EqualRect(&now, &wanted)) {
        ClipCursor(&wanted);
    }
}

void CALLBACK on_timer(HWND, UINT, UINT_PTR, DWORD) { keep_clip(); }

// Sends a press and release of a virtual key that nothing is bound to. The shell opens the Start
// menu when the Windows key goes up with no other key seen since it went down, and the swallowed
// Escape is not seen; this key is.
void mask_windows_key() {
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = UNASSIGNED_KEY;
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

LRESULT CALLBACK on_key(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
        const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        if (key->vkCode == VK_LWIN) {
            keeper.left_windows_key_down = down;
        } else if (key->vkCode == VK_RWIN) {
            keeper.right_windows_key_down = down;
        } else if (key->vkCode == VK_ESCAPE) {
            if (down && (keeper.left_windows_key_down || keeper.right_windows_key_down)) {
                WriteProfileStringA(SECTION, "EXIT", "1");
                keeper.swallowing_escape = true;
                mask_windows_key();
                return 1;
            }
            if (!down && keeper.swallowing_escape) {
                keeper.swallowing_escape = false;
                return 1;
            }
        }
    }
    return CallNextHookEx(nullptr, code, message, data);
}

}  // namespace

void view_keeper_start() {
    if (keeper.running) {
        return;
    }
    keeper = Keeper{};
    keeper.running = true;
    // "HWND" holds the handle's 32 bits read as signed; window handles fit in 32 bits and widen
    // with their sign, as LongToHandle does.
    keeper.target = reinterpret_cast<HWND>(
        static_cast<LONG_PTR>(static_cast<LONG>(profile_number("HWND"))));
    keeper.width = published_size(profile_text("W").c_str(), GetSystemMetrics(SM_CXSCREEN));
    keeper.height = published_size(profile_text("H").c_str(), GetSystemMetrics(SM_CYSCREEN));
    keeper.clipping = keeper.target != nullptr && keeper.width > 0 && keeper.height > 0;
    keep_clip();
    keeper.timer = SetTimer(nullptr, 0, LOOK_INTERVAL_MS, on_timer);
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&on_key), &self);
    keeper.keyboard_hook = SetWindowsHookExA(WH_KEYBOARD_LL, on_key, self, 0);
}

void view_keeper_stop() {
    if (!keeper.running) {
        return;
    }
    if (keeper.timer != 0) {
        KillTimer(nullptr, keeper.timer);
    }
    if (keeper.keyboard_hook != nullptr) {
        UnhookWindowsHookEx(keeper.keyboard_hook);
    }
    if (keeper.clipping) {
        ClipCursor(nullptr);
    }
    keeper = Keeper{};
}

void view_keeper_unload() {
    // Only the clip outlives the process on its own; the timer and the hook end with the thread.
    if (keeper.running && keeper.clipping) {
        ClipCursor(nullptr);
    }
}
