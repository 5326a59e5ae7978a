// Super+Escape while a view runs, for the companion on X11: a passive grab on the root keeps the
// Escape from the focused window, and XInput2's raw key events, with XKB's modifier state, see the
// keys whatever has the focus, also none. Its press writes "EXIT" = "1" to the shared profile,
// which ends the view at the next tick, or, when the profile cannot be written, asks the program
// directly.
#pragma once

#include <X11/Xlib.h>

class ExitHotkey {
public:
    // Grabs the key on the root; with `raw_keys` (the caller selected XInput2's raw key presses on
    // the root), follows the modifiers through XKB and sees presses by their raw events.
    void start(Display* display, Window root, bool raw_keys);
    void stop();
    // Takes the events that are the hotkey's (XKB's state, a new keymap, the grab's press);
    // false for any other.
    bool take(XEvent& event);
    // A raw key press, of the key code given.
    void raw_key_press(int key);

private:
    void grab();
    void ungrab();
    // Acts on Escape pressed while a Super key is down.
    void on_escape();
    // Follows the keyboard's modifiers through XKB's state events, in the order the server sends
    // them among the raw key events; false when the server has no XKB.
    bool follow_modifiers();

    Display* display_ = nullptr;
    Window root_ = 0;
    KeyCode escape_ = 0;
    unsigned super_mask_ = 0;
    // Raw key events come whatever the focus; the grab's own KeyPress is then not acted on.
    bool raw_keys_ = false;
    int xkb_event_base_ = -1;
    unsigned modifiers_ = 0;  // the keyboard's effective modifiers as XKB last reported them
    unsigned grab_variants_[4] = {};
};
