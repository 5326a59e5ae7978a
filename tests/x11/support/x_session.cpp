// The end-to-end tests' X session: Xvfb on a free display, screen reads, XTest input.
#include "x11/support/x_session.h"

#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// Xvfb reports its display number on this descriptor once it accepts connections.
constexpr const char* READY_DESCRIPTOR = "1";
constexpr int SERVER_START_MS = 15000;

// Returns whether a live server holds the display number. A server killed outright (as some tests
// do on purpose) leaves its lock file and socket behind; a lock whose process is gone does not
// count, and a new server replaces both, so stale ones never use up the numbers.
bool lock_file_exists(int number) {
    std::FILE* lock = std::fopen(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), "r");
    if (lock == nullptr) {
        return false;
    }
    long pid = 0;
    const bool read = std::fscanf(lock, "%ld", &pid) == 1;
    std::fclose(lock);
    return !read || pid <= 0 || kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", value);
    return text;
}

}  // namespace

std::string frame_difference(const Frame& expected, const Frame& actual) {
    if (expected.width != actual.width || expected.height != actual.height) {
        return "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height) +
               ", expected " + std::to_string(expected.width) + "x" +
               std::to_string(expected.height);
    }
    long differing = 0;
    std::string first;
    for (int y = 0; y < expected.height; ++y) {
        for (int x = 0; x < expected.width; ++x) {
            const std::uint32_t want = expected.at(x, y);
            if (want == ANY_PIXEL || want == actual.at(x, y)) {
                continue;
            }
            if (differing++ == 0) {
                first = "first at (" + std::to_string(x) + ", " + std::to_string(y) +
                        "): " + hex(actual.at(x, y)) + ", expected " + hex(want);
            }
        }
    }
    if (differing == 0) {
        return "";
    }
    return std::to_string(differing) + " pixels differ; " + first;
}

bool XSession::start(const std::vector<std::string>& extra_arguments) {
    // Spread over many numbers, so that concurrent test programs rarely try the same one.
    const int base = 300 + static_cast<int>(getpid() % 400) * 2;
    for (int attempt = 0; attempt < 40; ++attempt) {
        const int number = base + attempt;
        if (lock_file_exists(number)) {
            continue;
        }
        std::vector<std::string> argv = {"/usr/bin/Xvfb", ":" + std::to_string(number),
                                         "-screen",       "0",
                                         root_size_,      "-nolisten",
                                         "tcp",           "-noreset",
                                         "-displayfd",    READY_DESCRIPTOR};
        argv.insert(argv.end(), extra_arguments.begin(), extra_arguments.end());
        if (!server_.start(argv)) {
            failure_ = "cannot start Xvfb";
            return false;
        }
        const std::optional<std::string> reported = server_.read_line(SERVER_START_MS);
        if (!reported || reported->empty()) {
            server_.reset();
            continue;  // taken meanwhile, or too slow: the next number
        }
        name_ = ":" + *reported;
        display_ = XOpenDisplay(name_.c_str());
        if (display_ == nullptr) {
            failure_ = "cannot connect to Xvfb " + name_;
            return false;
        }
        return true;
    }
    failure_ = "no free display for Xvfb";
    return false;
}

bool XSession::attach(const std::string& display_name) {
    name_ = display_name;
    display_ = XOpenDisplay(name_.c_str());
    if (display_ == nullptr) {
        failure_ = "cannot connect to " + name_;
        return false;
    }
    return true;
}

XSession::~XSession() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
    server_.kill_now();
}

void XSession::kill_server() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
        display_ = nullptr;
    }
    server_.kill_now();
}

void XSession::set_root_size(int width, int height) {
    root_size_ = std::to_string(width) + "x" + std::to_string(height) + "x24";
}

namespace {

// Reads an area of a window or of the root, pixels 0x00RRGGBB.
Frame read_drawable(Display* display, Drawable drawable, int x0, int y0, int width, int height) {
    Frame frame(width, height);
    XImage* image = XGetImage(display, drawable, x0, y0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return frame;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            frame.set(x, y, static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu);
        }
    }
    XDestroyImage(image);
    return frame;
}

}  // namespace

Frame XSession::read_screen() { return read_area(0, 0, SCREEN_WIDTH, SCREEN_HEIGHT); }

Frame XSession::read_area(int x0, int y0, int width, int height) {
    Frame frame(width, height);
    if (screen_reader_) {
        const Frame screen = screen_reader_();
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const int sx = x0 + x;
                const int sy = y0 + y;
                if (sx < screen.width && sy < screen.height) {
                    frame.set(x, y, screen.at(sx, sy));
                }
            }
        }
        return frame;
    }
    return read_drawable(display_, DefaultRootWindow(display_), x0, y0, width, height);
}

Frame XSession::read_window(Window window) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display_, window, &attributes)) {
        return Frame();
    }
    return read_drawable(display_, window, 0, 0, attributes.width, attributes.height);
}


std::string XSession::wait_for_screen(const Frame& expected, int timeout_ms,
                                      const std::string& label) {
    return wait_for_area(expected, 0, 0, timeout_ms, label);
}

std::string XSession::wait_for_area(const Frame& expected, int x, int y, int timeout_ms,
                                    const std::string& label) {
    const long long deadline = steady_ms() + timeout_ms;
    std::string difference;
    Frame actual;
    do {
        XSync(display_, False);
        actual = read_area(x, y, expected.width, expected.height);
        difference = frame_difference(expected, actual);
        if (difference.empty()) {
            return "";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (steady_ms() < deadline);
    const std::string saved = save(actual, label + "-actual");
    save(expected, label + "-expected");
    return difference + " (screen saved as " + saved + ")";
}

std::string XSession::save(const Frame& frame, const std::string& label) {
    const std::string folder = ZRV5_FAILURE_FOLDER;
    std::system(("mkdir -p '" + folder + "'").c_str());
    const std::string ppm = folder + "/" + label + ".ppm";
    std::ofstream out(ppm, std::ios::binary);
    out << "P6\n" << frame.width << " " << frame.height << "\n255\n";
    for (const std::uint32_t pixel : frame.pixels) {
        const char rgb[3] = {static_cast<char>(pixel >> 16), static_cast<char>(pixel >> 8),
                             static_cast<char>(pixel)};
        out.write(rgb, 3);
    }
    out.close();
    const std::string png = folder + "/" + label + ".png";
    if (std::system(("convert '" + ppm + "' '" + png + "' 2>/dev/null").c_str()) == 0) {
        unlink(ppm.c_str());
        return png;
    }
    return ppm;
}

void XSession::move_pointer(int x, int y) {
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    XSync(display_, False);
}

void XSession::click(int x, int y, unsigned button) {
    move_pointer(x, y);
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    XSync(display_, False);
}

void XSession::press_key(const char* keysym_name) {
    const KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysym_name));
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XSync(display_, False);
}

void XSession::press_exit_key() {
    const KeyCode super = XKeysymToKeycode(display_, XK_Super_L);
    const KeyCode escape = XKeysymToKeycode(display_, XK_Escape);
    XTestFakeKeyEvent(display_, super, True, CurrentTime);
    XTestFakeKeyEvent(display_, escape, True, CurrentTime);
    XTestFakeKeyEvent(display_, escape, False, CurrentTime);
    XTestFakeKeyEvent(display_, super, False, CurrentTime);
    XSync(display_, False);
}

namespace {

XErrorHandler handler_before_find = nullptr;

// A window listed by the tree may be destroyed before its name is asked for (a compositor's own
// windows come and go): that BadWindow is no error of the test. Any other goes on as before.
int ignore_vanished_window(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow) {
        return 0;
    }
    return handler_before_find(display, error);
}

}  // namespace

Window XSession::find_window(const std::string& title) {
    XSync(display_, False);
    handler_before_find = XSetErrorHandler(ignore_vanished_window);
    const Window found = find_window_listed(title);
    XSync(display_, False);
    XSetErrorHandler(handler_before_find);
    return found;
}

Window XSession::find_window_listed(const std::string& title) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
        return 0;
    }
    for (unsigned i = 0; i < count && found == 0; ++i) {
        char* name = nullptr;
        if (XFetchName(display_, children[i], &name) && name != nullptr) {
            if (title == name) {
                found = children[i];
            }
            XFree(name);
        }
    }
    XFree(children);
    return found;
}

bool XSession::wait_for_pick_ready(int timeout_ms) {
    const long long deadline = steady_ms() + timeout_ms;
    while (steady_ms() < deadline) {
        if (find_window("ZRV5") != 0) {
            // A grab of our own fails while the program holds its grab.
            const int result =
                XGrabPointer(display_, DefaultRootWindow(display_), False, ButtonPressMask,
                             GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
            if (result == AlreadyGrabbed) {
                return true;
            }
            if (result == GrabSuccess) {
                XUngrabPointer(display_, CurrentTime);
            }
            XSync(display_, False);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void XSession::origin_of(Window window, int* x, int* y) {
    Window child = 0;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, x, y, &child);
}

int XSession::client_count() {
    int count = 0;
    XResClient* clients = nullptr;
    XResQueryClients(display_, &count, &clients);
    XFree(clients);
    return count;
}

long XSession::client_resources(Window owned_window) {
    int count = 0;
    XResClient* clients = nullptr;
    XResQueryClients(display_, &count, &clients);
    XID owner = 0;
    for (int i = 0; i < count; ++i) {
        if ((owned_window & ~clients[i].resource_mask) == clients[i].resource_base) {
            owner = clients[i].resource_base;
        }
    }
    XFree(clients);
    if (owner == 0) {
        return -1;
    }
    int types = 0;
    XResType* resources = nullptr;
    XResQueryClientResources(display_, owner, &types, &resources);
    long total = 0;
    for (int i = 0; i < types; ++i) {
        total += resources[i].count;
    }
    XFree(resources);
    return total;
}
