// An X session of the end-to-end tests: its own Xvfb 1400x1050x24 on a free display, the test's
// connection to it, screen reads with exact comparison, and input through XTest.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "x11/support/child_process.h"

constexpr int SCREEN_WIDTH = 1400;
constexpr int SCREEN_HEIGHT = 1050;

// A pixel of an expected frame that any value may take.
constexpr std::uint32_t ANY_PIXEL = 0xFF000000u;

// A picture of the screen or of what it must show, rows top-down, pixels 0x00RRGGBB.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    Frame() = default;
    Frame(int w, int h, std::uint32_t fill = 0)
        : width(w),
          height(h),
          pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
    void set(int x, int y, std::uint32_t p) { pixels[static_cast<std::size_t>(y * width + x)] = p; }
};

// Returns "" when `actual` matches `expected` (ANY_PIXEL matches anything), else the first
// differing pixel and the count of differing pixels.
std::string frame_difference(const Frame& expected, const Frame& actual);

class XSession {
public:
    // Starts the server and connects; false (with a message in failure()) when it cannot.
    bool start(const std::vector<std::string>& extra_arguments = {});
    // Connects to a server that runs already (a compositor's XWayland) instead of starting one.
    bool attach(const std::string& display_name);
    // Reads the screen through `reader` (a compositor's screenshot, say) instead of from the root,
    // which a rootless server cannot give.
    void set_screen_reader(std::function<Frame()> reader) { screen_reader_ = std::move(reader); }
    // Reads the window's own pixels, as it has drawn them.
    Frame read_window(Window window);
    // Gives the next start() a root of this size instead of 1400x1050 (several monitors side by
    // side); frames are still read from (0, 0) at 1400x1050 unless an area is given.
    void set_root_size(int width, int height);
    ~XSession();

    const std::string& name() const { return name_; }
    Display* display() const { return display_; }
    const std::string& failure() const { return failure_; }
    // Ends the server at once, as a crash or a lost connection would.
    void kill_server();

    Frame read_screen();
    // Reads a width x height area of the root from (x, y).
    Frame read_area(int x, int y, int width, int height);
    // As wait_for_screen, for the area of the expected frame's size at (x, y).
    std::string wait_for_area(const Frame& expected, int x, int y, int timeout_ms,
                              const std::string& label);
    // Reads the screen until it matches `expected` or `timeout_ms` passes; returns "" on a match,
    // else the difference of the last read. On failure both pictures are saved under the failure
    // folder, named after `label`.
    std::string wait_for_screen(const Frame& expected, int timeout_ms, const std::string& label);
    // Saves a frame as a PNG (through a PPM) in the failure folder; returns the path.
    std::string save(const Frame& frame, const std::string& label);

    void move_pointer(int x, int y);
    void click(int x, int y, unsigned button = 1);
    // Presses and releases a key given by its keysym name ("Return", "Escape").
    void press_key(const char* keysym_name);
    // Presses and releases the exit key, Super+Escape.
    void press_exit_key();

    // Returns the top-level window with this WM_NAME, or 0.
    Window find_window(const std::string& title);
    // Waits until a program's overlay "ZRV5" exists and holds the pointer grab; false on timeout.
    bool wait_for_pick_ready(int timeout_ms);
    // Returns the screen position of the window's (0, 0).
    void origin_of(Window window, int* x, int* y);
    // Returns the number of X clients connected, and the resources of the client owning `window`.
    int client_count();
    long client_resources(Window owned_window);

private:
    ChildProcess server_;
    // find_window's search, run while a vanished window's BadWindow is ignored.
    Window find_window_listed(const std::string& title);
    Display* display_ = nullptr;
    std::string name_;
    std::string failure_;
    std::string root_size_ = "1400x1050x24";
    std::function<Frame()> screen_reader_;
};
