// End to end beside a compositing manager (xcompmgr), as on most X11 desktops: the manager
// redirects every window of the screen, and zrv5 captures through its redirection. The core cases
// again: the pick, the picture pixel for pixel as the screen shows it, the end on the target closed
// and on zrv5-exit, and no X error said.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <string>
#include <thread>

#include "x11/support/end_to_end.h"

namespace {

constexpr int TARGET_X = 200;
constexpr int TARGET_Y = 150;

Frame typical_frame() {
    return stretched_frame(EndToEnd::target_source(0), 640, 480, Placement{60, 45, 1280, 960}, 60,
                           45);
}

class Composited : public EndToEnd {
protected:
    void SetUp() override {
        EndToEnd::SetUp();
        ASSERT_TRUE(manager_.start({"/usr/bin/xcompmgr"}, {"DISPLAY=" + session.name()}))
            << "xcompmgr could not be started";
        // The manager is in charge once it owns the screen's compositing selection.
        const Atom selection = XInternAtom(session.display(), "_NET_WM_CM_S0", False);
        bool owned = false;
        for (long long deadline = steady_ms() + START_MS; !owned && steady_ms() < deadline;) {
            owned = XGetSelectionOwner(session.display(), selection) != None;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(owned) << "xcompmgr never took the screen: " << manager_.stderr_text();
    }
    void TearDown() override {
        EXPECT_TRUE(manager_.running()) << "xcompmgr died: " << manager_.stderr_text();
    }

    ChildProcess manager_;
};

TEST_F(Composited, ThePickedWindowIsShownPixelForPixelAndTheClosedTargetEndsTheView) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50);
    // Read from the root, which holds what the manager painted: what the user sees.
    expect_screen(typical_frame(), "composited");
    expect_screen_stays(typical_frame(), "composited-later", 4, 150);
    target->command("close");
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
    EXPECT_EQ(run->process().stderr_text(), "");
}

TEST_F(Composited, TheExitProgramEndsTheView) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(typical_frame(), "composited");
    ChildProcess exit_program;
    ASSERT_TRUE(exit_program.start({ZRV5_EXIT_PROGRAM}, {"XDG_CONFIG_HOME=" + run->folder() +
                                                         "/config"}));
    EXPECT_EQ(exit_program.wait_exit(EXIT_MS), 0);
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
    EXPECT_EQ(run->process().stderr_text(), "");
    EXPECT_TRUE(target->process.running());
}

// A window lying over part of the target comes along, as the manager shows it: the capture is
// what lies beneath the overlay, composed from the manager's own redirection.
TEST_F(Composited, AWindowOverTheTargetAppearsInTheFrame) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    auto cover = start_target(100, 80, TARGET_X + 300, TARGET_Y + 200, 3, "cover");
    const Frame beneath = session.read_screen();
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(stretched_frame(screen_source(beneath, TARGET_X, TARGET_Y), 640, 480,
                                  Placement{60, 45, 1280, 960}, 60, 45),
                  "covered");
    EXPECT_EQ(run->process().stderr_text(), "");
}

}  // namespace
