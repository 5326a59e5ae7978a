// End-to-end under a reparenting window manager (twm): the target is framed and titled by the
// manager, the pick still takes the client window under the click, and the frame shows its client
// area as the screen showed it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "x11/support/end_to_end.h"
#include "x11/support/pattern.h"

namespace {

using WindowManager = EndToEnd;

bool redirect_refused = false;

int note_refusal(Display*, XErrorEvent* error) {
    redirect_refused = redirect_refused || error->error_code == BadAccess;
    return 0;
}

// Returns whether some client (the manager) holds the root's substructure redirection.
bool manager_running(Display* display) {
    redirect_refused = false;
    XErrorHandler previous = XSetErrorHandler(note_refusal);
    XSelectInput(display, DefaultRootWindow(display), SubstructureRedirectMask);
    XSync(display, False);
    XSelectInput(display, DefaultRootWindow(display), NoEventMask);
    XSync(display, False);
    XSetErrorHandler(previous);
    return redirect_refused;
}

TEST_F(WindowManager, UnderTwmTheClientAreaOfTheFramedTargetIsMagnified) {
    char folder[] = "/tmp/zrv5-twm-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string rc = std::string(folder) + "/twmrc";
    // Placement without the manager's interactive rubber band, which would grab the server.
    std::ofstream(rc) << "RandomPlacement\nUsePPosition \"on\"\nNoGrabServer\n";
    ChildProcess fonts;
    ASSERT_TRUE(fonts.start({"/usr/bin/xset", "fp+", "/usr/share/fonts/X11/misc"},
                            {"DISPLAY=" + session.name()}));
    fonts.wait_exit(EXIT_MS);
    ChildProcess twm;
    ASSERT_TRUE(twm.start({"/usr/bin/twm", "-f", rc}, {"DISPLAY=" + session.name(), "LC_ALL=C"}));
    bool running = false;
    for (long long deadline = steady_ms() + START_MS; steady_ms() < deadline && !running;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        running = manager_running(session.display());
    }
    ASSERT_TRUE(running) << twm.stderr_text();

    auto target = start_target(640, 480, 200, 150);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    ASSERT_TRUE(XQueryTree(session.display(), target->window, &root, &parent, &children, &count));
    XFree(children);
    ASSERT_NE(parent, root) << "twm did not frame the target";
    int x = 0;
    int y = 0;
    session.origin_of(target->window, &x, &y);
    // Framing unmaps and maps the target again: the picture to expect is the one it shows once it
    // has drawn itself again in the frame.
    const auto shows_target = [&](const Frame& screen) {
        for (int row = 0; row < 480; ++row) {
            for (int column = 0; column < 640; ++column) {
                if (screen.at(x + column, y + row) != target_pixel(0, column, row)) {
                    return false;
                }
            }
        }
        return true;
    };
    Frame beneath = session.read_screen();
    for (long long deadline = steady_ms() + START_MS;
         steady_ms() < deadline && !shows_target(beneath);) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        beneath = session.read_screen();
    }
    ASSERT_TRUE(shows_target(beneath)) << "the framed target did not draw itself";
    auto run = start_and_pick(x + 100, y + 50);
    expect_screen(stretched_frame(screen_source(beneath, x, y), 640, 480,
                                  Placement{60, 45, 1280, 960}, 60, 45),
                  "twm");
    EXPECT_NE(run->profile_text().find("HWND=" + std::to_string(target->window) + "\n"),
              std::string::npos)
        << "the client window, not the manager's frame, is the target";
    // Drawn into the framed client, the new picture is reported by the frame's damage.
    target->command("picture 2");
    expect_screen(stretched_frame(target_source(2), 640, 480, Placement{60, 45, 1280, 960}, 60, 45),
                  "twm-redrawn");
    target->command("close");
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
    unlink(rc.c_str());
    rmdir(folder);
}

}  // namespace
