// The companion's work on X11. While the view runs, the pointer stays inside the capture rectangle:
// the target's client origin (followed as the target moves) and the published W x H. XFixes pointer
// barriers stop relative motion at the rectangle's sides; absolute devices and warps pass barriers,
// so every raw motion, and a regular look between them, brings a pointer found outside back in. A
// rectangle wholly off the screen holds nothing until it is back. Super+Escape ends the view
// (exit_hotkey.cpp). All of it hangs on a connection of the companion's own: when the process ends
// without MyEndHook, the server drops the barriers and the grab with the connection.
#include "companion/x11/view_keeper.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xfixes.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <thread>

#include "companion/published_size.h"
#include "companion/x11/exit_hotkey.h"
#include "platform/posix/posix_user_profile.h"
#include "vocabulary/companion_contract.h"

// The program's export, weak: loaded into a program without it, the library sees it null.
#pragma weak zrv5_profile_is_current

namespace {

// How often the thread looks at the target's place and the pointer between events: a warp by
// another client and a moved window send this connection nothing, so they are found by looking.
// As often as the Windows companion looks; each look wakes the process and costs a round trip.
constexpr int LOOK_INTERVAL_MS = 15;
constexpr int SIDES = 4;

struct Rectangle {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rectangle& other) const {
        return x == other.x && y == other.y && width == other.width && height == other.height;
    }
};

// Where the pointer is on the root and in a window.
struct PointerPlace {
    int root_x = 0;
    int root_y = 0;
    int window_x = 0;
    int window_y = 0;
};

// Asks where the pointer is; false when the server cannot say it for the window (gone, or on
// another screen than the pointer).
bool query_pointer(Display* display, Window window, PointerPlace* place) {
    Window root = 0;
    Window child = 0;
    unsigned buttons = 0;
    return XQueryPointer(display, window, &root, &child, &place->root_x, &place->root_y,
                         &place->window_x, &place->window_y, &buttons) != 0;
}

class ViewKeeper {
public:
    bool connect();
    void start_thread() { thread_ = std::thread(&ViewKeeper::run, this); }
    void stop();

private:
    void run();
    void handle_event(XEvent& event);
    // Finds where the target and the pointer are, in one request where it can, and acts on both.
    void look();
    // Finds where the rectangle is now and moves the barriers there; takes them down when the
    // target is gone.
    void follow_target();
    // Moves the barriers to the rectangle at `now` when it has moved.
    void place(const Rectangle& now);
    void put_barriers();
    // Whether any of the rectangle lies on the screen.
    bool on_screen() const;
    void take_barriers_down();
    // Warps a pointer found outside the rectangle to the nearest point inside it.
    void bring_pointer_back();
    void bring_back_from(int x, int y);

    Display* display_ = nullptr;
    Window root_ = 0;
    Window target_ = 0;
    int capture_width_ = 0;
    int capture_height_ = 0;
    int screen_width_ = 0;
    int screen_height_ = 0;
    bool barriers_supported_ = false;
    int input_opcode_ = -1;
    bool confining_ = false;
    bool placed_ = false;
    Rectangle rectangle_;
    PointerBarrier barriers_[SIDES] = {};
    ExitHotkey hotkey_;
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

ViewKeeper* keeper = nullptr;

bool ViewKeeper::connect() {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
        return false;
    }
    if (pipe(wake_) != 0) {
        XCloseDisplay(display_);
        display_ = nullptr;
        return false;
    }
    const int screen = DefaultScreen(display_);
    root_ = RootWindow(display_, screen);
    screen_width_ = DisplayWidth(display_, screen);
    screen_height_ = DisplayHeight(display_, screen);

    int event_base = 0;
    int error_base = 0;
    int major = 5;
    int minor = 0;
    // Pointer barriers came with XFixes 5.
    barriers_supported_ = XFixesQueryExtension(display_, &event_base, &error_base) &&
                          XFixesQueryVersion(display_, &major, &minor) && major >= 5;
    // Raw events reach a root window without a grab from XInput 2.1 on.
    int opcode = 0;
    if (XQueryExtension(display_, "XInputExtension", &opcode, &event_base, &error_base)) {
        major = 2;
        minor = 2;
        if (XIQueryVersion(display_, &major, &minor) == Success &&
            (major > 2 || (major == 2 && minor >= 1))) {
            // A passive grab never fires while the focus is None (a focused window unmapped, the
            // window manager gone): the server then sends key events nowhere. Raw events on the
            // root still come.
            unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
            XISetMask(bits, XI_RawMotion);
            XISetMask(bits, XI_RawKeyPress);
            XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
            XISelectEvents(display_, root_, &mask, 1);
            input_opcode_ = opcode;
        }
    }

    const PublishedView view =
        published_view([](const char* key) { return user_profile_read(PROFILE_SECTION, key, "0"); },
                       screen_width_, screen_height_);
    // The profile's "HWND" is the window id's 32 bits read as signed.
    target_ = static_cast<Window>(static_cast<std::uint32_t>(view.window));
    capture_width_ = view.width;
    capture_height_ = view.height;
    // After a failed write the profile may name an older view's window: the pointer is then left
    // free.
    const bool published = zrv5_profile_is_current == nullptr || zrv5_profile_is_current();
    confining_ = published && view.confines();

    hotkey_.start(display_, root_, input_opcode_ >= 0);
    follow_target();
    bring_pointer_back();
    XSync(display_, False);
    return true;
}

void ViewKeeper::run() {
    for (;;) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            handle_event(event);
        }
        look();
        XFlush(display_);
        if (XQLength(display_) > 0) {
            continue;
        }
        pollfd watched[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(watched, 2, LOOK_INTERVAL_MS) < 0 && errno != EINTR) {
            break;
        }
        if (watched[1].revents != 0) {
            break;
        }
    }
    take_barriers_down();
    hotkey_.stop();
    XSync(display_, False);
}

void ViewKeeper::handle_event(XEvent& event) {
    if (hotkey_.take(event)) {
        return;
    }
    if (event.type == GenericEvent && event.xcookie.extension == input_opcode_ &&
        XGetEventData(display_, &event.xcookie)) {
        const int kind = event.xcookie.evtype;
        const int key = static_cast<const XIRawEvent*>(event.xcookie.data)->detail;
        XFreeEventData(display_, &event.xcookie);
        if (kind == XI_RawKeyPress) {
            hotkey_.raw_key_press(key);
        } else if (kind == XI_RawMotion) {
            // The pointer has already moved when its raw event arrives.
            look();
        }
    }
}

// The pointer asked for relative to the target gives the target's origin as well: the pointer's
// place on the root less its place in the target. That halves the requests of a look, which runs
// some sixty times a second. Where it cannot answer (the target gone, or the pointer on another
// screen), the target and the pointer are asked for one by one.
void ViewKeeper::look() {
    if (!confining_) {
        return;
    }
    PointerPlace pointer;
    if (!query_pointer(display_, target_, &pointer)) {
        follow_target();
        bring_pointer_back();
        return;
    }
    place(Rectangle{pointer.root_x - pointer.window_x, pointer.root_y - pointer.window_y,
                    capture_width_, capture_height_});
    bring_back_from(pointer.root_x, pointer.root_y);
}

void ViewKeeper::follow_target() {
    if (!confining_) {
        return;
    }
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display_, target_, root_, 0, 0, &x, &y, &child)) {
        // The target is gone and the view ends at its next tick: the pointer is free from now on.
        take_barriers_down();
        confining_ = false;
        return;
    }
    place(Rectangle{x, y, capture_width_, capture_height_});
}

void ViewKeeper::place(const Rectangle& now) {
    if (placed_ && now == rectangle_) {
        return;
    }
    rectangle_ = now;
    placed_ = true;
    // The root may have grown or shrunk since (a monitor added, `xrandr --fb`): the barriers span
    // it as it is now, and a target moved into new rows is still on the screen.
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    if (XGetGeometry(display_, root_, &root, &x, &y, &width, &height, &border, &depth)) {
        screen_width_ = static_cast<int>(width);
        screen_height_ = static_cast<int>(height);
    }
    take_barriers_down();
    put_barriers();
}

// Each side's barrier spans the whole screen: barriers that end at the rectangle's corners let the
// pointer slip out past a corner. Each lets motion through only into the rectangle. A pointer at x
// stopped by a vertical barrier at b stays at b when it came from the right and at b - 1 when it
// came from the left, so the right and bottom barriers lie one past the last pixel inside.
//
// A side that lies on or past the screen's edge needs no barrier (the edge holds the pointer
// there), and the server refuses a barrier off the screen; a rectangle wholly off the screen gets
// none at all.
void ViewKeeper::put_barriers() {
    if (!barriers_supported_ || !on_screen()) {
        return;
    }
    const Rectangle& r = rectangle_;
    const int right = r.x + r.width;
    const int bottom = r.y + r.height;
    if (r.x > 0) {
        barriers_[0] = XFixesCreatePointerBarrier(display_, root_, r.x, 0, r.x, screen_height_,
                                                  BarrierPositiveX, 0, nullptr);
    }
    if (right < screen_width_) {
        barriers_[1] = XFixesCreatePointerBarrier(display_, root_, right, 0, right,
                                                  screen_height_, BarrierNegativeX, 0, nullptr);
    }
    if (r.y > 0) {
        barriers_[2] = XFixesCreatePointerBarrier(display_, root_, 0, r.y, screen_width_, r.y,
                                                  BarrierPositiveY, 0, nullptr);
    }
    if (bottom < screen_height_) {
        barriers_[3] = XFixesCreatePointerBarrier(display_, root_, 0, bottom, screen_width_,
                                                  bottom, BarrierNegativeY, 0, nullptr);
    }
}

bool ViewKeeper::on_screen() const {
    const Rectangle& r = rectangle_;
    return r.width > 0 && r.height > 0 && r.x < screen_width_ && r.y < screen_height_ &&
           std::int64_t{r.x} + r.width > 0 && std::int64_t{r.y} + r.height > 0;
}

void ViewKeeper::take_barriers_down() {
    for (PointerBarrier& barrier : barriers_) {
        if (barrier != 0) {
            XFixesDestroyPointerBarrier(display_, barrier);
            barrier = 0;
        }
    }
}

void ViewKeeper::bring_pointer_back() {
    if (!confining_ || !placed_) {
        return;
    }
    PointerPlace pointer;
    if (query_pointer(display_, root_, &pointer)) {
        bring_back_from(pointer.root_x, pointer.root_y);
    }
}

void ViewKeeper::bring_back_from(int x, int y) {
    // A pointer cannot be brought into a rectangle off the screen.
    if (!confining_ || !placed_ || !on_screen()) {
        return;
    }
    const Rectangle& r = rectangle_;
    // X coordinates are 16-bit and the size at most the screen's, so these sums cannot overflow;
    // they are still taken in 64 bits, as every sum with a published size is.
    const auto inside_x =
        static_cast<int>(std::clamp<std::int64_t>(x, r.x, std::int64_t{r.x} + r.width - 1));
    const auto inside_y =
        static_cast<int>(std::clamp<std::int64_t>(y, r.y, std::int64_t{r.y} + r.height - 1));
    if (inside_x != x || inside_y != y) {
        XWarpPointer(display_, None, root_, 0, 0, 0, 0, inside_x, inside_y);
    }
}

void ViewKeeper::stop() {
    const char wake = 1;
    const ssize_t written = write(wake_[1], &wake, 1);
    (void)written;
    if (thread_.joinable()) {
        thread_.join();
    }
    // Closing the connection also drops anything the server still holds for it.
    XCloseDisplay(display_);
    close(wake_[0]);
    close(wake_[1]);
}

}  // namespace

void view_keeper_start() {
    if (keeper != nullptr) {
        return;
    }
    auto* starting = new ViewKeeper;
    if (!starting->connect()) {
        delete starting;
        return;
    }
    // Never joined when the process ends without MyEndHook: the thread ends with the process, and
    // the keeper is left undestroyed so that no joinable std::thread is destroyed at exit.
    try {
        starting->start_thread();
    } catch (const std::system_error&) {
        starting->stop();
        delete starting;
        return;
    }
    keeper = starting;
}

void view_keeper_stop() {
    if (keeper == nullptr) {
        return;
    }
    keeper->stop();
    delete keeper;
    keeper = nullptr;
}
