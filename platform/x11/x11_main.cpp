// The X11 program's entry: opens the display, checks the extensions the backend stands on, installs
// the error handlers and runs the system. Display loss ends the process with exit code 1.
#include <X11/Xlib.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrender.h>
#include <X11/extensions/shape.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include "platform/x11/x11_internal.h"
#include "shell/command_line.h"
#include "shell/entry.h"

X11State x11;

namespace {

// The show state handed to the entry; the X11 overlay has only one way of being shown.
constexpr std::int32_t SHOW_NORMAL = 1;
constexpr int EXIT_NO_DISPLAY = 1;
constexpr int EXIT_MONITOR_LOST = 1;

constexpr const char USAGE[] =
    "Usage: zrv5 [--help | --version]\n"
    "Shows one window magnified to fill the screen. Start zrv5, then click the window to magnify;\n"
    "the view ends when that window closes, on Super+Escape, or when zrv5-exit runs.\n"
    "Settings: zrv5.ini beside the program, else ${XDG_CONFIG_HOME:-$HOME/.config}/zrv5/zrv5.ini.\n"
    "More in zrv5(1).\n";

thread_local int last_error = 0;
std::atomic<bool> display_lost{false};

// Errors are expected and harmless here, so none ends the process: BadWindow and BadDrawable come
// from a target (or a window beneath the overlay) that vanished between two requests, BadMatch from
// reading an image of a window that was just unmapped, RenderBadPicture from a cached picture of a
// destroyed window, BadAccess from a pointer or focus request that another client holds. Each
// request's caller checks its own result where it matters (x11_take_error).
int soft_error_handler(Display*, XErrorEvent* error) {
    last_error = error->error_code;
    return 0;
}

// The connection is gone (the server ended or dropped us): nothing more can be drawn or read, so
// the program ends at once with one line of explanation, whichever thread noticed first.
[[noreturn]] void end_on_display_loss() {
    if (!display_lost.exchange(true)) {
        static const char message[] = "zrv5: lost the connection to the X display\n";
        const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
        (void)written;
    }
    _exit(EXIT_NO_DISPLAY);
}

int io_error_handler(Display*) { end_on_display_loss(); }

void io_error_exit_handler(Display*, void*) { end_on_display_loss(); }

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
        std::fprintf(stderr,
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
    return true;
}

}  // namespace

int x11_take_error() {
    const int error = last_error;
    last_error = 0;
    return error;
}

void x11_watch_connection(Display* display) {
    XSetErrorHandler(soft_error_handler);
    XSetIOErrorHandler(io_error_handler);
    XSetIOErrorExitHandler(display, io_error_exit_handler, nullptr);
}

int main(int argc, char** argv) {
    const int answer = run_command_line(argc, argv, "zrv5", USAGE);
    if (answer != COMMAND_LINE_RUN) {
        return answer;
    }
    // The cursor grab runs on threads of its own, each with its own connection.
    XInitThreads();
    if (!open_display()) {
        return EXIT_NO_DISPLAY;
    }
    if (!x11_start_capture()) {
        std::fprintf(stderr, "zrv5: cannot redirect the screen's windows for the capture\n");
        return EXIT_NO_DISPLAY;
    }
    const std::int32_t code = zrv5_main(nullptr, nullptr, SHOW_NORMAL);
    x11_stop_capture();
    XCloseDisplay(x11.display);
    return x11_monitor_lost() ? EXIT_MONITOR_LOST : code;
}
