// The exit key on Windows, Windows key + Escape, as a rule on key events: an Escape pressed while
// a Windows key is down is the exit key, and it and its release are swallowed, so that no window
// sees them. Watched by the program while it waits for its click and by its companion while a view
// runs. Bottom layer: includes nothing else of ours and no OS header.
#pragma once

// The keys the rule looks at, by their Windows virtual-key codes.
constexpr unsigned long VIRTUAL_KEY_ESCAPE = 0x1B;        // VK_ESCAPE
constexpr unsigned long VIRTUAL_KEY_LEFT_WINDOWS = 0x5B;  // VK_LWIN
constexpr unsigned long VIRTUAL_KEY_RIGHT_WINDOWS = 0x5C;  // VK_RWIN

struct ExitKeyWatch {
    bool left_windows_down = false;
    bool right_windows_down = false;
    bool swallowing_escape = false;
    // Set at the exit key's press; the watcher clears it once it has acted on it.
    bool pressed = false;

    // Takes one key event, a press (`down`) or a release of a virtual key, and returns whether it
    // is to be swallowed.
    bool take(unsigned long virtual_key, bool down) {
        if (virtual_key == VIRTUAL_KEY_LEFT_WINDOWS) {
            left_windows_down = down;
        } else if (virtual_key == VIRTUAL_KEY_RIGHT_WINDOWS) {
            right_windows_down = down;
        } else if (virtual_key == VIRTUAL_KEY_ESCAPE) {
            if (down && (left_windows_down || right_windows_down)) {
                pressed = true;
                swallowing_escape = true;
                return true;
            }
            if (!down && swallowing_escape) {
                swallowing_escape = false;
                return true;
            }
        }
        return false;
    }
};
