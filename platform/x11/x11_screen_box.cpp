// The screen on X11 is one monitor: the one x11_monitor_choice.cpp chooses from what RandR and Xinerama
// report, measured once at start-up. The overlay lies on it; everything else stays in root
// coordinates. While the overlay exists, RandR's change notifications are followed: the overlay
// moves with its monitor and takes its new size (the view is then laid out again), and the view
// ends when its monitor is gone.
#include <X11/Xlib.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>

#include "platform/x11/x11_monitor_choice.h"
#include "platform/x11/x11_platform.h"

namespace {

int randr_event_base = -1;    // -1 without RandR: no change notifications come
bool randr_monitors = false;  // RandR 1.5 or later: the server lists monitors
Monitor view_monitor;
bool monitor_lost = false;

// Reads the root's size anew: a RandR change may have resized it.
Box read_root() {
    const Box root = platform_client_box(WindowHandle{x11.root});
    if (root.right > 0 && root.bottom > 0) {
        x11.width = root.right;
        x11.height = root.bottom;
    }
    return Box{0, 0, x11.width, x11.height};
}

// Asks the server for its monitors, its Xinerama heads and the root's size.
MonitorReport read_monitors() {
    MonitorReport report;
    report.root = read_root();
    if (randr_monitors) {
        int count = 0;
        XRRMonitorInfo* monitors = XRRGetMonitors(x11.display, x11.root, True, &count);
        for (int i = 0; monitors != nullptr && i < count; ++i) {
            const XRRMonitorInfo& m = monitors[i];
            report.randr.push_back(
                RandrMonitor{m.name, m.primary != 0, Box{m.x, m.y, m.x + m.width, m.y + m.height}});
        }
        if (monitors != nullptr) {
            XRRFreeMonitors(monitors);
        }
    }
    int event_base = 0;
    int error_base = 0;
    if (XineramaQueryExtension(x11.display, &event_base, &error_base) &&
        XineramaIsActive(x11.display)) {
        int count = 0;
        XineramaScreenInfo* heads = XineramaQueryScreens(x11.display, &count);
        for (int i = 0; heads != nullptr && i < count; ++i) {
            const XineramaScreenInfo& h = heads[i];
            report.xinerama.push_back(Box{h.x_org, h.y_org, h.x_org + h.width, h.y_org + h.height});
        }
        if (heads != nullptr) {
            XFree(heads);
        }
    }
    return report;
}

std::int32_t width_of(const Box& box) { return box.right - box.left; }
std::int32_t height_of(const Box& box) { return box.bottom - box.top; }

// Ends the view whose monitor went away: one line on standard error, then the overlay is destroyed
// as any other end of the view destroys it (timer stopped, the companion told); the program then
// exits with 1 (main).
void end_view_without_monitor() {
    std::fprintf(stderr, "zrv5: the view's monitor is gone; the view ends\n");
    monitor_lost = true;
    platform_destroy_window(WindowHandle{x11.overlay});
}

// Gives the overlay its monitor's new place and size, and has the core lay the view out again for
// it.
void follow_resize(const Box& box) {
    view_monitor.box = box;
    const std::int32_t width = width_of(box);
    const std::int32_t height = height_of(box);
    XMoveResizeWindow(x11.display, x11.overlay, box.left, box.top, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    x11_present_exposed();
    x11_capture_whole();
    XFlush(x11.display);
    zrv5_screen_changed(WindowHandle{x11.overlay}, width, height);
}

// Measures the monitors again after a change and keeps the overlay on its monitor.
void follow_change() {
    const MonitorReport now = read_monitors();
    x11_capture_follow_root();
    if (x11.overlay == 0) {
        return;
    }
    const MonitorFollow follow = follow_monitor(view_monitor, now);
    if (follow.fate == MonitorFate::moved) {
        view_monitor.box = follow.box;
        XMoveWindow(x11.display, x11.overlay, follow.box.left, follow.box.top);
        XFlush(x11.display);
    } else if (follow.fate == MonitorFate::resized) {
        follow_resize(follow.box);
    } else if (follow.fate == MonitorFate::gone) {
        end_view_without_monitor();
    }
}

}  // namespace

Box x11_measure_monitor() {
    int error_base = 0;
    int major = 0;
    int minor = 0;
    if (XRRQueryExtension(x11.display, &randr_event_base, &error_base) &&
        XRRQueryVersion(x11.display, &major, &minor)) {
        randr_monitors = major > 1 || (major == 1 && minor >= 5);
        // A monitor added, removed, moved or resized changes the outputs or their CRTCs, and with
        // them the screen's configuration.
        XRRSelectInput(
            x11.display, x11.root,
            RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    } else {
        randr_event_base = -1;
    }
    view_monitor = choose_monitor(read_monitors());
    return view_monitor.box;
}

Box x11_monitor_box() { return view_monitor.box; }

bool x11_monitor_event(XEvent& event) {
    if (randr_event_base < 0 || (event.type != randr_event_base + RRScreenChangeNotify &&
                                 event.type != randr_event_base + RRNotify)) {
        return false;
    }
    XRRUpdateConfiguration(&event);
    // One change brings several notifications; each reads the monitors as they are now, so all
    // after the first find the view's monitor where the first left it.
    if (!monitor_lost) {
        follow_change();
    }
    return true;
}

void x11_monitor_look() {
    if (!monitor_lost) {
        follow_change();
    }
}

bool x11_monitor_lost() { return monitor_lost; }
