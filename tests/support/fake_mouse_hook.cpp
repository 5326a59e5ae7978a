// The companion library's two operations as the whole-system tests see them: each call is an
// entry in the test platform's log, in order with the seam calls around it.
#include "vocabulary/companion_contract.h"

#include "support/test_platform.h"

extern "C" void MySetHook(void) { test_platform.record("MySetHook"); }

extern "C" void MyEndHook(void) { test_platform.record("MyEndHook"); }
