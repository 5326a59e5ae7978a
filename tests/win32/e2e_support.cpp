// Helpers of the end-to-end tests (see e2e_support.h).
#include "e2e_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

namespace {

constexpr DWORD POLL_MS = 20;
constexpr const char* SECTION = "Zarvo5";
constexpr const char* TARGET_CLASS = "Zrv5E2ETarget";

std::string environment(const char* name) {
    char value[MAX_PATH * 4] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value) : std::string();
}

void pump_messages() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

std::map<HWND, ButtonMessages> button_messages;

// Counts the left button's messages each target receives.
LRESULT CALLBACK target_procedure(HWND window, UINT message, WPARAM first, LPARAM second) {
    if (message == WM_LBUTTONDOWN) {
        ++button_messages[window].down;
    } else if (message == WM_LBUTTONUP) {
        ++button_messages[window].up;
    }
    return DefWindowProcA(window, message, first, second);
}

// Has the test driver make input through the X server (see run_e2e.sh) and waits until it has,
// dispatching this thread's messages meanwhile so that the X events it causes reach this
// process's windows.
bool make_x_input(const std::string& xdotool_arguments) {
    const std::string work = e2e_paths().work;
    const std::string request = work + "\\xtest.request";
    const std::string written = request + ".new";
    const std::string done = work + "\\xtest.done";
    DeleteFileA(done.c_str());
    {
        std::ofstream file(written.c_str(), std::ios::binary);
        file << xdotool_arguments << "\n";
    }
    if (!MoveFileExA(written.c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return false;
    }
    return eventually([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; });
}

}  // namespace

bool eventually(const std::function<bool()>& condition, DWORD bound_ms) {
    const ULONGLONG give_up = GetTickCount64() + bound_ms;
    for (;;) {
        pump_messages();
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= give_up) {
            return false;
        }
        Sleep(POLL_MS);
    }
}

E2EPaths e2e_paths() {
    return E2EPaths{environment("ZRV5_E2E_PROGRAM"), environment("ZRV5_E2E_HOOK"),
                    environment("ZRV5_E2E_WORK")};
}

ProgramRun::ProgramRun(const std::string& name, const std::string& settings, bool with_hook) {
    const E2EPaths paths = e2e_paths();
    folder_ = paths.work + "\\" + name;
    CreateDirectoryA(paths.work.c_str(), nullptr);
    CreateDirectoryA(folder_.c_str(), nullptr);
    for (const char* file : {"zrv5.exe", "MouseHook.dll", "zrv5.ini", "hook.log", "tick.hold",
                             "tick.held", "end.hold", "end.held"}) {
        DeleteFileA((folder_ + "\\" + file).c_str());
    }
    CopyFileA(paths.program.c_str(), (folder_ + "\\zrv5.exe").c_str(), FALSE);
    if (with_hook) {
        CopyFileA(paths.hook_library.c_str(), (folder_ + "\\MouseHook.dll").c_str(), FALSE);
    }
    if (!settings.empty()) {
        std::ofstream((folder_ + "\\zrv5.ini").c_str(), std::ios::binary) << settings;
    }
    log_path_ = folder_ + "\\hook.log";
}

ProgramRun::~ProgramRun() {
    if (process_.hProcess != nullptr) {
        if (running()) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, HANG_GUARD_MS);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
}

void ProgramRun::use_working_hook() {
    std::string hook = e2e_paths().program;
    hook = hook.substr(0, hook.find_last_of('\\') + 1) + "MouseHook.dll";
    CopyFileA(hook.c_str(), (folder_ + "\\MouseHook.dll").c_str(), FALSE);
}

void ProgramRun::use_held_build() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string held = self;
    held = held.substr(0, held.find_last_of('\\') + 1) + "zrv5-held.exe";
    CopyFileA(held.c_str(), (folder_ + "\\zrv5.exe").c_str(), FALSE);
}

void ProgramRun::post_quit() { PostThreadMessageA(process_.dwThreadId, WM_QUIT, 0, 0); }

bool ProgramRun::start(int show_state) {
    SetEnvironmentVariableA("ZRV5_HOOK_LOG", log_path_.c_str());
    const std::string program = folder_ + "\\zrv5.exe";
    std::string command = "\"" + program + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (show_state >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(show_state);
    }
    return CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder_.c_str(), &startup, &process_) != 0;
}

std::int64_t ProgramRun::wait_for_exit() {
    const bool ended = eventually([this] { return !running(); });
    DWORD code = 0;
    if (!ended || !GetExitCodeProcess(process_.hProcess, &code)) {
        return -1;
    }
    return code;
}

bool ProgramRun::running() const {
    return process_.hProcess != nullptr &&
           WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

HWND ProgramRun::find_overlay() {
    HWND overlay = nullptr;
    eventually([&] {
        overlay = FindWindowA("ZRV5", "ZRV5");
        DWORD owner = 0;
        GetWindowThreadProcessId(overlay, &owner);
        return overlay != nullptr && owner == process_.dwProcessId;
    });
    DWORD owner = 0;
    GetWindowThreadProcessId(overlay, &owner);
    return owner == process_.dwProcessId ? overlay : nullptr;
}

std::vector<std::string> ProgramRun::hook_log() const {
    std::vector<std::string> lines;
    std::ifstream file(log_path_.c_str());
    std::string line;
    while (std::getline(file, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string ProgramRun::log_line(const char* function) const {
    return std::string(function) + " " + std::to_string(process_.dwProcessId);
}

namespace {

void register_target_class() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = target_procedure;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        window_class.lpszClassName = TARGET_CLASS;
        registered = RegisterClassA(&window_class) != 0;
    }
}

}  // namespace

HWND create_target(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    register_target_class();
    HWND window =
        CreateWindowExA(0, TARGET_CLASS, "zrv5 test target", WS_POPUP | WS_VISIBLE, x, y, width,
                        height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    UpdateWindow(window);
    pump_messages();
    return window;
}

HWND create_child(HWND parent, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height) {
    register_target_class();
    // Not a STATIC control: those answer hit tests as transparent and are not found at a point.
    HWND child = CreateWindowExA(0, TARGET_CLASS, "", WS_CHILD | WS_VISIBLE, x, y, width, height,
                                 parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    UpdateWindow(parent);
    pump_messages();
    return child;
}

ButtonMessages left_button_messages(HWND window) { return button_messages[window]; }

bool real_click(POINT screen_point) {
    // Wine's screen coordinates are the X screen's. xdotool moves and clicks through XTest, so the
    // X server delivers the click to the window under the pointer, as a user's mouse would.
    if (!make_x_input("mousemove " + std::to_string(screen_point.x) + " " +
                      std::to_string(screen_point.y) + " click 1")) {
        return false;
    }
    // The click's events come to this process's windows through the X server: let them arrive.
    eventually([] { return false; }, CLICK_SETTLE_MS);
    return true;
}

bool real_button(POINT screen_point, const char* action) {
    if (!make_x_input("mousemove " + std::to_string(screen_point.x) + " " +
                      std::to_string(screen_point.y) + " " + action + " 1")) {
        return false;
    }
    eventually([] { return false; }, CLICK_SETTLE_MS);
    return true;
}

bool real_key(const char* action, const char* key) {
    return make_x_input(std::string(action) + " " + key);
}

void post_pick(HWND overlay, POINT screen_point) {
    PostMessageA(overlay, WM_LBUTTONUP, 0, MAKELPARAM(screen_point.x, screen_point.y));
}

std::string profile_value(const char* key) {
    char buffer[260] = {};
    GetProfileStringA(SECTION, key, "(missing)", buffer, sizeof buffer);
    return buffer;
}

void set_profile_value(const char* key, const char* value) {
    WriteProfileStringA(SECTION, key, value);
}

std::string handle_text_of(HWND window) {
    const auto bits = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
    return std::to_string(static_cast<std::int32_t>(bits));
}

namespace {

struct WindowSearch {
    DWORD pid;
    const char* caption;
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM parameter) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    if (owner == search->pid && std::string(text) == search->caption && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK collect_text(HWND child, LPARAM parameter) {
    char text[256] = {};
    GetWindowTextA(child, text, sizeof text);
    reinterpret_cast<std::vector<std::string>*>(parameter)->push_back(text);
    return TRUE;
}

}  // namespace

HWND find_window_of_process(DWORD pid, const char* caption) {
    WindowSearch search{pid, caption, nullptr};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<std::string> child_texts(HWND window) {
    std::vector<std::string> texts;
    EnumChildWindows(window, collect_text, reinterpret_cast<LPARAM>(&texts));
    return texts;
}
