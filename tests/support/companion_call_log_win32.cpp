// The end-to-end tests' stand-in for the companion library MouseHook.dll on Windows: MySetHook and
// MyEndHook, exported undecorated through mouse_hook.def, each only append "<function> <process
// id>" to the file that %ZRV5_HOOK_LOG% names, and the pointer stays free, so that those tests can
// move it anywhere.
#include <windows.h>

#include <cstdio>

#include "vocabulary/companion_contract.h"

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

}  // namespace

extern "C" void MySetHook(void) { log_call("MySetHook"); }

extern "C" void MyEndHook(void) { log_call("MyEndHook"); }
