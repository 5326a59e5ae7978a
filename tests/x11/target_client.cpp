// The end-to-end tests' target window: a known picture at a known size and place, driven by
// commands on standard input and reporting on standard output.
//   zrv5_test_target --geometry WxH+X+Y [--variant N] [--name NAME] [--animate MS]
// Commands: "move X Y", "resize W H", "picture N" (redraws as variant N), "fill X Y W H RRGGBB"
// (a rectangle of one colour over the picture), "cursor N" (one of the test pointer shapes, or -1
// for none), "raise", "unmap", "map", "close". With --animate the picture changes to
// the next variant every MS milliseconds, as a video would. Reports: "ready <window id>" once the
// picture is shown, "done <command>" after each command has taken effect, and "press B X Y" /
// "release B X Y" for every mouse button event.
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "x11/support/pattern.h"

namespace {

struct Target {
    Display* display = nullptr;
    Window window = 0;
    int variant = 0;
    int width = 0;
    int height = 0;
};

void report(const char* format, unsigned long a = 0, long b = 0, long c = 0) {
    std::printf(format, a, b, c);
    std::printf("\n");
    std::fflush(stdout);
}

// Draws the whole picture and waits until the server has it.
void draw(Target& target) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(target.width * target.height));
    for (int y = 0; y < target.height; ++y) {
        for (int x = 0; x < target.width; ++x) {
            pixels[static_cast<std::size_t>(y * target.width + x)] =
                target_pixel(target.variant, x, y);
        }
    }
    Visual* visual = DefaultVisual(target.display, DefaultScreen(target.display));
    XImage* image =
        XCreateImage(target.display, visual, 24, ZPixmap, 0, reinterpret_cast<char*>(pixels.data()),
                     static_cast<unsigned>(target.width), static_cast<unsigned>(target.height), 32,
                     target.width * 4);
    GC gc = XCreateGC(target.display, target.window, 0, nullptr);
    XPutImage(target.display, target.window, gc, image, 0, 0, 0, 0,
              static_cast<unsigned>(target.width), static_cast<unsigned>(target.height));
    XFreeGC(target.display, gc);
    image->data = nullptr;  // the vector owns the pixels
    XDestroyImage(image);
    XSync(target.display, False);
}

void set_pointer_shape(Target& target, int which) {
    if (which < 0 ||
        which >= static_cast<int>(sizeof TEST_POINTER_SHAPES / sizeof TEST_POINTER_SHAPES[0])) {
        XUndefineCursor(target.display, target.window);
        return;
    }
    const TestPointerShape& shape = TEST_POINTER_SHAPES[which];
    XcursorImage* image = XcursorImageCreate(shape.width, shape.height);
    image->xhot = static_cast<XcursorDim>(shape.hot_x);
    image->yhot = static_cast<XcursorDim>(shape.hot_y);
    for (int y = 0; y < shape.height; ++y) {
        for (int x = 0; x < shape.width; ++x) {
            image->pixels[y * shape.width + x] = test_pointer_pixel(shape, x, y);
        }
    }
    const Cursor cursor = XcursorImageLoadCursor(target.display, image);
    XcursorImageDestroy(image);
    XDefineCursor(target.display, target.window, cursor);
    XFreeCursor(target.display, cursor);
}

// Waits for the window's configuration to reach the asked size or place.
void wait_configured(Target& target, bool (*reached)(const XConfigureEvent&, long, long), long a,
                     long b) {
    for (int i = 0; i < 200; ++i) {
        XEvent event;
        while (XCheckTypedWindowEvent(target.display, target.window, ConfigureNotify, &event)) {
            if (reached(event.xconfigure, a, b)) {
                return;
            }
        }
        usleep(5000);
    }
}

// Runs one command; false when the target is to end.
bool run_command(Target& target, const std::string& line) {
    long a = 0;
    long b = 0;
    unsigned long width = 0;
    unsigned long height = 0;
    unsigned long colour = 0;
    if (std::sscanf(line.c_str(), "move %ld %ld", &a, &b) == 2) {
        XMoveWindow(target.display, target.window, static_cast<int>(a), static_cast<int>(b));
        XSync(target.display, False);
    } else if (std::sscanf(line.c_str(), "resize %ld %ld", &a, &b) == 2) {
        XResizeWindow(target.display, target.window, static_cast<unsigned>(a),
                      static_cast<unsigned>(b));
        XSync(target.display, False);
        wait_configured(
            target,
            [](const XConfigureEvent& e, long w, long h) { return e.width == w && e.height == h; },
            a, b);
        target.width = static_cast<int>(a);
        target.height = static_cast<int>(b);
        draw(target);
    } else if (std::sscanf(line.c_str(), "picture %ld", &a) == 1) {
        target.variant = static_cast<int>(a);
        draw(target);
    } else if (std::sscanf(line.c_str(), "cursor %ld", &a) == 1) {
        set_pointer_shape(target, static_cast<int>(a));
        XSync(target.display, False);
    } else if (std::sscanf(line.c_str(), "fill %ld %ld %lu %lu %lx", &a, &b, &width, &height,
                           &colour) == 5) {
        GC gc = XCreateGC(target.display, target.window, 0, nullptr);
        XSetForeground(target.display, gc, colour);
        XFillRectangle(target.display, target.window, gc, static_cast<int>(a), static_cast<int>(b),
                       static_cast<unsigned>(width), static_cast<unsigned>(height));
        XFreeGC(target.display, gc);
        XSync(target.display, False);
    } else if (line == "unmap" || line == "map") {
        if (line == "map") {
            XMapWindow(target.display, target.window);
        } else {
            XUnmapWindow(target.display, target.window);
        }
        XSync(target.display, False);
    } else if (line == "raise") {
        XRaiseWindow(target.display, target.window);
        XSync(target.display, False);
    } else if (line == "close") {
        XDestroyWindow(target.display, target.window);
        XSync(target.display, False);
        std::printf("done close\n");
        std::fflush(stdout);
        return false;
    } else {
        std::printf("unknown %s\n", line.c_str());
        std::fflush(stdout);
        return true;
    }
    std::printf("done %s\n", line.c_str());
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Target target;
    int x = 0;
    int y = 0;
    const char* name = "zrv5 test target";
    int animate_ms = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--geometry") == 0) {
            std::sscanf(argv[i + 1], "%dx%d+%d+%d", &target.width, &target.height, &x, &y);
        } else if (std::strcmp(argv[i], "--variant") == 0) {
            target.variant = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--name") == 0) {
            name = argv[i + 1];
        } else if (std::strcmp(argv[i], "--animate") == 0) {
            animate_ms = std::atoi(argv[i + 1]);
        }
    }
    if (target.width <= 0 || target.height <= 0) {
        std::fprintf(stderr,
                     "usage: %s --geometry WxH+X+Y [--variant N] [--name NAME] [--animate MS]\n",
                     argv[0]);
        return 2;
    }
    target.display = XOpenDisplay(nullptr);
    if (target.display == nullptr) {
        std::fprintf(stderr, "target: no display\n");
        return 1;
    }
    const int screen = DefaultScreen(target.display);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(target.display, screen);
    attributes.event_mask =
        ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask;
    target.window = XCreateWindow(
        target.display, RootWindow(target.display, screen), x, y,
        static_cast<unsigned>(target.width), static_cast<unsigned>(target.height), 0, 24,
        InputOutput, DefaultVisual(target.display, screen), CWBackPixel | CWEventMask, &attributes);
    XStoreName(target.display, target.window, name);
    // The class a program names itself by, as window managers and `zrv5 --wait` read it.
    char instance[] = "zrv5_test_target";
    char class_name[] = "Zrv5TestTarget";
    XClassHint class_hint{instance, class_name};
    XSetClassHint(target.display, target.window, &class_hint);
    // Asks a window manager to keep the place given, as a program with fixed geometry would.
    XSizeHints hints{};
    hints.flags = USPosition | USSize | PPosition | PSize;
    hints.x = x;
    hints.y = y;
    hints.width = target.width;
    hints.height = target.height;
    XSetWMNormalHints(target.display, target.window, &hints);
    XMapWindow(target.display, target.window);

    bool ready = false;
    bool running = true;
    std::string pending;
    while (running) {
        while (XPending(target.display) > 0) {
            XEvent event;
            XNextEvent(target.display, &event);
            if (event.type == Expose && event.xexpose.count == 0) {
                draw(target);
                if (!ready) {
                    ready = true;
                    report("ready %lu", target.window);
                }
            } else if (event.type == ButtonPress || event.type == ButtonRelease) {
                report(event.type == ButtonPress ? "press %lu %ld %ld" : "release %lu %ld %ld",
                       event.xbutton.button, event.xbutton.x, event.xbutton.y);
            }
        }
        pollfd waits[2] = {{ConnectionNumber(target.display), POLLIN, 0}, {0, POLLIN, 0}};
        const int ready_count = poll(waits, 2, animate_ms > 0 ? animate_ms : 100);
        if (ready_count == 0 && ready && animate_ms > 0) {
            ++target.variant;
            draw(target);
        }
        if (ready_count <= 0) {
            continue;
        }
        if ((waits[1].revents & (POLLIN | POLLHUP)) != 0) {
            char buffer[256];
            const ssize_t got = read(0, buffer, sizeof buffer);
            if (ready_count <= 0) {
                break;  // the test has gone
            }
            pending.append(buffer, static_cast<std::size_t>(got));
            std::size_t end;
            while (running && (end = pending.find('\n')) != std::string::npos) {
                running = run_command(target, pending.substr(0, end));
                pending.erase(0, end + 1);
            }
        }
    }
    XCloseDisplay(target.display);
    return 0;
}
