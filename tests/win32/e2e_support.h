// Helpers of the end-to-end tests: the real zrv5.exe started in a folder of its own with the
// logging MouseHook.dll, target windows of this process, bounded waits that keep this thread's
// messages flowing, and the shared profile and companion log as the program leaves them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Every wait for the program is bounded so that a fault fails the test instead of hanging it. The
// bound is generous: it only stops a hang, it asserts nothing about speed.
constexpr DWORD HANG_GUARD_MS = 30000;

// Waits until `condition` holds or the hang guard runs out, dispatching this thread's messages
// meanwhile; returns whether the condition held.
bool eventually(const std::function<bool()>& condition, DWORD bound_ms = HANG_GUARD_MS);

// The paths that the driver script hands over in the environment.
struct E2EPaths {
    std::string program;       // zrv5.exe
    std::string hook_library;  // the logging MouseHook.dll
    std::string work;          // a folder for the tests' files
};
E2EPaths e2e_paths();

// One run of the real program: its folder, settings file and companion log.
class ProgramRun {
public:
    // Prepares a fresh folder named after the test with zrv5.exe and, unless `with_hook` is false,
    // the logging MouseHook.dll; writes `settings` as zrv5.ini when it is not empty.
    ProgramRun(const std::string& name, const std::string& settings, bool with_hook = true);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Puts the MouseHook.dll that users get (beside zrv5.exe) in place of the logging one.
    void use_working_hook();
    // Puts the test build of the program that can hold its GUI thread (zrv5-held.exe, beside this
    // test program) in place of zrv5.exe.
    void use_held_build();
    // The run's folder, also the program's working folder.
    const std::string& folder() const { return folder_; }
    // Starts the program; a show state of 0 or more is handed over as a launcher's (the startup
    // information's wShowWindow, as `start /min` gives SW_SHOWMINNOACTIVE).
    bool start(int show_state = -1);
    // Posts the quit message to the program's thread, as any other program could.
    void post_quit();
    // Waits for the end of the program; returns its exit code, or -1 when it did not end.
    std::int64_t wait_for_exit();
    bool running() const;
    DWORD process_id() const { return process_.dwProcessId; }

    // The overlay of this run (class and title "ZRV5", owned by the program), once it exists.
    HWND find_overlay();
    // The companion log's lines, "<function> <process id>" each.
    std::vector<std::string> hook_log() const;
    // A log line as the logging companion writes it for this run.
    std::string log_line(const char* function) const;

private:
    std::string folder_;
    std::string log_path_;
    PROCESS_INFORMATION process_{};
};

// A window of this process for the program to pick: a white popup whose client area is exactly
// width x height at (x, y) on the screen.
HWND create_target(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);

// A child window of the same kind at (x, y) of the parent's client area.
HWND create_child(HWND parent, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height);

// How long the events of a real click are given to arrive; it only waits, it asserts nothing.
constexpr DWORD CLICK_SETTLE_MS = 300;

// The left button's messages a window of create_target or create_child has received.
struct ButtonMessages {
    int down = 0;
    int up = 0;
};
ButtonMessages left_button_messages(HWND window);

// Moves the pointer to the screen point and clicks the left button there through the X server
// (XTest), as a user would: the click goes wherever Windows sends a real click. Returns once its
// events have had time to arrive; false when the click could not be made.
bool real_click(POINT screen_point);

// Moves the pointer to the screen point and presses ("mousedown") or releases ("mouseup") the left
// button there through the X server; returns once its events have had time to arrive.
bool real_button(POINT screen_point, const char* action);

// Presses ("keydown") or releases ("keyup") a key through the X server; it goes to the window that
// has the keyboard focus.
bool real_key(const char* action, const char* key);

// Delivers a release to the overlay by posting it (the overlay covers the screen from (0, 0), so
// its client coordinates are screen coordinates): the second way a pick can arrive.
void post_pick(HWND overlay, POINT screen_point);

// The shared profile's text of `key` in the program's section, or "(missing)".
std::string profile_value(const char* key);
void set_profile_value(const char* key, const char* value);

// A window handle as the program publishes it: its 32 bits as signed decimal.
std::string handle_text_of(HWND window);

// The top-level window with `caption` owned by process `pid`, or null.
HWND find_window_of_process(DWORD pid, const char* caption);

// The texts of the window's child windows.
std::vector<std::string> child_texts(HWND window);
