// The real zrv5.exe with the MouseHook.dll that users get, under Wine on an X server: the pointer's
// clip is the capture rectangle from the pick on, follows the target and comes back when reset, and
// is the whole screen again after every way the view ends; zrv5-exit.exe ends the view and keeps
// the rest of win.ini; Windows key + Escape ends the view.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "e2e_support.h"

namespace {

constexpr std::int32_t TARGET_X = 120;
constexpr std::int32_t TARGET_Y = 90;
constexpr std::int32_t TARGET_WIDTH = 400;
constexpr std::int32_t TARGET_HEIGHT = 300;

std::string text_of(const RECT& r) {
    std::ostringstream out;
    out << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
    return out.str();
}

RECT clip() {
    RECT now{};
    GetClipCursor(&now);
    return now;
}

RECT whole_screen() {
    const std::int32_t x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const std::int32_t y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return RECT{x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

RECT client_rectangle(HWND window, std::int32_t width, std::int32_t height) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return RECT{origin.x, origin.y, origin.x + width, origin.y + height};
}

// Waits until the clip is `wanted`; the message on failure names both.
::testing::AssertionResult clip_becomes(const RECT& wanted) {
    if (eventually([&] {
            const RECT now = clip();
            return EqualRect(&now, &wanted) != 0;
        })) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "the clip is " << text_of(clip()) << ", not " << text_of(wanted);
}

std::string name_of_test() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    return name;
}

std::string win_ini_text() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    std::ifstream file((std::string(folder) + "\\win.ini").c_str(), std::ios::binary);
    std::stringstream all;
    all << file.rdbuf();
    return all.str();
}

// Runs zrv5-exit.exe (beside zrv5.exe) with `arguments` and returns its exit code, or -1 when it
// did not end.
std::int64_t run_exit_program(const std::string& arguments = "") {
    std::string program = e2e_paths().program;
    program = program.substr(0, program.find_last_of('\\') + 1) + "zrv5-exit.exe";
    std::string command = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    DWORD code = 0;
    const bool ended = eventually([&] { return WaitForSingleObject(process.hProcess, 0) == 0; });
    if (!ended || !GetExitCodeProcess(process.hProcess, &code)) {
        TerminateProcess(process.hProcess, 99);
        code = static_cast<DWORD>(-1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended ? static_cast<std::int64_t>(code) : -1;
}

void press_windows_escape() {
    INPUT keys[4] = {};
    const WORD codes[4] = {VK_LWIN, VK_ESCAPE, VK_ESCAPE, VK_LWIN};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = codes[i];
        keys[i].ki.dwFlags = (i < 2 ? 0 : KEYEVENTF_KEYUP) | (codes[i] == VK_LWIN ? KEYEVENTF_EXTENDEDKEY : 0);
    }
    SendInput(4, keys, sizeof(INPUT));
}

class Companion : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(e2e_paths().program.empty()) << "run through run_e2e.sh";
        ClipCursor(nullptr);
        WriteProfileStringA("Zarvo5", "EXIT", "0");
        window = create_target(TARGET_X, TARGET_Y, TARGET_WIDTH, TARGET_HEIGHT);
        run = std::make_unique<ProgramRun>(name_of_test(), "[Zarvo5]\n");
        run->use_working_hook();
        ASSERT_TRUE(run->start());
        HWND overlay = run->find_overlay();
        ASSERT_NE(overlay, nullptr);
        POINT point{10, 10};
        ClientToScreen(window, &point);
        post_pick(overlay, point);
        ASSERT_TRUE(clip_becomes(client_rectangle(window, TARGET_WIDTH, TARGET_HEIGHT)))
            << "after the pick";
    }
    void TearDown() override {
        run.reset();
        if (IsWindow(window)) {
            DestroyWindow(window);
        }
        ClipCursor(nullptr);
    }

    HWND window = nullptr;
    std::unique_ptr<ProgramRun> run;
};

TEST_F(Companion, TheClipFollowsAMovedTargetAndComesBackWhenReset) {
    SetWindowPos(window, nullptr, 300, 250, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(clip_becomes(client_rectangle(window, TARGET_WIDTH, TARGET_HEIGHT)))
        << "after the move";
    ClipCursor(nullptr);
    EXPECT_TRUE(clip_becomes(client_rectangle(window, TARGET_WIDTH, TARGET_HEIGHT)))
        << "after another program lifted the clip";
    EXPECT_TRUE(run->running());
}

// zrv5-exit.exe writes "EXIT" = "1" and nothing else: win.ini is the same but for that value.
TEST_F(Companion, TheExitProgramEndsTheViewAndKeepsTheRestOfTheProfile) {
    WriteProfileStringA("Zrv5TestOther", "kept", "as it was");
    const std::string before = win_ini_text();
    const std::size_t exit_line = before.find("EXIT=0");
    ASSERT_NE(exit_line, std::string::npos) << before;
    EXPECT_EQ(run_exit_program(), 0);
    EXPECT_EQ(run->wait_for_exit(), 0);
    std::string expected = before;
    expected.replace(exit_line, 6, "EXIT=1");
    EXPECT_EQ(win_ini_text(), expected);
    EXPECT_TRUE(clip_becomes(whole_screen())) << "after the view ended";
}

// zrv5-exit.exe answers --help and --version with 0 and anything else with 2 (the usage), and an
// argument is never taken as the request. What they print is the same code as on Linux, checked
// there.
TEST(ExitProgramCommandLine, FlagsAnswerAndNeverWriteTheRequest) {
    ASSERT_FALSE(e2e_paths().program.empty()) << "run through run_e2e.sh";
    const struct {
        const char* arguments;
        std::int64_t code;
    } cases[] = {{"--help", 0}, {"-h", 0}, {"--version", 0}, {"--bogus", 2}, {"EXIT=1", 2},
                 {"--help --version", 2}};
    for (const auto& c : cases) {
        WriteProfileStringA("Zarvo5", "EXIT", "0");
        EXPECT_EQ(run_exit_program(c.arguments), c.code) << c.arguments;
        char value[260] = {};
        GetProfileStringA("Zarvo5", "EXIT", "", value, sizeof value);
        EXPECT_STREQ(value, "0") << c.arguments << " wrote the request";
    }
}

// Every way the view ends lifts the clip. The quit message from elsewhere never reaches MyEndHook:
// the library's unloading lifts it.
class CompanionExit : public Companion, public ::testing::WithParamInterface<const char*> {};

TEST_P(CompanionExit, TheClipIsTheWholeScreenAfterwards) {
    const std::string how = GetParam();
    if (how == "target-closed") {
        DestroyWindow(window);
    } else if (how == "exit-request") {
        WriteProfileStringA("Zarvo5", "EXIT", "1");
    } else if (how == "quit-message") {
        run->post_quit();
    } else if (how == "overlay-closed") {
        PostMessageA(run->find_overlay(), WM_CLOSE, 0, 0);
    } else {
        // The hotkey: the low-level hook sees keys only while a window of Wine has the focus, which
        // Wine may give a moment late; a press that found no focus is repeated.
        for (int attempt = 0; attempt < 20 && run->running(); ++attempt) {
            SetForegroundWindow(window);
            press_windows_escape();
            for (int waited = 0; waited < 25 && run->running(); ++waited) {
                Sleep(20);
            }
        }
    }
    EXPECT_EQ(run->wait_for_exit(), 0);
    EXPECT_TRUE(clip_becomes(whole_screen())) << "after: " << how;
    if (how == "hotkey") {
        char value[260] = {};
        GetProfileStringA("Zarvo5", "EXIT", "", value, sizeof value);
        EXPECT_STREQ(value, "1");
    }
}

INSTANTIATE_TEST_SUITE_P(ByEveryWay, CompanionExit,
                         ::testing::Values("target-closed", "exit-request", "quit-message",
                                           "overlay-closed", "hotkey"),
                         [](const ::testing::TestParamInfo<const char*>& param_info) {
                             std::string name = param_info.param;
                             for (char& c : name) {
                                 if (c == '-') {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

}  // namespace
