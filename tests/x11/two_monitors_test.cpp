// End-to-end on two monitors side by side: a 1400x1050 monitor at the left and a 1024x768 one at
// its right, on a 2424x1050 root. The view fills one monitor, pixel for pixel, and leaves the rest
// of the root as it was; the pick and the capture work anywhere on the root; a change of the
// monitors moves the view with its monitor or ends it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <unistd.h>

#include "x11/support/end_to_end.h"
#include "x11/support/monitors.h"
#include "x11/support/pattern.h"

namespace {

constexpr int ROOT_WIDTH = 2424;
constexpr int ROOT_HEIGHT = 1050;
const TestMonitor LEFT{"LEFT", 0, 0, 1400, 1050, false, true};
const TestMonitor RIGHT{"RIGHT", 1400, 0, 1024, 768};

// What a monitor at (x, y) of size width x height shows of a capture enlarged `scale` times.
struct MonitorView {
    int x;
    int y;
    int width;
    int height;
    int scale;
};

const MonitorView FIRST_VIEW_OF_640x480{0, 0, 1400, 1050, 2};     // the typical run: at (60, 45)
const MonitorView FIRST_VIEW_OF_320x240{0, 0, 1400, 1050, 4};     // 1280x960, also at (60, 45)
const MonitorView SECOND_VIEW_OF_320x240{1400, 0, 1024, 768, 3};  // 960x720 at (32, 24)

// The root as it was, with the monitor showing the W x H capture centred and black around it, and
// the arrow with its tip at the enlarged pointer (client point px, py).
Frame root_with_view(const Frame& root_before, const MonitorView& m, const CaptureSource& source,
                     int W, int H, int px, int py) {
    const int offset_x = (m.width - m.scale * W) / 2;
    const int offset_y = (m.height - m.scale * H) / 2;
    Frame view(m.width, m.height, 0);
    for (int y = 0; y < m.scale * H; ++y) {
        for (int x = 0; x < m.scale * W; ++x) {
            view.set(offset_x + x, offset_y + y, source(x / m.scale, y / m.scale));
        }
    }
    draw_over(view, offset_x + m.scale * px - EMBEDDED_ARROW_HOT_X,
              offset_y + m.scale * py - EMBEDDED_ARROW_HOT_Y, EMBEDDED_ARROW_WIDTH,
              EMBEDDED_ARROW_HEIGHT, arrow_pixel);
    Frame root = root_before;
    for (int y = 0; y < m.height; ++y) {
        for (int x = 0; x < m.width; ++x) {
            root.set(m.x + x, m.y + y, view.at(x, y));
        }
    }
    return root;
}

// The two monitors, a target, and zrv5 drawing the embedded arrow as the pointer image.
class TwoMonitors : public EndToEnd {
protected:
    void SetUp() override {
        session.set_root_size(root_width_, root_height_);
        ASSERT_TRUE(session.start(server_arguments_)) << session.failure();
        ASSERT_NE(mkdtemp(no_theme_), nullptr);
    }
    void TearDown() override { rmdir(no_theme_); }

    // Declares the monitors (the right one primary when the view is to lie there), starts a W x H
    // target of `variant` at (x, y), keeps the root as it then is, picks the target at its client
    // point (100, 50) and checks that the view shows on `monitor`.
    void start_view(const MonitorView& monitor, int W, int H, int x, int y, int variant,
                    bool working_companion = false) {
        if (declare_monitors_) {
            TestMonitor right = RIGHT;
            right.primary = monitor.x == RIGHT.x;
            ASSERT_TRUE(declare_monitor(session.display(), LEFT));
            ASSERT_TRUE(declare_monitor(session.display(), right));
        }
        target_ = start_target(W, H, x, y, variant);
        before_ = session.read_area(0, 0, root_width_, root_height_);
        W_ = W;
        H_ = H;
        variant_ = variant;
        Zrv5Setup setup;
        setup.working_companion = working_companion;
        setup.settings = "[Zarvo5]\nmouse_trs=2\ntime=50\n";
        setup.environment = {std::string("XCURSOR_PATH=") + no_theme_};
        run_ = start_and_pick(x + 100, y + 50, setup);
        expect_view(monitor, 100, 50, "picked");
    }

    // Checks the whole root: the view on `monitor` with the pointer at client point (px, py), the
    // rest as it was before the pick.
    void expect_view(const MonitorView& monitor, int px, int py, const std::string& what) {
        expect_root(root_with_view(before_, monitor, target_source(variant_), W_, H_, px, py),
                    what);
    }

    void expect_root(const Frame& expected, const std::string& what) {
        EXPECT_EQ(session.wait_for_area(expected, 0, 0, FRAME_MS, test_name() + "-" + what), "")
            << what;
    }

    int root_width_ = ROOT_WIDTH;
    int root_height_ = ROOT_HEIGHT;
    std::vector<std::string> server_arguments_;
    bool declare_monitors_ = true;
    std::unique_ptr<TestTarget> target_;
    std::unique_ptr<Zrv5Run> run_;
    Frame before_;
    int W_ = 0;
    int H_ = 0;
    int variant_ = 0;
    char no_theme_[32] = "/tmp/zrv5-no-theme-XXXXXX";
};

// The typical run on the first monitor: 640x480 doubled at (60, 45) with its bands, the arrow at
// twice the pointer's client position; the second monitor and the root below it stay as they were.
TEST_F(TwoMonitors, ATargetOnTheFirstMonitorFillsItCentredWithItsBands) {
    start_view(FIRST_VIEW_OF_640x480, 640, 480, 200, 150, 0);
}

// The real window on the second monitor, its enlargement on the first: the pick, the capture and
// the pointer in root coordinates, the drawing on the first monitor.
TEST_F(TwoMonitors, ATargetOnTheSecondMonitorIsShownOnTheFirst) {
    start_view(FIRST_VIEW_OF_320x240, 320, 240, 1500, 100, 2);
    session.move_pointer(1500 + 300, 100 + 20);
    expect_view(FIRST_VIEW_OF_320x240, 300, 20, "pointer-moved");
}

// With the second monitor primary, the view fills it from its own origin: 320x240 tripled at
// (32, 24) of 1024x768, that is at (1432, 24) of the root.
TEST_F(TwoMonitors, ThePrimaryMonitorHoldsTheViewAtItsOrigin) {
    start_view(SECOND_VIEW_OF_320x240, 320, 240, 200, 150, 1);
    session.move_pointer(200 + 10, 150 + 230);
    expect_view(SECOND_VIEW_OF_320x240, 10, 230, "pointer-moved");
}

// Moves the pointer 50 times by (dx, dy) as a relative device would, and returns where it ends in
// root coordinates.
std::pair<int, int> pushed_pointer(Display* display, int dx, int dy) {
    for (int step = 0; step < 50; ++step) {
        XTestFakeRelativeMotionEvent(display, dx, dy, CurrentTime);
    }
    Window root = 0;
    Window child = 0;
    int x = -1;
    int y = -1;
    int child_x = 0;
    int child_y = 0;
    unsigned buttons = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &child_x, &child_y,
                  &buttons);
    return {x, y};
}

// The companion keeps the pointer inside the target's client area in root coordinates: on the
// second monitor, while the view is on the first.
TEST_F(TwoMonitors, TheCompanionHoldsThePointerOnTheTargetsMonitor) {
    start_view(FIRST_VIEW_OF_320x240, 320, 240, 1500, 100, 2, true);
    Display* display = session.display();
    EXPECT_EQ(pushed_pointer(display, -40, 0).first, 1500);
    EXPECT_EQ(pushed_pointer(display, 40, 0).first, 1500 + 319);
    EXPECT_EQ(pushed_pointer(display, 0, -40).second, 100);
    EXPECT_EQ(pushed_pointer(display, 0, 40).second, 100 + 239);
    EXPECT_TRUE(run_->process().running());
}

// A change that leaves the view's monitor as it was leaves the view as it was: here the other
// monitor is unplugged. The pointer moved after the change shows that a tick has run since the
// program read the change's notifications (it reads all waiting events before each tick).
TEST_F(TwoMonitors, TheViewStaysWhenAnotherMonitorGoes) {
    start_view(FIRST_VIEW_OF_640x480, 640, 480, 200, 150, 0);
    remove_monitor(session.display(), RIGHT.name);
    announce_screen_change(session.display());
    session.move_pointer(200 + 400, 150 + 300);
    expect_view(FIRST_VIEW_OF_640x480, 400, 300, "after-change");
    EXPECT_TRUE(run_->process().running());
}

// The view's monitor moved down by 282 pixels: the view goes with it, and the root it left shows
// again what lies beneath.
TEST_F(TwoMonitors, TheViewMovesWithItsMonitor) {
    start_view(SECOND_VIEW_OF_320x240, 320, 240, 200, 150, 1);
    TestMonitor moved = RIGHT;
    moved.y = 282;
    moved.primary = true;
    ASSERT_TRUE(declare_monitor(session.display(), moved));
    announce_screen_change(session.display());
    MonitorView moved_view = SECOND_VIEW_OF_320x240;
    moved_view.y = 282;
    expect_view(moved_view, 100, 50, "after-move");
}

// The view's monitor given another size: the view takes it and is laid out again, pixel for pixel
// (320x240 tripled at (32, 24) of 1024x768, then doubled at (80, 60) of 800x600), and the part of
// the root the monitor left shows again what lies beneath.
TEST_F(TwoMonitors, TheViewIsLaidOutAgainWhenItsMonitorChangesSize) {
    start_view(SECOND_VIEW_OF_320x240, 320, 240, 200, 150, 1);
    TestMonitor smaller = RIGHT;
    smaller.width = 800;
    smaller.height = 600;
    smaller.primary = true;
    ASSERT_TRUE(declare_monitor(session.display(), smaller));
    announce_screen_change(session.display());
    session.move_pointer(200 + 30, 150 + 40);
    expect_view(MonitorView{1400, 0, 800, 600, 2}, 30, 40, "after-resize");
    target_->command("close");
    EXPECT_EQ(run_->process().wait_exit(EXIT_MS), 0);
    EXPECT_EQ(run_->process().stderr_text(), "");
}

// The view's monitor unplugged: the view ends cleanly (the companion told, the overlay gone) with
// one line on standard error and exit code 1. Xvfb reports no change of a monitor alone: a monitor
// deleted with nothing announced is found by the program's look at the monitors once a second.
TEST_F(TwoMonitors, TheViewEndsWhenItsMonitorGoes) {
    for (const char* change : {"unplugged", "deleted-unannounced"}) {
        SCOPED_TRACE(change);
        start_view(SECOND_VIEW_OF_320x240, 320, 240, 200, 150, 1);
        remove_monitor(session.display(), RIGHT.name);
        if (std::string(change) != "deleted-unannounced") {
            announce_screen_change(session.display());
        }
        EXPECT_EQ(run_->process().wait_exit(EXIT_MS), 1);
        EXPECT_EQ(run_->process().stderr_text(),
                  "zrv5: the view's monitor is gone; the view ends\n");
        const std::string pid = std::to_string(run_->process().pid());
        EXPECT_EQ(run_->companion_calls(),
                  (std::vector<std::string>{"MySetHook " + pid, "MyEndHook " + pid}));
        expect_root(before_, "ended");
        run_.reset();
        target_.reset();
    }
}

// The root grows under a running view (a monitor added below it, `xrandr --fb`): the view goes on
// on its monitor, following the target as it changes, and ends as usual. The capture's rows of
// the root were once sized at start only: the damage of the grown root's new rows overflowed them.
class GrowingRoot : public TwoMonitors {
protected:
    void SetUp() override {
        root_height_ = 1600;  // the size the server can grow back to
        TwoMonitors::SetUp();
        ASSERT_TRUE(set_root_size(session.display(), ROOT_WIDTH, ROOT_HEIGHT));
        root_height_ = ROOT_HEIGHT;
    }
};

TEST_F(GrowingRoot, TheViewGoesOnWhenTheRootGrows) {
    start_view(FIRST_VIEW_OF_640x480, 640, 480, 200, 150, 0);
    ASSERT_TRUE(set_root_size(session.display(), ROOT_WIDTH, 1600));
    target_->command("picture 1");
    variant_ = 1;
    session.move_pointer(200 + 300, 150 + 200);
    expect_view(FIRST_VIEW_OF_640x480, 300, 200, "after-growth");
    target_->command("close");
    EXPECT_EQ(run_->process().wait_exit(EXIT_MS), 0);
    EXPECT_EQ(run_->process().stderr_text(), "");
}

// The companion's fence spans the root as it is when the target moves: a target moved into the
// grown root's new rows still holds the pointer.
TEST_F(GrowingRoot, TheCompanionHoldsThePointerOnATargetMovedIntoTheNewRows) {
    start_view(FIRST_VIEW_OF_640x480, 640, 480, 200, 150, 0, true);
    ASSERT_TRUE(set_root_size(session.display(), ROOT_WIDTH, 1600));
    target_->command("move 200 1100");
    Display* display = session.display();
    // The pointer, at client point (100, 50) of the old place, comes to the nearest point inside.
    std::pair<int, int> at = pushed_pointer(display, 0, 0);
    for (long long deadline = steady_ms() + FRAME_MS;
         at != std::make_pair(300, 1100) && steady_ms() < deadline;) {
        usleep(5000);
        at = pushed_pointer(display, 0, 0);
    }
    EXPECT_EQ(at, std::make_pair(300, 1100));
    EXPECT_EQ(pushed_pointer(display, 0, 40).second, 1100 + 479);
    EXPECT_EQ(pushed_pointer(display, 40, 0).first, 200 + 639);
}

// Without RandR the monitors are Xinerama's heads. Xvfb lays its screens over each other at
// (0, 0); with a 1024x768 screen first and a 1400x1050 one second, the root is 1400x1050 and its
// first head 1024x768: the view fills that head, tripling 320x240 at (32, 24), and the rest of the
// root stays as it was.
class XineramaHeads : public TwoMonitors {
protected:
    void SetUp() override {
        root_width_ = 1024;
        root_height_ = 768;
        server_arguments_ = {"-screen", "1", "1400x1050x24", "+xinerama", "-extension", "RANDR"};
        declare_monitors_ = false;
        TwoMonitors::SetUp();
        root_width_ = 1400;  // the root spans both screens
        root_height_ = 1050;
    }
};

TEST_F(XineramaHeads, TheViewFillsTheFirstHead) {
    start_view(MonitorView{0, 0, 1024, 768, 3}, 320, 240, 200, 150, 1);
}

// With neither RandR nor Xinerama the screen is the root: the typical run on 1400x1050.
class RootOnly : public TwoMonitors {
protected:
    void SetUp() override {
        root_width_ = 1400;
        root_height_ = 1050;
        server_arguments_ = {"-extension", "RANDR"};
        declare_monitors_ = false;
        TwoMonitors::SetUp();
    }
};

TEST_F(RootOnly, TheViewFillsTheRoot) { start_view(FIRST_VIEW_OF_640x480, 640, 480, 200, 150, 0); }

}  // namespace
