// A test build of zrv5.exe: the real program, whose GUI thread a test can hold in two places. At a
// timer message, as a slow tick holds it (cursor mode 1 waits up to 10 s for a cursor grab), and
// after the message loop has ended, when the companion must already have ended its work though
// the process is still there.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

namespace {

// A hold is asked for by the file "<place>.hold" in the working folder. The program answers with
// the file "<place>.held" and holds until the test deletes the ".hold" file again.
constexpr const char* TICK_HOLD = "tick.hold";
constexpr const char* TICK_HELD = "tick.held";
constexpr const char* END_HOLD = "end.hold";
constexpr const char* END_HELD = "end.held";
// A held tick lasts at least this long: longer than any time-out of a low-level hook (at most 1 s
// on Windows 10 and later, 2 s in Wine), so a hook on this thread would have been passed over.
constexpr DWORD TICK_HOLD_MINIMUM_MS = 3000;
// A test that never lets go must not leave the program hanging.
constexpr DWORD HOLD_GUARD_MS = 60000;
constexpr DWORD POLL_MS = 10;

bool file_exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

void hold_if_asked(const char* hold, const char* held, DWORD minimum_ms) {
    if (!file_exists(hold)) {
        return;
    }
    CloseHandle(CreateFileA(held, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        const ULONGLONG held_ms = GetTickCount64() - start;
        if (held_ms >= HOLD_GUARD_MS || (held_ms >= minimum_ms && !file_exists(hold))) {
            return;
        }
        Sleep(POLL_MS);
    }
}

// Holds the GUI thread as it takes a timer message from its queue, before the tick runs.
LRESULT CALLBACK at_message(int code, WPARAM removal, LPARAM data) {
    if (code == HC_ACTION && removal == PM_REMOVE &&
        reinterpret_cast<const MSG*>(data)->message == WM_TIMER) {
        hold_if_asked(TICK_HOLD, TICK_HELD, TICK_HOLD_MINIMUM_MS);
    }
    return CallNextHookEx(nullptr, code, removal, data);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR /*command_line*/, int show_state) {
    SetWindowsHookExA(WH_GETMESSAGE, at_message, nullptr, GetCurrentThreadId());
    const std::int32_t code =
        zrv5_main(from_hinstance(instance), from_hinstance(previous), show_state);
    hold_if_asked(END_HOLD, END_HELD, 0);
    return code;
}
