// A Wayland session of the end-to-end tests: a headless compositor (weston or sway) with XWayland,
// its X display for the test and for zrv5, and the compositor's own screenshot where it can give
// one.
#pragma once

#include <string>
#include <vector>

#include "x11/support/child_process.h"
#include "x11/support/x_session.h"

enum class Compositor { weston, sway };

const char* compositor_name(Compositor compositor);

class WaylandSession {
public:
    // Starts the compositor with XWayland on an output of SCREEN_WIDTH x SCREEN_HEIGHT and waits
    // until X clients may connect; false (with a message in failure()) when it cannot.
    bool start(Compositor compositor);
    ~WaylandSession();

    Compositor compositor() const { return compositor_; }
    // XWayland's display name (":N").
    const std::string& x_display() const { return x_display_; }
    // What a program of the session needs beside DISPLAY: the compositor's socket.
    std::vector<std::string> environment() const;
    const std::string& failure() const { return failure_; }
    std::string log_text() const;

    // Whether the compositor's screenshot shows X11 override-redirect windows as they are: grim on
    // sway does; weston's screenshooter writes their pixels with alpha 0, which its PNG writer
    // turns into black.
    bool screenshots_show_overlays() const { return compositor_ == Compositor::sway; }
    // The whole output as the compositor shows it; an empty frame when it cannot be had.
    Frame screenshot();
    // Runs a sway command (swaymsg); true when sway accepted it.
    bool sway_command(const std::string& command);

private:
    bool start_weston();
    bool start_sway();

    Compositor compositor_ = Compositor::weston;
    ChildProcess process_;
    std::string folder_;       // runtime folder, configuration, log
    std::string runtime_dir_;  // XDG_RUNTIME_DIR of the compositor
    std::string wayland_display_;
    std::string x_display_;
    std::string failure_;
};
