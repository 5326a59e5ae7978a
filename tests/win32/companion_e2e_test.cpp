// The real zrv5.exe with the MouseHook.dll that users get, under Wine on an X server: the pointer's
// clip is the capture rectangle from the pick on, follows the target and comes back when reset, and
// is the whole screen again after every way the view ends; zrv5-exit.exe ends the view and keeps
// the rest of win.ini, and reports a profile it cannot write; Windows key + Escape ends the view.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "companion_support.h"
#include "e2e_support.h"

namespace {

constexpr std::int32_t TARGET_X = 120;
constexpr std::int32_t TARGET_Y = 90;
constexpr std::int32_t TARGET_WIDTH = 400;
constexpr std::int32_t TARGET_HEIGHT = 300;

std::string win_ini_path() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\win.ini";
}

// Reads the whole of a file, or nothing when it is not there.
std::string file_text(const std::string& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream all;
    all << file.rdbuf();
    return all.str();
}

std::string win_ini_text() { return file_text(win_ini_path()); }

// Runs zrv5-exit.exe (beside zrv5.exe) with `arguments` and returns its exit code, or -1 when it
// did not end; what it wrote to its standard error and output goes to `error_output` and
// `standard_output`. Both handles are given: a program whose output cannot be written fails.
std::int64_t run_exit_program(const std::string& arguments = "",
                              std::string* error_output = nullptr,
                              std::string* standard_output = nullptr) {
    std::string program = e2e_paths().program;
    program = program.substr(0, program.find_last_of('\\') + 1) + "zrv5-exit.exe";
    const std::string error_path = e2e_paths().work + "\\zrv5-exit.err";
    const std::string output_path = e2e_paths().work + "\\zrv5-exit.out";
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE error_file = CreateFileA(error_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                    &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE output_file = CreateFileA(output_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                     &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string command = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = error_file;
    startup.hStdOutput = output_file;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(error_file);
    CloseHandle(output_file);
    if (!started) {
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
    if (error_output != nullptr) {
        *error_output = file_text(error_path);
    }
    if (standard_output != nullptr) {
        *standard_output = file_text(output_path);
    }
    return ended ? static_cast<std::int64_t>(code) : -1;
}

// A profile that cannot be written (another program holds it open): zrv5-exit.exe says so in one
// line and exits with 1, instead of reporting a request that no reader will see.
TEST(ExitProgram, ReportsAProfileThatCannotBeWritten) {
    ASSERT_FALSE(e2e_paths().program.empty()) << "run through run_e2e.sh";
    WriteProfileStringA("Zarvo5", "EXIT", "0");
    // Held open with no sharing, the profile can be neither read nor written by anyone else.
    HANDLE held = CreateFileA(win_ini_path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::string error_output;
    const std::int64_t code = run_exit_program("", &error_output);
    CloseHandle(held);

    EXPECT_EQ(code, 1);
    EXPECT_EQ(error_output.rfind("zrv5-exit: ", 0), 0u) << error_output;
    const std::size_t line_end = error_output.find('\n');
    EXPECT_EQ(line_end + 1, error_output.size()) << "one line: " << error_output;
    char value[260] = {};
    GetProfileStringA("Zarvo5", "EXIT", "", value, sizeof value);
    EXPECT_STREQ(value, "0");
}

// A zrv5 that waits for its click is ended by zrv5-exit.exe and by Windows key + Escape, with exit
// code 0 and nothing published; a request left from an earlier view does not end it.
TEST(TheWaitForTheClick, EndsOnTheExitProgramAndOnTheExitKey) {
    ASSERT_FALSE(e2e_paths().program.empty()) << "run through run_e2e.sh";
    // The exit key reaches the low-level hooks only while a window of Wine has the focus.
    HWND focus = create_target(TARGET_X, TARGET_Y, TARGET_WIDTH, TARGET_HEIGHT);
    for (const bool by_key : {false, true}) {
        SCOPED_TRACE(by_key ? "Windows key + Escape" : "zrv5-exit.exe");
        WriteProfileStringA("Zarvo5", "HWND", "stale");
        WriteProfileStringA("Zarvo5", "EXIT", "1");
        ProgramRun run(name_of_test() + (by_key ? "_key" : "_exit"), "");
        ASSERT_TRUE(run.start());
        ASSERT_NE(run.find_overlay(), nullptr);
        eventually([] { return false; }, 600);  // past two polls of the wait
        ASSERT_TRUE(run.running()) << "a request from before the start ended the wait";
        if (by_key) {
            EXPECT_TRUE(press_windows_escape_until(focus, [&] { return !run.running(); }));
        } else {
            EXPECT_EQ(run_exit_program(), 0);
        }
        EXPECT_EQ(run.wait_for_exit(), 0);
        EXPECT_EQ(run.hook_log(), std::vector<std::string>{run.log_line("MyEndHook")});
        EXPECT_EQ(profile_value("HWND"), "stale") << "the wait published";
    }
    DestroyWindow(focus);
}

// The error box of a refused pick (a window one pixel wide) is ended the same two ways, with the
// refusal's exit code 1 and nothing published.
TEST(TheErrorBox, EndsOnTheExitProgramAndOnTheExitKey) {
    ASSERT_FALSE(e2e_paths().program.empty()) << "run through run_e2e.sh";
    HWND parent = create_target(250, 200, 200, 120);
    HWND child = create_child(parent, 40, 20, 1, 60);
    ASSERT_NE(child, nullptr);
    UpdateWindow(parent);
    for (const bool by_key : {false, true}) {
        SCOPED_TRACE(by_key ? "Windows key + Escape" : "zrv5-exit.exe");
        WriteProfileStringA("Zarvo5", "HWND", "stale");
        ProgramRun run(name_of_test() + (by_key ? "_key" : "_exit"), "");
        ASSERT_TRUE(run.start());
        ASSERT_NE(run.find_overlay(), nullptr);
        ASSERT_TRUE(real_click(POINT{290, 240}));  // the child's one column
        HWND box = nullptr;
        ASSERT_TRUE(eventually([&] {
            box = find_window_of_process(run.process_id(), "Error");
            return box != nullptr;
        })) << "no error box";
        if (by_key) {
            EXPECT_TRUE(press_windows_escape_until(parent, [&] { return !run.running(); }));
        } else {
            EXPECT_EQ(run_exit_program(), 0);
        }
        EXPECT_EQ(run.wait_for_exit(), 1);
        EXPECT_EQ(run.hook_log(), std::vector<std::string>{run.log_line("MyEndHook")});
        EXPECT_EQ(profile_value("HWND"), "stale") << "a refused pick publishes nothing";
    }
    DestroyWindow(parent);
}

class Companion : public PickedTarget {
protected:
    void SetUp() override {
        start_and_pick(RECT{TARGET_X, TARGET_Y, TARGET_X + TARGET_WIDTH, TARGET_Y + TARGET_HEIGHT},
                       "[Zarvo5]\n", false);
    }
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

// A clip on a minimised target would pin the pointer at a screen edge: it is lifted while the
// target is minimised and set again once it is restored.
TEST_F(Companion, TheClipIsLiftedWhileTheTargetIsMinimisedAndComesBackWhenRestored) {
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_TRUE(clip_becomes(whole_screen())) << "while minimised";
    ShowWindow(window, SW_RESTORE);
    EXPECT_TRUE(clip_becomes(client_rectangle(window, TARGET_WIDTH, TARGET_HEIGHT)))
        << "after the restore";
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
        const char* output_starts;  // what standard output begins with
    } cases[] = {{"--help", 0, "Usage: zrv5-exit"},
                 {"-h", 0, "Usage: zrv5-exit"},
                 {"--version", 0, "zrv5-exit "},
                 {"--bogus", 2, ""},
                 {"EXIT=1", 2, ""},
                 {"--help --version", 2, ""}};
    for (const auto& c : cases) {
        WriteProfileStringA("Zarvo5", "EXIT", "0");
        std::string output;
        EXPECT_EQ(run_exit_program(c.arguments, nullptr, &output), c.code) << c.arguments;
        EXPECT_EQ(output.rfind(c.output_starts, 0), 0u) << c.arguments << " printed: " << output;
        char value[260] = {};
        GetProfileStringA("Zarvo5", "EXIT", "", value, sizeof value);
        EXPECT_STREQ(value, "0") << c.arguments << " wrote the request";
    }
}

// Every way the view ends lifts the clip. The quit message from elsewhere never reaches MyEndHook:
// the companion sees it taken from the GUI thread's queue and lifts the clip then.
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
        press_windows_escape_until(window, [&] { return !run->running(); });
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
