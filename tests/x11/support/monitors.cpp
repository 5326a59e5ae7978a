// Declared monitors for the end-to-end tests, through RandR 1.5.
#include "x11/support/monitors.h"

#include <X11/extensions/Xrandr.h>

namespace {

int refused_code = 0;

int note_refusal(Display*, XErrorEvent* error) {
    refused_code = error->error_code;
    return 0;
}

}  // namespace

bool declare_monitor(Display* display, const TestMonitor& monitor) {
    const Window root = DefaultRootWindow(display);
    // The server refuses a name that is taken, so an existing monitor is removed first.
    remove_monitor(display, monitor.name);
    XRRScreenResources* resources = XRRGetScreenResources(display, root);
    const int outputs = monitor.takes_output && resources != nullptr && resources->noutput > 0;
    XRRMonitorInfo* info = XRRAllocateMonitor(display, outputs);
    info->name = XInternAtom(display, monitor.name.c_str(), False);
    info->primary = monitor.primary;
    info->automatic = False;
    info->x = monitor.x;
    info->y = monitor.y;
    info->width = monitor.width;
    info->height = monitor.height;
    info->mwidth = monitor.width / 4;  // 0.25 mm pixels: any size will do
    info->mheight = monitor.height / 4;
    if (outputs != 0) {
        info->outputs[0] = resources->outputs[0];
    }
    XSync(display, False);
    refused_code = 0;
    XErrorHandler previous = XSetErrorHandler(note_refusal);
    XRRSetMonitor(display, root, info);
    XSync(display, False);
    XSetErrorHandler(previous);
    XRRFreeMonitors(info);
    if (resources != nullptr) {
        XRRFreeScreenResources(resources);
    }
    return refused_code == 0;
}

void remove_monitor(Display* display, const std::string& name) {
    XSync(display, False);
    XErrorHandler previous = XSetErrorHandler(note_refusal);
    // BadValue when there is no such monitor: nothing to remove.
    XRRDeleteMonitor(display, DefaultRootWindow(display),
                     XInternAtom(display, name.c_str(), False));
    XSync(display, False);
    XSetErrorHandler(previous);
}

void announce_screen_change(Display* display) {
    const Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResources(display, root);
    if (resources == nullptr || resources->noutput == 0) {
        return;
    }
    // Setting the primary output it already has sends nothing; a change always notifies.
    const RROutput primary = XRRGetOutputPrimary(display, root);
    XRRSetOutputPrimary(display, root, primary == None ? resources->outputs[0] : None);
    XSync(display, False);
    XRRFreeScreenResources(resources);
}

bool set_root_size(Display* display, int width, int height) {
    const Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResources(display, root);
    XSync(display, False);
    refused_code = 0;
    XErrorHandler previous = XSetErrorHandler(note_refusal);
    for (int i = 0; resources != nullptr && i < resources->ncrtc; ++i) {
        XRRSetCrtcConfig(display, resources, resources->crtcs[i], CurrentTime, 0, 0, None,
                         RR_Rotate_0, nullptr, 0);
    }
    XRRSetScreenSize(display, root, width, height, width / 4, height / 4);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (resources != nullptr) {
        XRRFreeScreenResources(resources);
    }
    return refused_code == 0;
}
