// The companion library MouseHook.dll for Windows: MySetHook and MyEndHook with C linkage, exported
// undecorated through mouse_hook.def. MySetHook starts keeping the pointer on the shown window and
// the exit hotkey on a thread of its own; MyEndHook, or the quit message that ends the GUI thread's
// loop, takes them down (view_keeper.h). The end-to-end tests load a logging stand-in instead
// (tests/support/companion_call_log_win32.cpp).
#include <windows.h>

#include "companion/win32/view_keeper.h"
#include "vocabulary/companion_contract.h"

extern "C" void MySetHook(void) { view_keeper_start(); }

extern "C" void MyEndHook(void) { view_keeper_stop(); }

// A process that ends without its loop taking a quit message (abort(), ExitProcess from anywhere)
// never calls MyEndHook; the clip would outlive it, so the library lifts it as it is unloaded. (A
// process that is killed outright unloads nothing: see the README.)
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) {
        view_keeper_unload();
    }
    return TRUE;
}
