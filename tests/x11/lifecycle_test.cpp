// End-to-end lifecycle: the pick's click, the shared profile and the companion's calls, every way
// the program ends, and how it meets missing or bad files and a lost display.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <thread>

#include "platform/posix/posix_ini_file.h"
#include "x11/support/end_to_end.h"
#include "x11/support/pattern.h"

namespace {

using Lifecycle = EndToEnd;

constexpr int TARGET_X = 200;
constexpr int TARGET_Y = 150;

Frame typical_frame() {
    return stretched_frame(EndToEnd::target_source(0), 640, 480, Placement{60, 45, 1280, 960}, 60,
                           45);
}

std::string pid_text(ChildProcess& process) { return std::to_string(process.pid()); }

unsigned mode_of(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

// The window id's 32 bits read as signed, in decimal.
std::string signed_id(Window window) {
    return std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(window)));
}

TEST_F(Lifecycle, ThePickingClickNeverReachesTheTargetButLaterClicksDo) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(typical_frame(), "picked");
    for (const std::string& line : target->process.lines_within(300)) {
        ADD_FAILURE() << "the target saw the picking click: " << line;
    }
    session.click(TARGET_X + 30, TARGET_Y + 40);
    EXPECT_EQ(target->process.read_line(START_MS), "press 1 30 40");
    EXPECT_EQ(target->process.read_line(START_MS), "release 1 30 40");
    // A second release after the pick does nothing: the view goes on.
    expect_screen(typical_frame(), "after-clicks");
}

TEST_F(Lifecycle, ThePickPublishesTheViewAndTheCompanionIsCalledInOrder) {
    auto target = start_target(643, 481, TARGET_X, TARGET_Y);  // published rounded down to even
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(stretched_frame(target_source(0), 642, 480, Placement{58, 45, 1284, 960}, 58, 45),
                  "picked");

    EXPECT_EQ(run->profile_text(),
              "[Zarvo5]\nHWND=" + signed_id(target->window) + "\nW=642\nH=480\nEXIT=0\n");
    EXPECT_EQ(mode_of(run->profile_folder()), 0700u);
    EXPECT_EQ(mode_of(run->profile_path()), 0600u);
    const std::string pid = pid_text(run->process());
    EXPECT_EQ(run->companion_calls(), std::vector<std::string>{"MySetHook " + pid});

    target->command("close");
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
    EXPECT_EQ(run->companion_calls(),
              (std::vector<std::string>{"MySetHook " + pid, "MyEndHook " + pid}));
}

// The tick that finds the target gone ends the program: within two periods of the close.
TEST_F(Lifecycle, ClosingTheTargetEndsTheProgramWithinTwoPeriods) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    Zrv5Setup setup;
    setup.settings = "[Zarvo5]\ntime=1000\n";
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
    expect_screen(typical_frame(), "picked");
    const long long closed = steady_ms();
    target->command("close");
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
    EXPECT_LT(steady_ms() - closed, 2 * 1000) << "the program outlived two periods";
    EXPECT_EQ(run->process().stderr_text(), "");
}

TEST_F(Lifecycle, AnExitRequestWrittenByAnotherProcessEndsTheProgram) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(typical_frame(), "picked");
    ASSERT_TRUE(ini_write_file(run->profile_path(), "Zarvo5", "EXIT", "1", 0600));
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
    const std::string pid = pid_text(run->process());
    EXPECT_EQ(run->companion_calls(),
              (std::vector<std::string>{"MySetHook " + pid, "MyEndHook " + pid}));
    EXPECT_TRUE(target->process.running()) << "the target must live on";
}

TEST_F(Lifecycle, WithoutASettingsFileTheDefaultsApply) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    target->command("cursor 0");  // the default mode 3 draws no cursor
    Zrv5Setup setup;
    setup.settings_file = false;
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
    expect_screen(typical_frame(), "defaults");
    EXPECT_EQ(access((run->folder() + "/zrv5.ini").c_str(), F_OK), -1) << "nothing is written";
}

// 'abc' gives period 0 (the 10 ms floor), 'zz' cursor mode 0, '2x' aspect fit, '-7' the fast
// kernels: the frame is the aspect fit with the pointer shape of the pick.
TEST_F(Lifecycle, GarbageSettingsConvertAsDecimalText) {
    auto target = start_target(640, 400, TARGET_X, TARGET_Y);
    target->command("cursor 0");
    Zrv5Setup setup;
    setup.settings = "[ZARVO5]\n time = abc\nMOUSE_TRS=zz\nstretch=\"2x\"\nsmoothness=-7\n";
    auto run = start_and_pick(TARGET_X + 1, TARGET_Y + 0, setup);
    Frame expected =
        stretched_frame(target_source(0), 640, 400, Placement{0, 87, 1400, 875}, 0, 87);
    const TestPointerShape& shape = TEST_POINTER_SHAPES[0];
    // Client (1, 0): x = 1 * 2.1875 + 0 - 3 = -0.8125, truncated toward zero to 0.
    draw_over(expected, 0, 87 - shape.hot_y, shape.width, shape.height,
              [&](int x, int y) { return test_pointer_pixel(shape, x, y); });
    expect_screen(expected, "garbage");
}

TEST_F(Lifecycle, WithoutTheCompanionLibraryTheProgramDoesNotStart) {
    Zrv5Setup setup;
    setup.companion = false;
    Zrv5Run run(setup);
    ASSERT_TRUE(run.start(session));
    const std::optional<int> code = run.process().wait_exit(EXIT_MS);
    ASSERT_TRUE(code.has_value());
    EXPECT_NE(*code, 0);
    EXPECT_NE(run.process().stderr_text().find("libMouseHook.so"), std::string::npos)
        << run.process().stderr_text();
    EXPECT_EQ(session.find_window("ZRV5"), 0u);
    EXPECT_TRUE(run.companion_calls().empty());
}

TEST_F(Lifecycle, TheProfileKeepsLinesItDoesNotKnow) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    Zrv5Run* run_in_folder = nullptr;
    Zrv5Setup setup;
    auto run = std::make_unique<Zrv5Run>(setup);
    run_in_folder = run.get();
    ASSERT_EQ(mkdir((run_in_folder->folder() + "/config").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(run_in_folder->profile_folder().c_str(), 0700), 0);
    // EXIT=1 left over from an earlier run must not end this one: the pick resets it.
    const std::string before =
        "junk without equals\n; comment\n[Other]\nHWND=7\n[zarvo5]\n"
        "EXIT=1\n%%%\nextra=kept\n";
    std::ofstream(run_in_folder->profile_path()) << before;
    ASSERT_TRUE(run->start(session));
    ASSERT_TRUE(session.wait_for_pick_ready(START_MS)) << run->process().stderr_text();
    session.click(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(typical_frame(), "picked");
    EXPECT_EQ(run->profile_text(),
              "junk without equals\n; comment\n[Other]\nHWND=7\n[zarvo5]\nEXIT=0\n%%%\nextra=kept\n"
              "HWND=" +
                  signed_id(target->window) + "\nW=640\nH=480\n");
    EXPECT_TRUE(run->process().running());
}

TEST_F(Lifecycle, LosingTheDisplayEndsWithOneLineAndCode1) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    target->command("cursor 0");
    Zrv5Setup setup;
    setup.settings = "[Zarvo5]\nmouse_trs=1\ntime=20\n";  // grab threads' connections too
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
    Frame expected = typical_frame();
    const TestPointerShape& shape = TEST_POINTER_SHAPES[0];
    draw_over(expected, 60 + 200 - shape.hot_x, 45 + 100 - shape.hot_y, shape.width, shape.height,
              [&](int x, int y) { return test_pointer_pixel(shape, x, y); });
    expect_screen(expected, "picked");
    session.kill_server();
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 1);
    EXPECT_EQ(run->process().stderr_text(), "zrv5: lost the connection to the X display\n");
}

TEST_F(Lifecycle, AnOverlayDestroyedBeforeThePickStillTellsTheCompanion) {
    auto run = start_zrv5();
    const Window overlay = session.find_window("ZRV5");
    ASSERT_NE(overlay, 0u);
    XDestroyWindow(session.display(), overlay);
    XSync(session.display(), False);
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
    EXPECT_EQ(run->companion_calls(),
              std::vector<std::string>{"MyEndHook " + pid_text(run->process())});
}

// A zrv5 started by mistake, waiting for its click, is ended by zrv5-exit and by Super+Escape with
// exit code 0, nothing published; the next click is the user's again. A request left from an
// earlier view does not end it.
TEST_F(Lifecycle, TheWaitForTheClickEndsOnZrv5ExitAndSuperEscape) {
    for (const std::string how : {"zrv5-exit", "Super+Escape"}) {
        SCOPED_TRACE(how);
        Zrv5Setup setup;
        auto run = start_zrv5(setup);
        if (how == "zrv5-exit") {
            // As the last view's zrv5-exit left it.
            ASSERT_EQ(run->request_exit(), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            auto later = std::make_unique<Zrv5Run>(setup);
            run.reset();
            ASSERT_TRUE(later->start(session));
            ASSERT_TRUE(session.wait_for_pick_ready(START_MS));
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
            ASSERT_TRUE(later->process().running()) << "a request from before the start ended it";
            run = std::move(later);
            EXPECT_EQ(run->request_exit(), 0);
        } else {
            session.press_exit_key();
        }
        EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
        EXPECT_EQ(run->process().stderr_text(), "");
        EXPECT_EQ(run->companion_calls(),
                  std::vector<std::string>{"MyEndHook " + pid_text(run->process())});
        EXPECT_EQ(run->profile_text().find("HWND"), std::string::npos) << "the wait published";
        EXPECT_EQ(session.find_window("ZRV5"), 0u);
    }
}

// A target with no even width cannot be enlarged: the error box "Error" / "ZRV5" appears, saying
// so on standard error too, and once it is closed (or the program is ended under it, as a view is
// ended) the program ends with code 1 without having called MySetHook.
class RefusedPick : public EndToEnd, public ::testing::WithParamInterface<const char*> {};

TEST_P(RefusedPick, TheErrorBoxClosesAndTheProgramEnds) {
    auto target = start_target(1, 300, 600, 300);
    auto run = start_and_pick(600, 400);
    Window box = 0;
    for (long long deadline = steady_ms() + START_MS; steady_ms() < deadline && box == 0;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        box = session.find_window("Error");
    }
    ASSERT_NE(box, 0u) << run->process().stderr_text();
    // The box is named before it is mapped, and takes the focus once mapped: a key or a click
    // sent before then would go elsewhere.
    XWindowAttributes attributes{};
    Window focus = 0;
    for (long long deadline = steady_ms() + START_MS;
         steady_ms() < deadline && (attributes.map_state != IsViewable || focus != box);) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(XGetWindowAttributes(session.display(), box, &attributes));
        int revert = 0;
        XGetInputFocus(session.display(), &focus, &revert);
    }
    EXPECT_EQ(attributes.map_state, IsViewable);
    EXPECT_EQ(focus, box);
    EXPECT_TRUE(run->process().running()) << "the box is modal";

    const std::string how = GetParam();
    if (how == "zrv5-exit") {
        EXPECT_EQ(run->request_exit(), 0);
    } else if (how == "Super+Escape") {
        session.press_exit_key();
    } else if (how == "click") {
        int x = 0;
        int y = 0;
        session.origin_of(box, &x, &y);
        session.click(x + attributes.width / 2, y + 66 + 13);  // the OK button
    } else {
        session.press_key(how.c_str());
    }
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 1);
    EXPECT_EQ(run->process().stderr_text(), "zrv5: Error: ZRV5\n");
    EXPECT_EQ(run->companion_calls(),
              std::vector<std::string>{"MyEndHook " + pid_text(run->process())});
    EXPECT_EQ(run->profile_text().find("HWND"), std::string::npos) << "nothing is published";
    EXPECT_EQ(session.find_window("Error"), 0u);
}

INSTANTIATE_TEST_SUITE_P(ByEveryWay, RefusedPick,
                         ::testing::Values("Return", "Escape", "click", "zrv5-exit",
                                           "Super+Escape"),
                         [](const ::testing::TestParamInfo<const char*>& way) {
                             std::string name = way.param;
                             name.erase(std::remove_if(name.begin(), name.end(),
                                                       [](char c) { return !std::isalnum(c); }),
                                        name.end());
                             return name;
                         });

}  // namespace
