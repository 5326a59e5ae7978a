// End to end: views started by the command line instead of a click. --window with a client's id,
// --wait for a window that comes later or is there already, the wait ended by zrv5-exit and by its
// time limit, --active, --settings, and every bad command line refused with exit code 2 before
// anything is written.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "x11/support/end_to_end.h"

namespace {

constexpr int TARGET_X = 200;
constexpr int TARGET_Y = 150;

Frame typical_frame() {
    return stretched_frame(EndToEnd::target_source(0), 640, 480, Placement{60, 45, 1280, 960}, 60,
                           45);
}

std::string hex_id(Window window) {
    std::ostringstream text;
    text << "0x" << std::hex << window;
    return text.str();
}

class CommandStart : public EndToEnd {
protected:
    std::unique_ptr<Zrv5Run> start_with(const std::vector<std::string>& arguments,
                                        const std::string& settings = "[Zarvo5]\ntime=50\n") {
        Zrv5Setup setup;
        setup.settings = settings;
        setup.arguments = arguments;
        auto run = std::make_unique<Zrv5Run>(setup);
        EXPECT_TRUE(run->start(session));
        return run;
    }

    bool has_profile(const Zrv5Run& run) {
        return access(run.profile_folder().c_str(), F_OK) == 0;
    }
};

// The view of a window named by its id is the view a click at its centre gives, pixel for pixel,
// in decimal and in xwininfo's hexadecimal alike, its value apart or after '='; the companion is
// called as after a click.
TEST_F(CommandStart, AWindowNamedByItsIdIsViewedAsAClickWouldViewIt) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    const std::vector<std::vector<std::string>> command_lines = {
        {"--window", std::to_string(target->window)},
        {"--window", hex_id(target->window)},
        {"--window=" + hex_id(target->window)},
    };
    for (const std::vector<std::string>& arguments : command_lines) {
        SCOPED_TRACE(arguments.back());
        auto run = start_with(arguments);
        expect_screen(typical_frame(), "window-id");
        EXPECT_NE(run->profile_text().find("W=640\nH=480\n"), std::string::npos)
            << run->profile_text();
        const std::string pid = std::to_string(run->process().pid());
        EXPECT_EQ(run->companion_calls(), std::vector<std::string>{"MySetHook " + pid});
        EXPECT_EQ(run->request_exit(), 0);
        EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
        EXPECT_EQ(run->process().stderr_text(), "");
    }
}

TEST_F(CommandStart, AWaitFindsAWindowThatComesLaterOrIsThereAlready) {
    auto run = start_with({"--wait", "later target", "--timeout", "30"});
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_TRUE(run->process().running()) << run->process().stderr_text();
    auto target = start_target(640, 480, TARGET_X, TARGET_Y, 0, "a later target window");
    expect_screen(typical_frame(), "waited");
    target->command("close");
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);

    // Already there: by its class (the target's WM_CLASS names its program).
    auto shown = start_target(640, 480, TARGET_X, TARGET_Y);
    auto at_once = start_with({"--wait", "zrv5_test_target"});
    expect_screen(typical_frame(), "there-already");
    shown->command("close");
    EXPECT_EQ(at_once->process().wait_exit(EXIT_MS), 0);
    EXPECT_EQ(at_once->process().stderr_text(), "");
}

TEST_F(CommandStart, AWaitEndsOnZrv5ExitAndSuperEscapeWithZeroAndOnItsTimeLimitWithOne) {
    auto waiting = start_with({"--wait", "nothing like it"});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(waiting->process().running()) << waiting->process().stderr_text();
    EXPECT_EQ(waiting->request_exit(), 0);
    EXPECT_EQ(waiting->process().wait_exit(EXIT_MS), 0);
    EXPECT_EQ(waiting->process().stderr_text(), "");
    const std::string pid = std::to_string(waiting->process().pid());
    EXPECT_EQ(waiting->companion_calls(), std::vector<std::string>{"MyEndHook " + pid});

    auto keyed = start_with({"--wait", "nothing like it"});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    session.press_exit_key();
    EXPECT_EQ(keyed->process().wait_exit(EXIT_MS), 0) << "Super+Escape did not end the wait";

    auto timed = start_with({"--wait", "nothing like it", "--timeout", "1"});
    EXPECT_EQ(timed->process().wait_exit(EXIT_MS), 1);
    EXPECT_EQ(timed->process().stderr_text(),
              "zrv5: no window whose class or title holds \"nothing like it\" came within 1 s\n");
}

TEST_F(CommandStart, ActiveViewsTheFocusedWindow) {
    auto other = start_target(300, 200, 900, 700, 1, "other");
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    XSetInputFocus(session.display(), target->window, RevertToParent, CurrentTime);
    XSync(session.display(), False);
    auto run = start_with({"--active"});
    expect_screen(typical_frame(), "active");
    EXPECT_EQ(run->request_exit(), 0);
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);

    XSetInputFocus(session.display(), None, RevertToNone, CurrentTime);
    XSync(session.display(), False);
    auto none = start_with({"--active"});
    EXPECT_EQ(none->process().wait_exit(EXIT_MS), 1);
    EXPECT_EQ(none->process().stderr_text(), "zrv5: no window has the keyboard focus\n");
    EXPECT_FALSE(has_profile(*none));
}

// Destroys a window as soon as zrv5 makes its first window (the capture's background window, made
// after the check of a named window and well before the pick), from a connection and a thread of
// its own, with the server grabbed meanwhile: zrv5's next round trip then waits until the window
// is gone, long before its pick.
class DestroyOnFirstWindow {
public:
    DestroyOnFirstWindow(const std::string& display_name, Window doomed) : doomed_(doomed) {
        display_ = XOpenDisplay(display_name.c_str());
        if (display_ != nullptr) {
            XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
            XSync(display_, False);
            watcher_ = std::thread([this] { watch(); });
        }
    }
    ~DestroyOnFirstWindow() {
        if (watcher_.joinable()) {
            watcher_.join();
        }
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }
    bool watching() const { return display_ != nullptr; }

private:
    void watch() {
        for (;;) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == CreateNotify && event.xcreatewindow.override_redirect) {
                XGrabServer(display_);
                XDestroyWindow(display_, doomed_);
                XUngrabServer(display_);
                XSync(display_, False);
                return;
            }
        }
    }

    Display* display_ = nullptr;
    Window doomed_;
    std::thread watcher_;
};

// A named window that is gone by the time of the pick (it passed the check at the start) is
// refused as an id that is no window: one line, exit code 2, nothing published, no error box.
TEST_F(CommandStart, AWindowGoneBeforeThePickIsRefusedWithTwo) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    DestroyOnFirstWindow helper(session.name(), target->window);
    ASSERT_TRUE(helper.watching());
    auto run = start_with({"--window", hex_id(target->window)});
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 2);
    EXPECT_EQ(run->process().stderr_text(),
              "zrv5: there is no window " + hex_id(target->window) + " on the display\n");
    EXPECT_FALSE(has_profile(*run));
    EXPECT_EQ(run->companion_calls(),
              std::vector<std::string>{"MyEndHook " + std::to_string(run->process().pid())});
    EXPECT_EQ(session.find_window("Error"), 0u);
}

// --settings wins over the file beside the program (here: a blended 3/2 view, where the file
// beside says the whole factor); a missing file is refused, not taken for the defaults.
TEST_F(CommandStart, SettingsFromTheNamedFileAndAMissingOneRefused) {
    auto target = start_target(800, 600, 300, 200);
    char folder[] = "/tmp/zrv5-settings-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string named = std::string(folder) + "/game.ini";
    std::ofstream(named) << "[Zarvo5]\nstretch=1\nsmoothness=1\ntime=50\n";
    auto run = start_with({"--settings", named, "--window", std::to_string(target->window)},
                          "[Zarvo5]\nstretch=0\n");
    expect_screen(blended_frame(target_source(0), 800, 600, 3, 100, 75, exact_pair, exact_quad),
                  "named-settings");
    EXPECT_EQ(run->request_exit(), 0);
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);

    auto missing = start_with({"--settings", std::string(folder) + "/none.ini"});
    EXPECT_EQ(missing->process().wait_exit(EXIT_MS), 2);
    EXPECT_EQ(missing->process().stderr_text(),
              "zrv5: the settings file " + std::string(folder) + "/none.ini does not exist\n");
    EXPECT_FALSE(has_profile(*missing));
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
}

// Every bad command line: one line naming the problem (then the usage), exit code 2, nothing
// written to the profile and no overlay made.
TEST_F(CommandStart, EveryBadCommandLineIsRefusedWithTwoAndWritesNothing) {
    struct Case {
        std::vector<std::string> arguments;
        std::string first_line;
    };
    const std::vector<Case> cases = {
        {{"--frobnicate"}, "zrv5: unknown argument '--frobnicate'"},
        {{"-xy"}, "zrv5: unknown argument '-xy'"},
        {{"--window"}, "zrv5: a value is missing after '--window'"},
        {{"--window", "12ab"}, "zrv5: not a window id (decimal, or hexadecimal after 0x): '12ab'"},
        {{"--window=12ab"}, "zrv5: not a window id (decimal, or hexadecimal after 0x): '12ab'"},
        {{"--active=1"}, "zrv5: --active takes no value, not '--active=1'"},
        {{"--active", "stray"}, "zrv5: unknown argument 'stray'"},
        {{"--window", "0x1fffff0"}, "zrv5: there is no window 0x1fffff0 on the display"},
        {{"--wait", ""}, "zrv5: --wait needs a text to look for"},
        {{"--wait", "x", "--timeout", "-3"},
         "zrv5: --timeout takes whole seconds, 0 or more, once, not '-3'"},
        {{"--timeout", "3"}, "zrv5: --timeout goes only with --wait"},
        {{"--active", "--wait", "x"},
         "zrv5: only one of --window, --wait and --active may be given, not also '--wait'"},
    };
    for (const Case& bad : cases) {
        SCOPED_TRACE(bad.arguments[0]);
        auto run = start_with(bad.arguments);
        EXPECT_EQ(run->process().wait_exit(EXIT_MS), 2);
        const std::string errors = run->process().stderr_text();
        EXPECT_EQ(errors.substr(0, errors.find('\n')), bad.first_line);
        EXPECT_FALSE(has_profile(*run)) << "a refused command line wrote the profile";
        EXPECT_EQ(session.find_window("ZRV5"), 0u);
    }
}

}  // namespace
