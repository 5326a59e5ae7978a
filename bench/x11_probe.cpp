// The X11 benchmark's probe: changes a 16x16 block of another client's window, as a caret would,
// and with --latency measures how long each change takes to show on the screen, enlarged by zrv5
// (a pixel of the screen read until it has the block's new colour).
//   zrv5_x11_probe --window ID --block X Y --screen SX SY (--blink MS --seconds S | --latency N)
// Prints "latency over N changes: median M ms, 95th percentile P ms" for --latency.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int BLOCK = 16;
constexpr int WAIT_LIMIT_MS = 2000;  // a change not shown by then counts as this long

double now_ms() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Probe {
    Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
    int x = 0;
    int y = 0;
    int screen_x = 0;
    int screen_y = 0;

    void fill(unsigned long colour) {
        XSetForeground(display, gc, colour);
        XFillRectangle(display, window, gc, x, y, BLOCK, BLOCK);
        XSync(display, False);
    }
    unsigned long shown() {
        XImage* image = XGetImage(display, DefaultRootWindow(display), screen_x, screen_y, 1, 1,
                                  AllPlanes, ZPixmap);
        if (image == nullptr) {
            return ~0ul;
        }
        const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFFul;
        XDestroyImage(image);
        return pixel;
    }
};

// The colour of change i: never the one before it.
unsigned long colour_of(int i) {
    return ((static_cast<unsigned long>(i) * 97 + 13) & 0xFF) << 16 |
           ((static_cast<unsigned long>(i) * 31 + 200) & 0xFF) << 8 |
           ((static_cast<unsigned long>(i) * 7 + 50) & 0xFF);
}

void blink(Probe& probe, int every_ms, int seconds) {
    const double end = now_ms() + seconds * 1000.0;
    for (int i = 0; now_ms() < end; ++i) {
        probe.fill(colour_of(i));
        usleep(static_cast<useconds_t>(every_ms) * 1000);
    }
}

void latency(Probe& probe, int changes) {
    std::mt19937 random(20261209u);
    std::vector<double> figures;
    for (int i = 0; i < changes; ++i) {
        // Apart by 20 to 60 ms, so that changes fall at every phase of the timer.
        usleep(static_cast<useconds_t>(std::uniform_int_distribution<int>(20, 60)(random)) * 1000);
        const unsigned long colour = colour_of(i);
        const double start = now_ms();
        probe.fill(colour);
        double shown_at = start + WAIT_LIMIT_MS;
        while (now_ms() < start + WAIT_LIMIT_MS) {
            if (probe.shown() == colour) {
                shown_at = now_ms();
                break;
            }
            usleep(250);  // light polling: the server also serves zrv5
        }
        figures.push_back(shown_at - start);
    }
    std::sort(figures.begin(), figures.end());
    const double median = figures[figures.size() / 2];
    const double p95 = figures[std::min(figures.size() - 1, figures.size() * 95 / 100)];
    std::printf("latency over %d changes: median %.2f ms, 95th percentile %.2f ms\n", changes,
                median, p95);
}

int usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s --window ID --block X Y --screen SX SY "
                 "(--blink MS --seconds S | --latency N)\n",
                 program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Probe probe;
    int blink_ms = 0;
    int seconds = 0;
    int changes = 0;
    bool understood = true;
    for (int i = 1; i < argc && understood; ++i) {
        // Takes the option's next value; a missing one makes the whole line not understood.
        const auto value = [&](int base = 10) -> long {
            if (i + 1 >= argc) {
                understood = false;
                return 0;
            }
            return std::strtol(argv[++i], nullptr, base);
        };
        if (std::strcmp(argv[i], "--window") == 0) {
            probe.window = static_cast<Window>(value(0));  // decimal or 0x...
        } else if (std::strcmp(argv[i], "--block") == 0) {
            probe.x = static_cast<int>(value());
            probe.y = static_cast<int>(value());
        } else if (std::strcmp(argv[i], "--screen") == 0) {
            probe.screen_x = static_cast<int>(value());
            probe.screen_y = static_cast<int>(value());
        } else if (std::strcmp(argv[i], "--blink") == 0) {
            blink_ms = static_cast<int>(value());
        } else if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = static_cast<int>(value());
        } else if (std::strcmp(argv[i], "--latency") == 0) {
            changes = static_cast<int>(value());
        } else {
            understood = false;
        }
    }
    if (!understood || probe.window == 0 || (blink_ms <= 0 && changes <= 0)) {
        return usage(argv[0]);
    }
    probe.display = XOpenDisplay(nullptr);
    if (probe.display == nullptr) {
        std::fprintf(stderr, "%s: cannot open the display %s\n", argv[0], XDisplayName(nullptr));
        return 2;
    }
    probe.gc = XCreateGC(probe.display, probe.window, 0, nullptr);
    if (changes > 0) {
        latency(probe, changes);
    } else {
        blink(probe, blink_ms, seconds);
    }
    XCloseDisplay(probe.display);
    return 0;
}
