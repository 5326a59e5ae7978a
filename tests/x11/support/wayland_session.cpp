// A headless compositor with XWayland for the end-to-end tests (see wayland_session.h).
#include "x11/support/wayland_session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

constexpr int COMPOSITOR_START_MS = 20000;
// sway refuses to run as root: it runs as nobody, and lets root's clients in (xhost).
constexpr int NOBODY = 65534;

std::string screen_size() {
    return std::to_string(SCREEN_WIDTH) + "x" + std::to_string(SCREEN_HEIGHT);
}

// Waits until `condition` holds or the compositor's start time is over.
template <typename Condition>
bool wait_until(Condition condition) {
    for (long long deadline = steady_ms() + COMPOSITOR_START_MS; steady_ms() < deadline;) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Returns the value of NAME in a file of NAME=value lines, "" when absent.
std::string value_in(const std::string& path, const std::string& name) {
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind(name + "=", 0) == 0) {
            return line.substr(name.size() + 1);
        }
    }
    return "";
}

// Reads a binary PPM (P6, maxval 255) into a frame; an empty frame on any fault.
Frame read_ppm(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string magic;
    int width = 0;
    int height = 0;
    int maximum = 0;
    file >> magic >> width >> height >> maximum;
    file.get();
    if (!file || magic != "P6" || maximum != 255 || width <= 0 || height <= 0) {
        return Frame();
    }
    Frame frame(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char rgb[3] = {};
            file.read(reinterpret_cast<char*>(rgb), 3);
            frame.set(x, y, (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | rgb[2]);
        }
    }
    return file ? frame : Frame();
}

}  // namespace

const char* compositor_name(Compositor compositor) {
    return compositor == Compositor::weston ? "weston" : "sway";
}

bool WaylandSession::start(Compositor compositor) {
    compositor_ = compositor;
    char folder[] = "/tmp/zrv5-wayland-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        failure_ = "cannot make a folder for the compositor";
        return false;
    }
    folder_ = folder;
    runtime_dir_ = folder_ + "/runtime";
    if (mkdir(runtime_dir_.c_str(), 0700) != 0) {
        failure_ = "cannot make the compositor's runtime folder";
        return false;
    }
    return compositor == Compositor::weston ? start_weston() : start_sway();
}

bool WaylandSession::start_weston() {
    wayland_display_ = "zrv5-weston";
    const std::string log = folder_ + "/compositor.log";
    // --debug lets weston-screenshooter in; the log names XWayland's display.
    if (!process_.start({"/usr/bin/weston", "--backend=headless-backend.so", "--use-pixman",
                         "--xwayland", "--width=" + std::to_string(SCREEN_WIDTH),
                         "--height=" + std::to_string(SCREEN_HEIGHT), "--idle-time=0", "--debug",
                         "--socket=" + wayland_display_, "--log=" + log},
                        {"XDG_RUNTIME_DIR=" + runtime_dir_, "DISPLAY=", "WAYLAND_DISPLAY="})) {
        failure_ = "cannot start weston";
        return false;
    }
    const std::string marker = "xserver listening on display ";
    const bool listening = wait_until([&] {
        const std::string text = log_text();
        const std::size_t at = text.find(marker);
        if (at == std::string::npos) {
            return false;
        }
        x_display_ = text.substr(at + marker.size(), text.find('\n', at) - at - marker.size());
        return true;
    });
    if (!listening) {
        failure_ = "weston's XWayland did not start: " + log_text() + process_.stderr_text();
    }
    return listening;
}

bool WaylandSession::start_sway() {
    const std::string shared = folder_ + "/shared";  // where nobody writes what it has found
    const std::string config = folder_ + "/config";
    if (mkdir(shared.c_str(), 0700) != 0 || chown(shared.c_str(), NOBODY, NOBODY) != 0 ||
        chown(runtime_dir_.c_str(), NOBODY, NOBODY) != 0 || chmod(folder_.c_str(), 0755) != 0) {
        failure_ = "cannot prepare sway's folders";
        return false;
    }
    const std::string found = shared + "/environment";
    {
        std::ofstream out(config);
        out << "xwayland enable\n"
            << "output HEADLESS-1 mode " << screen_size() << " position 0 0\n"
            // Tiling would give the test's targets sizes of its own.
            << "for_window [shell=\"xwayland\"] floating enable\n"
            << "exec sh -c 'xhost +si:localuser:root >/dev/null && env > " << found
            << ".new && mv " << found << ".new " << found << "'\n";
    }
    chmod(config.c_str(), 0644);
    if (!process_.start({"/usr/bin/setpriv", "--reuid=" + std::to_string(NOBODY),
                         "--regid=" + std::to_string(NOBODY), "--clear-groups", "/usr/bin/sway",
                         "-c", config},
                        {"XDG_RUNTIME_DIR=" + runtime_dir_, "HOME=" + shared,
                         "WLR_BACKENDS=headless", "WLR_RENDERER=pixman",
                         "WLR_LIBINPUT_NO_DEVICES=1", "DISPLAY=", "WAYLAND_DISPLAY=",
                         "SWAYSOCK="})) {
        failure_ = "cannot start sway";
        return false;
    }
    const bool ready = wait_until([&] { return !value_in(found, "DISPLAY").empty(); });
    if (!ready) {
        failure_ = "sway's XWayland did not start: " + process_.stderr_text();
        return false;
    }
    x_display_ = value_in(found, "DISPLAY");
    wayland_display_ = value_in(found, "WAYLAND_DISPLAY");
    return true;
}

WaylandSession::~WaylandSession() {
    process_.kill_now();
    if (!folder_.empty()) {
        std::system(("rm -rf '" + folder_ + "'").c_str());
    }
}

std::vector<std::string> WaylandSession::environment() const {
    return {"XDG_RUNTIME_DIR=" + runtime_dir_, "WAYLAND_DISPLAY=" + wayland_display_};
}

std::string WaylandSession::log_text() const {
    std::ifstream file(folder_ + "/compositor.log");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

Frame WaylandSession::screenshot() {
    const std::string png = folder_ + "/screenshot.png";
    const std::string ppm = folder_ + "/screenshot.ppm";
    unlink(png.c_str());
    std::string command = "XDG_RUNTIME_DIR='" + runtime_dir_ + "' WAYLAND_DISPLAY='" +
                          wayland_display_ + "' ";
    if (compositor_ == Compositor::sway) {
        command += "grim '" + png + "'";
    } else {
        // The screenshooter writes wayland-screenshot-<time>.png into its working folder.
        command = "cd '" + folder_ + "' && rm -f wayland-screenshot-*.png && " + command +
                  "weston-screenshooter && mv wayland-screenshot-*.png '" + png + "'";
    }
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0 ||
        std::system(("convert '" + png + "' -alpha off '" + ppm + "' 2>/dev/null").c_str()) !=
            0) {
        return Frame();
    }
    return read_ppm(ppm);
}

bool WaylandSession::sway_command(const std::string& command) {
    const std::string socket = value_in(folder_ + "/shared/environment", "SWAYSOCK");
    const std::string line = "swaymsg -s '" + socket + "' '" + command + "' >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}
