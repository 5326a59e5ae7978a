// The companion library MouseHook.dll for Windows: MySetHook and MyEndHook with C linkage, exported
// undecorated through mouse_hook.def. MySetHook starts keeping the pointer on the shown window and
// the exit hotkey on a thread of its own; MyEndHook, or the quit message that ends the GUI thread's
// loop, takes them down (view_keeper.h). Built with MOUSE_HOOK_CALL_LOG, each call only appends
// "<function> <process id>" to the file that %ZRV5_HOOK_LOG% names: the end-to-end tests' build,
// which leaves the pointer free.
#include <windows.h>

#include "hook/mouse_hook.h"

#ifdef MOUSE_HOOK_CALL_LOG
#include <cstdio>

namespace {

constexpr DWORD LOG_PATH_SIZE = 32768;

// Appends one line with a single write on a file opened for appending only, so lines of several
// processes sharing one log never interleave.
void log_call(const char* function) {
    static char path[LOG_PATH_SIZE];
    const DWORD length = GetEnvironmentVariableA("ZRV5_HOOK_LOG", path, LOG_PATH_SIZE);
    if (length == 0 || length >= LOG_PATH_SIZE) {
        return;
    }
    char line[64];
    const int line_length = std::snprintf(line, sizeof line, "%s %lu\n", function,
                                          static_cast<unsigned long>(GetCurrentProcessId()));
    if (line_length <= 0) {
        return;
    }
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(log, line, static_cast<DWORD>(line_length), &written, nullptr);
    CloseHandle(log);
}

void view_keeper_start() {}
void view_keeper_stop() {}
void view_keeper_unload() {}

}  // namespace
#else
#include "companion/win32/view_keeper.h"

namespace {
void log_call(const char*) {}
}  // namespace
#endif

extern "C" void MySetHook(void) {
    log_call("MySetHook");
    view_keeper_start();
}

extern "C" void MyEndHook(void) {
    log_call("MyEndHook");
    view_keeper_stop();
}

// A process that ends without its loop taking a quit message (abort(), ExitProcess from anywhere)
// never calls MyEndHook; the clip would outlive it, so the library lifts it as it is unloaded. (A
// process that is killed outright unloads nothing: see the README.)
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) {
        view_keeper_unload();
    }
    return TRUE;
}
