// The companion library MouseHook for Linux: MySetHook and MyEndHook with C linkage, found by the
// program at load time. MySetHook starts keeping the pointer on the shown window and the exit
// hotkey; MyEndHook takes both down (view_keeper.h). The end-to-end tests load a logging stand-in
// instead (tests/support/companion_call_log_x11.cpp).
#include "companion/x11/view_keeper.h"
#include "vocabulary/companion_contract.h"

extern "C" __attribute__((visibility("default"))) void MySetHook(void) { view_keeper_start(); }

extern "C" __attribute__((visibility("default"))) void MyEndHook(void) { view_keeper_stop(); }
