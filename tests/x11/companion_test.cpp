// End to end with the companion users get: the pointer is kept inside the capture rectangle from
// the pick to the end of the view, Super+Escape and zrv5-exit end the view, and no way of ending
// it leaves the pointer fenced in.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "platform/posix/posix_ini_file.h"
#include "x11/support/end_to_end.h"

namespace {

constexpr int TARGET_X = 200;
constexpr int TARGET_Y = 150;
constexpr int TARGET_WIDTH = 640;
constexpr int TARGET_HEIGHT = 480;
// Relative motion in steps small enough for any acceleration to keep, many enough to cross the
// whole screen.
constexpr int STEP = 40;
constexpr int STEPS = 50;

struct Point {
    int x;
    int y;
    bool operator==(const Point& other) const { return x == other.x && y == other.y; }
};

std::ostream& operator<<(std::ostream& out, const Point& p) {
    return out << "(" << p.x << ", " << p.y << ")";
}

class Companion : public EndToEnd {
protected:
    Point pointer() {
        Window root = 0;
        Window child = 0;
        Point p{-1, -1};
        int window_x = 0;
        int window_y = 0;
        unsigned buttons = 0;
        XQueryPointer(session.display(), DefaultRootWindow(session.display()), &root, &child, &p.x,
                      &p.y, &window_x, &window_y, &buttons);
        return p;
    }

    // Moves the pointer by (dx, dy) STEPS times as a relative device would, and returns where it
    // ends.
    Point push(int dx, int dy) {
        for (int step = 0; step < STEPS; ++step) {
            XTestFakeRelativeMotionEvent(session.display(), dx, dy, CurrentTime);
        }
        XSync(session.display(), False);
        return pointer();
    }

    // Returns true once the pointer reaches `wanted`, false when it has not within the time limit.
    bool pointer_comes_to(Point wanted) {
        for (long long deadline = steady_ms() + FRAME_MS; steady_ms() < deadline;) {
            if (pointer() == wanted) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    // True once relative motion carries the pointer to all four sides of the screen. A killed
    // program's fences go when the server notices the closed connection, so this looks again until
    // the time limit.
    bool pointer_is_free() {
        for (long long deadline = steady_ms() + EXIT_MS; steady_ms() < deadline;) {
            if (push(-STEP, 0).x == 0 && push(STEP, 0).x == SCREEN_WIDTH - 1 &&
                push(0, -STEP).y == 0 && push(0, STEP).y == SCREEN_HEIGHT - 1) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Runs zrv5-exit with the run's per-user configuration (or `config_home`); returns its code.
    int run_exit_program(const std::string& config_home, std::string* error_text = nullptr) {
        ChildProcess program;
        if (!program.start({ZRV5_EXIT_PROGRAM}, {"XDG_CONFIG_HOME=" + config_home})) {
            return -1;
        }
        const std::optional<int> code = program.wait_exit(EXIT_MS);
        if (error_text != nullptr) {
            *error_text = program.stderr_text();
        }
        EXPECT_TRUE(program.lines_within(0).empty()) << "zrv5-exit printed to its output";
        return code.value_or(-1);
    }

    std::unique_ptr<Zrv5Run> start_view(std::unique_ptr<TestTarget>* target) {
        *target = start_target(TARGET_WIDTH, TARGET_HEIGHT, TARGET_X, TARGET_Y);
        Zrv5Setup setup;
        setup.working_companion = true;
        auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
        // The first frame comes after MySetHook has returned.
        expect_screen(stretched_frame(target_source(0), TARGET_WIDTH, TARGET_HEIGHT,
                                      Placement{60, 45, 1280, 960}, 60, 45),
                      "picked");
        return run;
    }
};

TEST_F(Companion, RelativeMotionStopsAtEverySideOfTheRectangle) {
    std::unique_ptr<TestTarget> target;
    auto run = start_view(&target);
    const int left = TARGET_X;
    const int top = TARGET_Y;
    const int right = TARGET_X + TARGET_WIDTH - 1;
    const int bottom = TARGET_Y + TARGET_HEIGHT - 1;
    EXPECT_EQ(push(-STEP, 0).x, left);
    EXPECT_EQ(push(STEP, 0).x, right);
    EXPECT_EQ(push(0, -STEP).y, top);
    EXPECT_EQ(push(0, STEP).y, bottom);
    // Diagonally past each corner: the barriers span the screen, so no corner lets it slip out.
    EXPECT_EQ(push(-STEP, -STEP), (Point{left, top}));
    EXPECT_EQ(push(STEP, -STEP), (Point{right, top}));
    EXPECT_EQ(push(STEP, STEP), (Point{right, bottom}));
    EXPECT_EQ(push(-STEP, STEP), (Point{left, bottom}));
    EXPECT_TRUE(run->process().running());
}

// A published width rounded down to even leaves the client's last column outside the rectangle.
TEST_F(Companion, TheRectangleIsThePublishedSizeNotTheWholeClient) {
    auto target = start_target(643, 481, TARGET_X, TARGET_Y);
    Zrv5Setup setup;
    setup.working_companion = true;
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
    expect_screen(stretched_frame(target_source(0), 642, 480, Placement{58, 45, 1284, 960}, 58, 45),
                  "picked");
    EXPECT_EQ(push(STEP, STEP), (Point{TARGET_X + 641, TARGET_Y + 479}));
}

TEST_F(Companion, AJumpOutsideIsBroughtBackToTheNearestPointInside) {
    std::unique_ptr<TestTarget> target;
    auto run = start_view(&target);
    Display* display = session.display();
    // A warp by another client: no device motion, found by the companion's regular look.
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, 50, 40);
    XSync(display, False);
    EXPECT_TRUE(pointer_comes_to(Point{TARGET_X, TARGET_Y})) << "at " << pointer();
    // An absolute device's motion passes barriers; its raw event brings the pointer back.
    XTestFakeMotionEvent(display, -1, 1300, 400, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(pointer_comes_to(Point{TARGET_X + TARGET_WIDTH - 1, 400})) << "at " << pointer();
    XTestFakeMotionEvent(display, -1, 500, 1040, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(pointer_comes_to(Point{500, TARGET_Y + TARGET_HEIGHT - 1})) << "at " << pointer();
}

TEST_F(Companion, TheRectangleFollowsAMovedTarget) {
    std::unique_ptr<TestTarget> target;
    auto run = start_view(&target);
    constexpr int MOVED_X = 500;
    constexpr int MOVED_Y = 420;
    target->command("move 500 420");
    // The pointer was at the old rectangle's place, outside the new one: it is brought in.
    EXPECT_TRUE(pointer_comes_to(Point{MOVED_X, MOVED_Y})) << "at " << pointer();
    EXPECT_EQ(push(STEP, STEP), (Point{MOVED_X + TARGET_WIDTH - 1, MOVED_Y + TARGET_HEIGHT - 1}));
    EXPECT_EQ(push(-STEP, -STEP), (Point{MOVED_X, MOVED_Y}));
}

// A target moved wholly off the screen leaves nothing to confine the pointer to: no barrier is
// made (the server refuses one off the screen) and none that was never made is destroyed. Back on
// the screen, the rectangle holds the pointer again.
TEST_F(Companion, ATargetOffTheScreenHoldsNothingUntilItIsBack) {
    std::unique_ptr<TestTarget> target;
    auto run = start_view(&target);
    for (const char* away : {"move -2000 -1600", "move 1500 1200"}) {
        SCOPED_TRACE(away);
        target->command(away);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(push(-STEP, 0).x, 0) << "the pointer is held by a rectangle off the screen";
    }
    target->command("move 500 420");
    EXPECT_TRUE(pointer_comes_to(Point{500, 420})) << "at " << pointer();
    EXPECT_EQ(push(-STEP, -STEP), (Point{500, 420}));
    target->command("close");
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
    EXPECT_EQ(run->process().stderr_text(), "");
}

// The passive grab of Super+Escape fires only for a focused window; with the focus None (a
// focused window unmapped, the window manager gone) the server sends key events nowhere, and the
// companion still sees the keys through raw events.
TEST_F(Companion, SuperEscapeEndsTheViewWhileNothingHasTheFocus) {
    std::unique_ptr<TestTarget> target;
    auto run = start_view(&target);
    XSetInputFocus(session.display(), None, RevertToNone, CurrentTime);
    XSync(session.display(), False);
    session.press_exit_key();
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0) << run->process().stderr_text();
    EXPECT_NE(run->profile_text().find("EXIT=1"), std::string::npos) << run->profile_text();
}

// Every way a view ends leaves the pointer free to reach every side of the screen.
class CompanionExit : public Companion, public ::testing::WithParamInterface<const char*> {};

TEST_P(CompanionExit, ThePointerIsFreeAfterwards) {
    std::unique_ptr<TestTarget> target;
    auto run = start_view(&target);
    ASSERT_EQ(push(-STEP, 0).x, TARGET_X) << "the pointer is not kept";
    const std::string how = GetParam();
    std::optional<int> code;
    if (how == "target-closed") {
        target->command("close");
        code = run->process().wait_exit(EXIT_MS);
    } else if (how == "hotkey") {
        session.press_exit_key();
        code = run->process().wait_exit(EXIT_MS);
        EXPECT_NE(run->profile_text().find("EXIT=1"), std::string::npos) << run->profile_text();
    } else if (how == "zrv5-exit") {
        EXPECT_EQ(run_exit_program(run->folder() + "/config"), 0);
        code = run->process().wait_exit(EXIT_MS);
    } else if (how == "overlay-destroyed") {
        const Window overlay = session.find_window("ZRV5");
        ASSERT_NE(overlay, 0u);
        XDestroyWindow(session.display(), overlay);
        XSync(session.display(), False);
        code = run->process().wait_exit(EXIT_MS);
    } else {
        run->process().kill_now();  // MyEndHook never runs
        code = 0;
    }
    EXPECT_EQ(code, 0) << run->process().stderr_text();
    EXPECT_TRUE(pointer_is_free()) << "the pointer is still kept after: " << how;
    if (how != "target-closed") {
        EXPECT_TRUE(target->process.running()) << "the target must live on";
    }
}

INSTANTIATE_TEST_SUITE_P(ByEveryWay, CompanionExit,
                         ::testing::Values("target-closed", "hotkey", "zrv5-exit",
                                           "overlay-destroyed", "killed"),
                         [](const ::testing::TestParamInfo<const char*>& param_info) {
                             std::string name = param_info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// zrv5-exit changes the one value and keeps every other line of the profile byte for byte.
TEST_F(Companion, ExitProgramKeepsEveryOtherLineOfTheProfile) {
    auto target = start_target(TARGET_WIDTH, TARGET_HEIGHT, TARGET_X, TARGET_Y);
    Zrv5Setup setup;
    setup.working_companion = true;
    Zrv5Run run(setup);
    ASSERT_EQ(mkdir((run.folder() + "/config").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(run.profile_folder().c_str(), 0700), 0);
    std::ofstream(run.profile_path())
        << "; kept\n[Other]\nEXIT=1\nkey = with spaces \n\n[Zarvo5]\nmine=7\n[Last]\nx=y";
    ASSERT_TRUE(run.start(session));
    ASSERT_TRUE(session.wait_for_pick_ready(START_MS)) << run.process().stderr_text();
    session.click(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(stretched_frame(target_source(0), TARGET_WIDTH, TARGET_HEIGHT,
                                  Placement{60, 45, 1280, 960}, 60, 45),
                  "picked");
    const std::string picked = run.profile_text();
    const std::size_t exit_key = picked.find("[Zarvo5]\nmine=7\nHWND=");
    ASSERT_NE(exit_key, std::string::npos) << picked;
    ASSERT_NE(picked.find("EXIT=0\n[Last]\nx=y"), std::string::npos) << picked;

    EXPECT_EQ(run_exit_program(run.folder() + "/config"), 0);
    EXPECT_EQ(run.process().wait_exit(EXIT_MS), 0);
    std::string expected = picked;
    expected.replace(expected.find("EXIT=0\n[Last]"), 6, "EXIT=1");
    EXPECT_EQ(run.profile_text(), expected);
}

// When the profile cannot be written, zrv5-exit says why in one line, exits with 1 and changes
// nothing. A profile folder that is a file stops every user; a read-only folder stops all but root.
TEST_F(Companion, ExitProgramThatCannotWriteSaysWhyAndChangesNothing) {
    char folder[] = "/tmp/zrv5-exit-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string home = folder;
    std::ofstream(home + "/zrv5") << "not a folder\n";
    std::string error_text;
    EXPECT_EQ(run_exit_program(home, &error_text), 1);
    EXPECT_EQ(error_text.rfind("zrv5-exit: cannot write " + home + "/zrv5/profile.ini: ", 0), 0u)
        << error_text;
    EXPECT_EQ(std::count(error_text.begin(), error_text.end(), '\n'), 1) << error_text;
    EXPECT_EQ(file_text(home + "/zrv5"), "not a folder\n");

    if (geteuid() != 0) {
        const std::string locked = home + "/locked";
        ASSERT_EQ(mkdir(locked.c_str(), 0700), 0);
        ASSERT_EQ(mkdir((locked + "/zrv5").c_str(), 0700), 0);
        const std::string before = "[Zarvo5]\nHWND=5\nEXIT=0\n[Other]\nk=v\n";
        std::ofstream(locked + "/zrv5/profile.ini") << before;
        chmod((locked + "/zrv5").c_str(), 0500);
        EXPECT_EQ(run_exit_program(locked, &error_text), 1);
        EXPECT_NE(error_text.find("Permission denied"), std::string::npos) << error_text;
        EXPECT_EQ(file_text(locked + "/zrv5/profile.ini"), before);
        chmod((locked + "/zrv5").c_str(), 0700);
    }
    std::system(("rm -rf '" + home + "'").c_str());
}

// The pick cannot publish (the profile folder belongs to another user), and the profile still holds
// an older view's "EXIT" = "1" and the "HWND", "W" and "H" of another window. Neither the wait for
// the click nor the view ends on that request, the pointer is fenced into no window, every failed
// write is said (the start's clearing of the old request and the pick's four keys), and
// Super+Escape, which cannot be written either, still ends the view.
TEST_F(Companion, AFailedPublicationIsNeverActedOnStale) {
    auto other = start_target(300, 200, 900, 700, 1, "other window");
    auto target = start_target(TARGET_WIDTH, TARGET_HEIGHT, TARGET_X, TARGET_Y);
    Zrv5Setup setup;
    setup.working_companion = true;
    Zrv5Run run(setup);
    ASSERT_EQ(mkdir((run.folder() + "/config").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(run.profile_folder().c_str(), 0755), 0);
    const std::string stale =
        "[Zarvo5]\nHWND=" + std::to_string(static_cast<std::int32_t>(other->window)) +
        "\nW=300\nH=200\nEXIT=1\n";
    std::ofstream(run.profile_path()) << stale;
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    if (chown(run.profile_folder().c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
        // Not root: a folder this user may not write stops the writes as well.
        ASSERT_EQ(chmod(run.profile_folder().c_str(), 0555), 0);
    }
    ASSERT_TRUE(run.start(session));
    ASSERT_TRUE(session.wait_for_pick_ready(START_MS)) << run.process().stderr_text();
    // Past two polls of the wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    ASSERT_TRUE(run.process().running()) << "the old request ended the wait";
    session.click(TARGET_X + 100, TARGET_Y + 50);
    const Placement typical{60, 45, 1280, 960};
    expect_screen(stretched_frame(target_source(0), TARGET_WIDTH, TARGET_HEIGHT, typical, 60, 45),
                  "picked");
    target->command("picture 1");
    expect_screen(stretched_frame(target_source(1), TARGET_WIDTH, TARGET_HEIGHT, typical, 60, 45),
                  "ticking");
    EXPECT_TRUE(pointer_is_free()) << "the pointer is kept by a stale window";

    const std::string said = run.process().stderr_text();
    EXPECT_EQ(said.rfind("zrv5: cannot write " + run.profile_path() + ": ", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 5) << said;
    session.press_exit_key();
    EXPECT_EQ(run.process().wait_exit(EXIT_MS), 0);
    const std::string said_at_end = run.process().stderr_text();
    EXPECT_EQ(std::count(said_at_end.begin(), said_at_end.end(), '\n'), 6)
        << "the hotkey's failed write is said too: " << said_at_end;
    EXPECT_EQ(run.profile_text(), stale);
    EXPECT_TRUE(other->process.running());
}

}  // namespace
