// The X11 program's start-up and ending around the core's entry: the command line, the display
// opened and checked for the extensions the backend stands on (the error handlers are installed
// with it, x11_errors.cpp), a named window checked before anything is made, and the capture
// started; at the end the capture stopped, the display closed and the exit code chosen.
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/Xrender.h>
#include <X11/extensions/shape.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/command_line.h"
#include "platform/posix/posix_options.h"
#include "platform/x11/x11_platform.h"

X11State x11;

namespace {

constexpr int EXIT_MONITOR_LOST = 1;
// The exit code of a --wait whose time ran out before its window came.
constexpr int EXIT_WAIT_TIMED_OUT = 1;

constexpr const char USAGE[] =
    "Usage: zrv5 [--help | --version]\n"
    "       zrv5 [--window ID | --active | --wait TEXT [--timeout SECONDS]] [--settings FILE]\n"
    "Shows one window magnified to fill the screen. Start zrv5, then click the window to magnify;\n"
    "the view ends when that window closes, on Super+Escape, or when zrv5-exit runs.\n"
    "  --window ID      view the window with this id (decimal, or 0x hex as xwininfo prints it)\n"
    "  --active         view the window that has the keyboard focus\n"
    "  --wait TEXT      wait until a window whose class or title holds TEXT is shown, then view\n"
    "                   it; zrv5-exit and Super+Escape end the wait\n"
    "  --timeout SECONDS  give up the wait after this long (exit code 1)\n"
    "  --settings FILE  read the settings from FILE\n"
    "Settings: zrv5.ini beside the program, else ${XDG_CONFIG_HOME:-$HOME/.config}/zrv5/zrv5.ini.\n"
    "More in zrv5(1).\n";

// Tells XWayland by its extension (XWayland 23 and later) or, before it had one, by the names it
// gives its outputs ("XWAYLAND0", ...).
bool is_xwayland() {
    int opcode = 0;
    int event_base = 0;
    int error_base = 0;
    if (XQueryExtension(x11.display, "XWAYLAND", &opcode, &event_base, &error_base)) {
        return true;
    }
    if (!XRRQueryExtension(x11.display, &event_base, &error_base)) {
        return false;
    }
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(x11.display, x11.root);
    if (resources == nullptr) {
        return false;
    }
    bool found = false;
    for (int i = 0; i < resources->noutput && !found; ++i) {
        XRROutputInfo* output = XRRGetOutputInfo(x11.display, resources, resources->outputs[i]);
        if (output != nullptr) {
            found = std::strncmp(output->name, "XWAYLAND", 8) == 0;
            XRRFreeOutputInfo(output);
        }
    }
    XRRFreeScreenResources(resources);
    return found;
}

// Under XWayland the compositor owns the real pointer and keyboard: XFixes barriers and warps move
// only XWayland's own pointer, and keys reach X11 clients only while an X11 window has the focus.
// The rest of the view works; these two limits are said once at start-up.
void say_what_xwayland_cannot_do() {
    if (!is_xwayland()) {
        return;
    }
    std::fprintf(stderr,
                 "zrv5: warning: under XWayland the pointer is not kept on the shown window (the "
                 "compositor's pointer passes X11 barriers)\n");
    std::fprintf(stderr,
                 "zrv5: warning: under XWayland Super+Escape reaches zrv5 only while an X11 window "
                 "has the keyboard focus; bind zrv5-exit to a key of the compositor\n");
}

// Opens the display and checks that it has what the backend needs; prints why not and returns
// false otherwise.
bool open_display() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || name[0] == '\0') {
        std::fprintf(stderr,
                     "zrv5: needs an X11 display and DISPLAY is not set (in the source tree, "
                     "`make run` without a display runs the demo on Xvfb)\n");
        return false;
    }
    // Under Wayland the program runs through XWayland and sees only the X11 clients' windows.
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland != nullptr && wayland[0] != '\0') {
        std::fprintf(
            stderr,
            "zrv5: warning: in a Wayland session only X11 (XWayland) windows can be picked "
            "and shown\n");
    }
    x11.display = XOpenDisplay(name);
    if (x11.display == nullptr) {
        std::fprintf(stderr, "zrv5: cannot open the X display \"%s\"\n", name ? name : "");
        return false;
    }
    x11.display_name = DisplayString(x11.display);
    x11_watch_connection(x11.display);

    int event_base = 0;
    int error_base = 0;
    int major = 0;
    int minor = 0;
    const char* missing = nullptr;
    if (!XCompositeQueryExtension(x11.display, &event_base, &error_base)) {
        missing = "Composite";
    } else if (!XRenderQueryExtension(x11.display, &event_base, &error_base)) {
        missing = "RENDER";
    } else if (!XFixesQueryExtension(x11.display, &event_base, &error_base) ||
               !XFixesQueryVersion(x11.display, &major, &minor) || major < 2) {
        missing = "XFIXES 2";
    } else if (!XShapeQueryExtension(x11.display, &event_base, &error_base)) {
        missing = "SHAPE";
    }
    if (missing != nullptr) {
        std::fprintf(stderr, "zrv5: the X display lacks the %s extension\n", missing);
        return false;
    }
    // Announces the Composite version the capture's requests are written for.
    major = 0;
    minor = 2;
    XCompositeQueryVersion(x11.display, &major, &minor);

    x11.shm = XShmQueryExtension(x11.display) != 0;
    x11.screen = DefaultScreen(x11.display);
    x11.root = RootWindow(x11.display, x11.screen);
    x11.visual = DefaultVisual(x11.display, x11.screen);
    x11.depth = DefaultDepth(x11.display, x11.screen);
    x11.width = DisplayWidth(x11.display, x11.screen);
    x11.height = DisplayHeight(x11.display, x11.screen);
    // Pixels are 0x00RRGGBB words throughout: the overlay image is sent as it is drawn.
    if (x11.visual->c_class != TrueColor || x11.depth != 24 || x11.visual->red_mask != 0xFF0000 ||
        x11.visual->green_mask != 0xFF00 || x11.visual->blue_mask != 0xFF) {
        std::fprintf(stderr, "zrv5: the X screen must be 24-bit TrueColor (0xRRGGBB)\n");
        return false;
    }
    say_what_xwayland_cannot_do();
    return true;
}

}  // namespace

int x11_start_up(int argc, char** argv) {
    StartOptions options;
    const int answer = parse_start_options(argc, argv, USAGE, &options);
    if (answer != COMMAND_LINE_RUN) {
        return answer;
    }
    struct stat settings {};
    if (!options.settings_file.empty() && stat(options.settings_file.c_str(), &settings) != 0 &&
        errno == ENOENT) {
        std::fprintf(stderr, "zrv5: the settings file %s does not exist\n",
                     options.settings_file.c_str());
        return EXIT_USAGE;
    }
    x11_set_start(options);
    // The cursor grab runs on threads of its own, which share a connection of their own.
    XInitThreads();
    if (!open_display()) {
        return X11_EXIT_NO_DISPLAY;
    }
    // A named window that cannot be viewed ends the program before anything is made or written.
    const int refused = x11_check_start();
    if (refused != 0) {
        XCloseDisplay(x11.display);
        return refused;
    }
    if (!x11_start_capture()) {
        std::fprintf(stderr, "zrv5: cannot redirect the screen's windows for the capture\n");
        return X11_EXIT_NO_DISPLAY;
    }
    return X11_STARTED;
}

int x11_end(std::int32_t code) {
    x11_stop_capture();
    XCloseDisplay(x11.display);
    if (x11_unexpected_errors() > 0) {
        std::fprintf(stderr, "zrv5: %u unexpected X errors in all\n", x11_unexpected_errors());
    }
    if (x11_start_timed_out()) {
        return EXIT_WAIT_TIMED_OUT;
    }
    if (x11_start_refused()) {
        return EXIT_USAGE;
    }
    return x11_monitor_lost() ? EXIT_MONITOR_LOST : code;
}
