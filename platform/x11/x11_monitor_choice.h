// The monitor the view fills on X11, chosen from what the server reports of its monitors, and where
// that monitor lies after the monitors change. Pure functions with no Xlib, so that the choice can
// be tested without a server; x11_screen_box.cpp asks the server.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

// Where a monitor was found, in the order it is preferred.
enum class MonitorSource { randr_primary, randr_first, xinerama, root };

// A monitor as RandR reports it: its name (an atom, the output's name) and whether it is primary.
struct RandrMonitor {
    unsigned long name = 0;
    bool primary = false;
    Box box;
};

// What the server reports: the active RandR monitors and the Xinerama heads in its order (either
// list empty without the extension), and the root window's rectangle.
struct MonitorReport {
    std::vector<RandrMonitor> randr;
    std::vector<Box> xinerama;
    Box root;
};

// The monitor the view fills. `index` is its place in the list it came from; `name` is 0 unless it
// is a RandR monitor.
struct Monitor {
    MonitorSource source = MonitorSource::root;
    std::size_t index = 0;
    unsigned long name = 0;
    Box box;
};

// Chooses the view's monitor: the RandR primary monitor, else the first RandR monitor, else the
// first Xinerama head, else the root. Each box is cut to the root, and one that has nothing left
// is passed over, so the view never lies outside the root.
Monitor choose_monitor(const MonitorReport& report);

// What became of the view's monitor after a change of the monitors.
enum class MonitorFate { same, moved, resized, gone };

struct MonitorFollow {
    MonitorFate fate = MonitorFate::gone;
    Box box;  // where the monitor lies now (for same, moved and resized)
};

// Finds the view's monitor in a new report: a RandR monitor by its name, a Xinerama head by its
// place in the list, the root as the root. A monitor of the same size counts as the same monitor,
// wherever it now lies.
MonitorFollow follow_monitor(const Monitor& chosen, const MonitorReport& now);
