// Monitors of the end-to-end tests' server, declared through RandR 1.5: Xvfb has one output, but
// lists whatever monitors a client declares (on a root wide enough for them, and only while the
// server does not reset: the sessions run with -noreset).
#pragma once

#include <X11/Xlib.h>

#include <string>

struct TestMonitor {
    std::string name;
    int x;
    int y;
    int width;
    int height;
    bool primary = false;
    // Whether it takes Xvfb's one output, which removes the server's own monitor of the whole root.
    bool takes_output = false;
};

// Declares the monitor, replacing one of the same name; false when the server refuses.
bool declare_monitor(Display* display, const TestMonitor& monitor);
// Removes a declared monitor.
void remove_monitor(Display* display, const std::string& name);
// Sends the notifications of a screen change, as a display plugged or unplugged does: Xvfb sends
// none when monitors are declared or removed, so the primary output is changed (to none or back).
void announce_screen_change(Display* display);

// Gives the root a new size, as `xrandr --fb` does: the server's one output is switched off first,
// since a root smaller than its CRTC is refused. False when the server refuses.
bool set_root_size(Display* display, int width, int height);
