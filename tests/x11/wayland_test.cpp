// End to end in Wayland sessions: X11 programs through XWayland on headless weston and sway. The
// view of an XWayland window: the pick, the picture pixel for pixel (through sway's own screenshot;
// weston's cannot show X11 override-redirect windows, so there the overlay's own pixels), the
// pointer drawn, the end on the target closed and on zrv5-exit, Super+Escape from sway's own
// keyboard, and the limits zrv5 announces at start-up.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "x11/support/end_to_end.h"
#include "x11/support/wayland_session.h"

namespace {

constexpr const char* WAYLAND_WARNINGS =
    "zrv5: warning: in a Wayland session only X11 (XWayland) windows can be picked and shown\n"
    "zrv5: warning: under XWayland the pointer is not kept on the shown window (the compositor's "
    "pointer passes X11 barriers)\n"
    "zrv5: warning: under XWayland Super+Escape reaches zrv5 only while an X11 window has the "
    "keyboard focus; bind zrv5-exit to a key of the compositor\n";

// How many reads 50 ms apart a placed window's origin must keep to count as settled.
constexpr int SETTLED_READS = 6;

Frame typical_frame() {
    return stretched_frame(EndToEnd::target_source(0), 640, 480, Placement{60, 45, 1280, 960}, 60,
                           45);
}

class InWayland : public EndToEnd, public ::testing::WithParamInterface<Compositor> {
protected:
    void SetUp() override {
        ASSERT_TRUE(wayland.start(GetParam())) << wayland.failure();
        ASSERT_TRUE(session.attach(wayland.x_display())) << session.failure();
        if (wayland.screenshots_show_overlays()) {
            session.set_screen_reader([this] { return wayland.screenshot(); });
        } else {
            // What the overlay holds, as weston's screenshot cannot show it.
            session.set_screen_reader([this] {
                const Window overlay = session.find_window("ZRV5");
                return overlay != 0 ? session.read_window(overlay) : Frame();
            });
        }
    }

    // The display goes before its server: a connection whose server has gone would end the test
    // program.
    void TearDown() override { session.kill_server(); }

    // Starts a 640x480 target, and zrv5 with `settings`, and picks the target at client (100, 50).
    std::unique_ptr<Zrv5Run> start_view(std::unique_ptr<TestTarget>* target,
                                        const std::string& settings = "[Zarvo5]\n",
                                        std::vector<std::string> environment = {},
                                        bool working_companion = false) {
        *target = start_target(640, 480, 200, 150);
        // The compositor places the window once it is mapped, and XWayland's coordinates follow
        // that place: the origin counts once it has held still for a while.
        int still_reads = 0;
        for (long long deadline = steady_ms() + START_MS;
             still_reads < SETTLED_READS && steady_ms() < deadline;) {
            int x = 0;
            int y = 0;
            session.origin_of((*target)->window, &x, &y);
            still_reads = x == origin_x && y == origin_y ? still_reads + 1 : 0;
            origin_x = x;
            origin_y = y;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        Zrv5Setup setup;
        setup.settings = settings;
        setup.working_companion = working_companion;
        setup.environment = wayland.environment();
        setup.environment.insert(setup.environment.end(), environment.begin(), environment.end());
        return start_and_pick(origin_x + 100, origin_y + 50, setup);
    }

    WaylandSession wayland;
    int origin_x = 0;
    int origin_y = 0;
};

TEST_P(InWayland, AnXWaylandWindowIsShownAndTheClosedTargetEndsTheView) {
    std::unique_ptr<TestTarget> target;
    auto run = start_view(&target);
    expect_screen(typical_frame(), "xwayland");
    target->command("close");
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
    EXPECT_EQ(run->process().stderr_text(), WAYLAND_WARNINGS);
}

TEST_P(InWayland, ThePointerIsDrawnAndTheExitProgramEndsTheView) {
    char empty_theme_folder[] = "/tmp/zrv5-no-theme-XXXXXX";
    ASSERT_NE(mkdtemp(empty_theme_folder), nullptr);
    std::unique_ptr<TestTarget> target;
    auto run = start_view(&target, "[Zarvo5]\nmouse_trs=2\ntime=50\n",
                          {std::string("XCURSOR_PATH=") + empty_theme_folder});
    // The pointer stays where it picked, client (100, 50): the arrow's tip at (260, 145).
    Frame with_arrow = typical_frame();
    draw_over(with_arrow, 60 + 2 * 100, 45 + 2 * 50, EMBEDDED_ARROW_WIDTH, EMBEDDED_ARROW_HEIGHT,
              arrow_pixel);
    expect_screen(with_arrow, "xwayland-arrow");

    ChildProcess exit_program;
    ASSERT_TRUE(exit_program.start({ZRV5_EXIT_PROGRAM},
                                   {"XDG_CONFIG_HOME=" + run->folder() + "/config"}));
    EXPECT_EQ(exit_program.wait_exit(EXIT_MS), 0);
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
    EXPECT_EQ(run->process().stderr_text(), WAYLAND_WARNINGS);
    EXPECT_TRUE(target->process.running());
    rmdir(empty_theme_folder);
}

INSTANTIATE_TEST_SUITE_P(Compositors, InWayland,
                         ::testing::Values(Compositor::weston, Compositor::sway),
                         [](const ::testing::TestParamInfo<Compositor>& param) {
                             return std::string(compositor_name(param.param));
                         });

// A key of the compositor's own keyboard (wtype's virtual keyboard on sway) goes to the focused
// window; while that is an X11 window, XWayland passes Super+Escape on and the view ends.
class InSway : public InWayland {};

TEST_P(InSway, SuperEscapeOfTheCompositorsKeyboardEndsTheViewOfAFocusedX11Window) {
    std::unique_ptr<TestTarget> target;
    auto run = start_view(&target, "[Zarvo5]\n", {}, true);
    expect_screen(typical_frame(), "xwayland");
    ASSERT_TRUE(wayland.sway_command("[title=\"zrv5 test target\"] focus"));
    // sway's answer comes before XWayland has moved the X focus: keys typed before it lands go to
    // whatever had it, where zrv5 cannot see them.
    Window focus = 0;
    for (long long deadline = steady_ms() + START_MS; steady_ms() < deadline;) {
        int revert = 0;
        XGetInputFocus(session.display(), &focus, &revert);
        if (focus == target->window) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(focus, target->window) << "the X focus never came to the target";
    ChildProcess typing;
    std::vector<std::string> environment = wayland.environment();
    // wtype adds each new key to its keyboard's keymap just before typing it, and a key sent right
    // after such a change is sometimes lost between sway and XWayland (no event of it reaches the
    // X server). So a plain Escape first, which zrv5 leaves alone, then Super+Escape on the same
    // keymap.
    ASSERT_TRUE(typing.start({"/usr/bin/wtype", "-k", "Escape", "-s", "200", "-M", "logo", "-k",
                              "Escape", "-m", "logo"},
                             environment));
    EXPECT_EQ(typing.wait_exit(EXIT_MS), 0) << typing.stderr_text();
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
    EXPECT_NE(run->profile_text().find("EXIT=1"), std::string::npos) << run->profile_text();
}

INSTANTIATE_TEST_SUITE_P(Compositors, InSway, ::testing::Values(Compositor::sway),
                         [](const ::testing::TestParamInfo<Compositor>& param) {
                             return std::string(compositor_name(param.param));
                         });

}  // namespace
