// The real zrv5.exe with the logging MouseHook.dll under Wine on an X server: start-up, the
// overlay, the pick, the shared profile keys, the companion's calls, every way the view ends and
// its exit code. The pick is a real click made by the X server (XTest) on a target window of this
// process, which the program's low-level mouse hook takes away from it; one test delivers a
// release posted to the overlay, the other way a pick can arrive.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

using Lines = std::vector<std::string>;

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(e2e_paths().program.empty()) << "run through run_e2e.sh";
        // Leftovers of an earlier run must not pass for this run's writes.
        for (const char* key : {"HWND", "W", "H"}) {
            set_profile_value(key, "stale");
        }
        set_profile_value("EXIT", "0");
    }
    void TearDown() override {
        for (HWND window : targets) {
            DestroyWindow(window);
        }
    }

    HWND target(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
        HWND window = create_target(x, y, width, height);
        targets.push_back(window);
        return window;
    }

    // Picks `window` with a real click at client point (10, 10) (or a release posted to the
    // overlay) and waits until the program has published it: the companion is called after all
    // four keys are written.
    void pick(const ProgramRun& run, HWND overlay, HWND window, bool posted = false) {
        POINT point{10, 10};
        ClientToScreen(window, &point);
        if (posted) {
            post_pick(overlay, point);
        } else {
            ASSERT_TRUE(real_click(point)) << "the test driver made no click";
        }
        ASSERT_TRUE(eventually([&] { return !run.hook_log().empty(); })) << "MySetHook not called";
        EXPECT_EQ(run.hook_log(), Lines{run.log_line("MySetHook")});
        EXPECT_EQ(profile_value("HWND"), handle_text_of(window));
    }

    std::vector<HWND> targets;
};

std::string name_of_test() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

TEST_F(EndToEnd, OverlayIsAnInvisibleFullScreenTopmostWindowThatTakesNoInput) {
    ProgramRun run(name_of_test(), "");
    ASSERT_TRUE(run.start());
    HWND overlay = run.find_overlay();
    ASSERT_NE(overlay, nullptr) << "no window of class and title ZRV5";

    const LONG ex_style = GetWindowLongA(overlay, GWL_EXSTYLE);
    // A tool window: no taskbar button, no Alt+Tab entry.
    EXPECT_EQ(ex_style & (WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST | WS_EX_TOOLWINDOW),
              WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
    const LONG style = GetWindowLongA(overlay, GWL_STYLE);
    EXPECT_NE(static_cast<DWORD>(style) & WS_POPUP, 0u);
    EXPECT_EQ(static_cast<DWORD>(style) & (WS_CAPTION | WS_THICKFRAME | WS_CHILD), 0u);
    RECT overlay_rect{};
    RECT screen_rect{};
    GetWindowRect(overlay, &overlay_rect);
    GetWindowRect(GetDesktopWindow(), &screen_rect);
    EXPECT_TRUE(EqualRect(&overlay_rect, &screen_rect));
    // Not opaque yet: no layered attributes before the pick.
    BYTE alpha = 0;
    DWORD flags = 0;
    EXPECT_FALSE(GetLayeredWindowAttributes(overlay, nullptr, &alpha, &flags) && flags != 0);

    // The transparent overlay lets the window beneath be found at a point it covers.
    HWND window = target(300, 200, 120, 90);
    EXPECT_EQ(WindowFromPoint(POINT{330, 230}), window);

    PostMessageA(overlay, WM_CLOSE, 0, 0);
    EXPECT_EQ(run.wait_for_exit(), 0);
}

TEST_F(EndToEnd, ARealClickPicksTheClickedWindowWhichNeverSeesIt) {
    ProgramRun run(name_of_test(), "[Zarvo5]\r\ntime=20\r\n");
    ASSERT_TRUE(run.start());
    HWND overlay = run.find_overlay();
    ASSERT_NE(overlay, nullptr);
    HWND window = target(150, 120, 320, 240);

    pick(run, overlay, window);
    EXPECT_EQ(profile_value("W"), "320");
    EXPECT_EQ(left_button_messages(window).down, 0) << "the press reached the target";
    EXPECT_EQ(left_button_messages(window).up, 0) << "the release reached the target";

    // The target has the keyboard, and ticks that keep the overlay on top do not take it back.
    eventually([] { return false; }, 300);
    EXPECT_EQ(GetForegroundWindow(), window);

    // The hook is gone after the pick: the next click reaches the target.
    POINT point{30, 30};
    ClientToScreen(window, &point);
    ASSERT_TRUE(real_click(point));
    EXPECT_TRUE(eventually([&] { return left_button_messages(window).up == 1; }))
        << "a click after the pick did not reach the target";
    EXPECT_EQ(left_button_messages(window).down, 1);

    DestroyWindow(window);
    targets.clear();
    EXPECT_EQ(run.wait_for_exit(), 0);
}

// Only a whole click picks. A press made before the start (the second press of the double-click
// that started zrv5) and released after it reaches its window, press and release alike, so that
// the window is not left waiting for the release; the next whole click picks.
TEST_F(EndToEnd, AReleaseWhosePressCameBeforeTheStartDoesNotPick) {
    HWND window = target(150, 120, 320, 240);
    POINT point{20, 20};
    ClientToScreen(window, &point);
    ASSERT_TRUE(real_button(point, "mousedown"));
    ProgramRun run(name_of_test(), "[Zarvo5]\r\ntime=20\r\n");
    ASSERT_TRUE(run.start());
    HWND overlay = run.find_overlay();
    ASSERT_NE(overlay, nullptr);
    // Shown once it is created, and its hook is set in its creation.
    ASSERT_TRUE(eventually([&] { return IsWindowVisible(overlay) != 0; }));

    ASSERT_TRUE(real_button(point, "mouseup"));
    EXPECT_EQ(run.hook_log(), Lines{}) << "the release of a press before the start picked";
    EXPECT_EQ(left_button_messages(window).down, 1);
    EXPECT_TRUE(eventually([&] { return left_button_messages(window).up == 1; }))
        << "the release did not reach the window that saw its press";

    pick(run, overlay, window);
    EXPECT_EQ(left_button_messages(window).down, 1) << "the picking press reached the target";
    EXPECT_EQ(left_button_messages(window).up, 1) << "the picking release reached the target";
    set_profile_value("EXIT", "1");
    EXPECT_EQ(run.wait_for_exit(), 0);
}

// Started minimised (a shortcut's "Run: Minimized", start /min), the view is still seen: the
// launcher's show state would leave the overlay iconic after the pick.
TEST_F(EndToEnd, AMinimisedStartStillShowsTheView) {
    ProgramRun run(name_of_test(), "[Zarvo5]\r\ntime=20\r\n");
    ASSERT_TRUE(run.start(SW_SHOWMINNOACTIVE));
    HWND overlay = run.find_overlay();
    ASSERT_NE(overlay, nullptr);
    HWND window = target(150, 120, 320, 240);
    pick(run, overlay, window);
    EXPECT_TRUE(eventually([&] { return IsWindowVisible(overlay) && !IsIconic(overlay); }))
        << "iconic " << IsIconic(overlay) << ", visible " << IsWindowVisible(overlay);
    set_profile_value("EXIT", "1");
    EXPECT_EQ(run.wait_for_exit(), 0);
}

// The second way a pick arrives: a release posted to the overlay.
TEST_F(EndToEnd, PostedPickPublishesTheViewAndTheClosedTargetEndsItWithExitZero) {
    ProgramRun run(name_of_test(), "[Zarvo5]\r\nmouse_trs=0\r\n");
    ASSERT_TRUE(run.start());
    HWND overlay = run.find_overlay();
    ASSERT_NE(overlay, nullptr);
    // An odd client size is rounded down to even.
    HWND window = target(150, 120, 641, 481);

    pick(run, overlay, window, true);
    EXPECT_EQ(profile_value("W"), "640");
    EXPECT_EQ(profile_value("H"), "480");
    EXPECT_EQ(profile_value("EXIT"), "0");
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(eventually([&] {
        return GetLayeredWindowAttributes(overlay, nullptr, &alpha, &flags) && alpha == 255;
    })) << "the overlay was not made opaque";
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));

    DestroyWindow(window);
    targets.clear();
    EXPECT_EQ(run.wait_for_exit(), 0);
    EXPECT_EQ(run.hook_log(), (Lines{run.log_line("MySetHook"), run.log_line("MyEndHook")}));
}

// Every stretch and cursor mode runs its ticks under Wine until the exit request ends the view:
// the exit key is read only by ticks, so the exit proves that ticks ran.
struct Modes {
    const char* name;
    const char* settings;
};

class ExitRequest : public EndToEnd, public ::testing::WithParamInterface<Modes> {};

TEST_P(ExitRequest, EndsTheViewWithExitZero) {
    ProgramRun run(std::string("ExitRequest_") + GetParam().name, GetParam().settings);
    // The pick resets the key, whatever it held before.
    set_profile_value("EXIT", "1");
    ASSERT_TRUE(run.start());
    HWND overlay = run.find_overlay();
    ASSERT_NE(overlay, nullptr);
    HWND window = target(200, 150, 320, 240);

    pick(run, overlay, window);
    EXPECT_EQ(profile_value("EXIT"), "0");
    EXPECT_TRUE(run.running());

    set_profile_value("EXIT", "1");
    EXPECT_EQ(run.wait_for_exit(), 0);
    EXPECT_EQ(run.hook_log(), (Lines{run.log_line("MySetHook"), run.log_line("MyEndHook")}));
    EXPECT_TRUE(IsWindow(window)) << "the target belongs to its own process";
}

INSTANTIATE_TEST_SUITE_P(
    AllModes, ExitRequest,
    ::testing::Values(
        Modes{"Defaults", ""},
        Modes{"BlendedGrabEveryTick",
              "[Zarvo5]\r\ntime=20\r\nstretch=1\r\nmouse_trs=1\r\nsmoothness=1\r\n"},
        Modes{"FiveHalvesArrow", "[Zarvo5]\r\ntime=20\r\nstretch=1\r\nmouse_trs=2\r\n"},
        Modes{"AspectFitGrabAtPick", "[Zarvo5]\r\ntime=20\r\nstretch=2\r\nmouse_trs=0\r\n"}),
    [](const ::testing::TestParamInfo<Modes>& param) { return std::string(param.param.name); });

TEST_F(EndToEnd, ClosingTheOverlayBeforeAnyPickCallsOnlyTheEndHook) {
    ProgramRun run(name_of_test(), "");
    ASSERT_TRUE(run.start());
    HWND overlay = run.find_overlay();
    ASSERT_NE(overlay, nullptr);
    PostMessageA(overlay, WM_CLOSE, 0, 0);
    EXPECT_EQ(run.wait_for_exit(), 0);
    EXPECT_EQ(run.hook_log(), Lines{run.log_line("MyEndHook")});
    EXPECT_EQ(profile_value("HWND"), "stale");
}

TEST_F(EndToEnd, QuitPostedFromElsewhereEndsTheLoopWithItsCode) {
    ProgramRun run(name_of_test(), "");
    ASSERT_TRUE(run.start());
    HWND overlay = run.find_overlay();
    ASSERT_NE(overlay, nullptr);
    const DWORD gui_thread = GetWindowThreadProcessId(overlay, nullptr);
    ASSERT_TRUE(PostThreadMessageA(gui_thread, WM_QUIT, 7, 0));
    EXPECT_EQ(run.wait_for_exit(), 7);
    EXPECT_EQ(run.hook_log(), Lines{}) << "the destruction handling must not run";
}

// The mended fault: a target less than 2 pixels wide would give W = 0 and divisions by zero in the
// layout. The pick is refused with the error box, and the program ends with exit code 1.
TEST_F(EndToEnd, PickOnAOnePixelWideChildShowsTheErrorBoxThenExitsOne) {
    ProgramRun run(name_of_test(), "");
    ASSERT_TRUE(run.start());
    HWND overlay = run.find_overlay();
    ASSERT_NE(overlay, nullptr);
    HWND parent = target(250, 200, 200, 120);
    HWND child = create_child(parent, 40, 20, 1, 60);
    ASSERT_NE(child, nullptr);
    UpdateWindow(parent);
    POINT point{290, 240};  // the child's one column
    ASSERT_EQ(WindowFromPoint(point), child);

    ASSERT_TRUE(real_click(point));
    HWND box = nullptr;
    ASSERT_TRUE(eventually([&] {
        box = find_window_of_process(run.process_id(), "Error");
        return box != nullptr;
    })) << "no error box";
    const std::vector<std::string> texts = child_texts(box);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "ZRV5"), texts.end());
    EXPECT_EQ(GetWindow(box, GW_OWNER), overlay);
    EXPECT_EQ(profile_value("HWND"), "stale") << "a refused pick publishes nothing";

    EXPECT_EQ(left_button_messages(child).up, 0);
    EXPECT_EQ(left_button_messages(parent).up, 0);

    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(run.wait_for_exit(), 1);
    EXPECT_EQ(run.hook_log(), Lines{run.log_line("MyEndHook")});
    EXPECT_EQ(profile_value("HWND"), "stale");
}

// Cursor mode 1 reads the pointer image every tick without joining the target's input state:
// a join resets the joined threads' key state, and a key the user holds in the target would be
// let go sixty times a second.
TEST_F(EndToEnd, AKeyHeldInTheTargetStaysHeldOverTicksOfCursorModeOne) {
    ProgramRun run(name_of_test(), "[Zarvo5]\r\ntime=10\r\nmouse_trs=1\r\n");
    ASSERT_TRUE(run.start());
    HWND overlay = run.find_overlay();
    ASSERT_NE(overlay, nullptr);
    HWND window = target(200, 150, 320, 240);
    pick(run, overlay, window);
    ASSERT_TRUE(eventually([&] { return GetForegroundWindow() == window; }));

    ASSERT_TRUE(real_key("keydown", "shift"));
    ASSERT_TRUE(eventually([] { return (GetKeyState(VK_SHIFT) & 0x8000) != 0; }))
        << "the key never reached the target";
    // 100 ticks of 10 ms, with room for a slow machine.
    eventually([] { return false; }, 1500);
    const bool still_held = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    real_key("keyup", "shift");
    EXPECT_TRUE(still_held) << "a tick let the held key go";

    set_profile_value("EXIT", "1");
    EXPECT_EQ(run.wait_for_exit(), 0);
}

TEST_F(EndToEnd, WithoutTheCompanionLibraryTheProgramDoesNotStart) {
    ProgramRun run(name_of_test(), "", false);
    ASSERT_TRUE(run.start());
    const std::int64_t code = run.wait_for_exit();
    // STATUS_DLL_NOT_FOUND (0xC0000135); a shell sees its low byte, 53.
    EXPECT_TRUE(code == 0xC0000135LL || (code & 0xFF) == 0x35) << "exit code " << code;
    EXPECT_EQ(run.hook_log(), Lines{});
    EXPECT_EQ(profile_value("HWND"), "stale");
}

}  // namespace
