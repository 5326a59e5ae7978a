// The choice of the view's monitor and how it is followed through a change. No Xlib here.
#include "platform/x11/x11_monitor_choice.h"

#include <algorithm>

namespace {

// Returns the part of `box` inside `root`; empty (right <= left or bottom <= top) when none.
Box inside_root(const Box& box, const Box& root) {
    return Box{std::max(box.left, root.left), std::max(box.top, root.top),
               std::min(box.right, root.right), std::min(box.bottom, root.bottom)};
}

bool is_empty(const Box& box) { return box.right <= box.left || box.bottom <= box.top; }

bool same_size(const Box& a, const Box& b) {
    return std::int64_t{a.right} - a.left == std::int64_t{b.right} - b.left &&
           std::int64_t{a.bottom} - a.top == std::int64_t{b.bottom} - b.top;
}

bool same_place(const Box& a, const Box& b) { return a.left == b.left && a.top == b.top; }

// Finds the first RandR monitor, the primary one only when `primary_only`, that keeps a part
// inside the root.
bool find_randr(const MonitorReport& report, bool primary_only, Monitor& found) {
    for (std::size_t i = 0; i < report.randr.size(); ++i) {
        const RandrMonitor& monitor = report.randr[i];
        const Box box = inside_root(monitor.box, report.root);
        if ((monitor.primary || !primary_only) && !is_empty(box)) {
            found =
                Monitor{primary_only ? MonitorSource::randr_primary : MonitorSource::randr_first, i,
                        monitor.name, box};
            return true;
        }
    }
    return false;
}

}  // namespace

Monitor choose_monitor(const MonitorReport& report) {
    Monitor chosen;
    if (find_randr(report, true, chosen) || find_randr(report, false, chosen)) {
        return chosen;
    }
    for (std::size_t i = 0; i < report.xinerama.size(); ++i) {
        const Box box = inside_root(report.xinerama[i], report.root);
        if (!is_empty(box)) {
            return Monitor{MonitorSource::xinerama, i, 0, box};
        }
    }
    return Monitor{MonitorSource::root, 0, 0, report.root};
}

MonitorFollow follow_monitor(const Monitor& chosen, const MonitorReport& now) {
    bool found = false;
    Box box;
    if (chosen.source == MonitorSource::randr_primary ||
        chosen.source == MonitorSource::randr_first) {
        for (const RandrMonitor& monitor : now.randr) {
            if (monitor.name == chosen.name) {
                box = inside_root(monitor.box, now.root);
                found = !is_empty(box);
                break;
            }
        }
    } else if (chosen.source == MonitorSource::xinerama) {
        if (chosen.index < now.xinerama.size()) {
            box = inside_root(now.xinerama[chosen.index], now.root);
            found = !is_empty(box);
        }
    } else {
        box = now.root;
        found = !is_empty(box);
    }
    if (!found) {
        return MonitorFollow{MonitorFate::gone, Box{}};
    }
    if (!same_size(box, chosen.box)) {
        return MonitorFollow{MonitorFate::resized, box};
    }
    return MonitorFollow{same_place(box, chosen.box) ? MonitorFate::same : MonitorFate::moved, box};
}
