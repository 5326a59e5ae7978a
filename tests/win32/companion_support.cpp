// Helpers of the companion's end-to-end tests (see companion_support.h).
#include "companion_support.h"

#include <tlhelp32.h>

#include <sstream>

#include "e2e_support.h"

namespace {

constexpr int PRESS_ATTEMPTS = 20;
constexpr int POLLS_PER_PRESS = 25;
constexpr DWORD POLL_MS = 20;

std::string text_of(const RECT& r) {
    std::ostringstream out;
    out << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
    return out.str();
}

}  // namespace

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

void press_windows_escape() {
    INPUT keys[4] = {};
    const WORD codes[4] = {VK_LWIN, VK_ESCAPE, VK_ESCAPE, VK_LWIN};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = codes[i];
        keys[i].ki.dwFlags =
            (i < 2 ? 0 : KEYEVENTF_KEYUP) | (codes[i] == VK_LWIN ? KEYEVENTF_EXTENDEDKEY : 0);
    }
    SendInput(4, keys, sizeof(INPUT));
}

bool press_windows_escape_until(HWND window, const std::function<bool()>& done) {
    for (int attempt = 0; attempt < PRESS_ATTEMPTS && !done(); ++attempt) {
        SetForegroundWindow(window);
        press_windows_escape();
        for (int waited = 0; waited < POLLS_PER_PRESS && !done(); ++waited) {
            Sleep(POLL_MS);
        }
    }
    return done();
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

std::set<DWORD> threads_of(DWORD pid) {
    std::set<DWORD> threads;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return threads;
    }
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == pid) {
            threads.insert(entry.th32ThreadID);
        }
    }
    CloseHandle(snapshot);
    return threads;
}

void PickedTarget::start_and_pick(const RECT& target, const std::string& settings, bool held_build,
                                  std::set<DWORD>* threads_before_pick) {
    ASSERT_FALSE(e2e_paths().program.empty()) << "run through run_e2e.sh";
    ClipCursor(nullptr);
    WriteProfileStringA("Zarvo5", "EXIT", "0");
    const std::int32_t width = target.right - target.left;
    const std::int32_t height = target.bottom - target.top;
    window = create_target(target.left, target.top, width, height);
    run = std::make_unique<ProgramRun>(name_of_test(), settings);
    run->use_working_hook();
    if (held_build) {
        run->use_held_build();
    }
    ASSERT_TRUE(run->start());
    HWND overlay = run->find_overlay();
    ASSERT_NE(overlay, nullptr);
    if (threads_before_pick != nullptr) {
        *threads_before_pick = threads_of(run->process_id());
    }
    POINT point{10, 10};
    ClientToScreen(window, &point);
    ASSERT_TRUE(real_click(point)) << "the test driver made no click";
    ASSERT_TRUE(clip_becomes(client_rectangle(window, width, height))) << "after the pick";
}

void PickedTarget::TearDown() {
    run.reset();
    if (IsWindow(window)) {
        DestroyWindow(window);
    }
    ClipCursor(nullptr);
}
