// The companion's two operations for the in-process Windows tests (see companion_stub.h).
#include "companion_stub.h"

#include <windows.h>

#include "vocabulary/companion_contract.h"

CompanionCalls companion_calls;

namespace {

std::string profile_text(const char* key) {
    char buffer[260] = {};
    GetProfileStringA("Zarvo5", key, "(missing)", buffer, sizeof buffer);
    return buffer;
}

}  // namespace

extern "C" void MySetHook(void) {
    ++companion_calls.set_hook;
    companion_calls.window_at_set_hook = profile_text("HWND");
    companion_calls.exit_at_set_hook = profile_text("EXIT");
}

extern "C" void MyEndHook(void) { ++companion_calls.end_hook; }
