// The tick's timing points do nothing in zrv5. Weak, so that the benchmark's build, which links
// the same objects and bench/tick_timing.cpp, takes that file's timing instead.
#include "platform/x11/x11_tick_timing.h"

__attribute__((weak)) void tick_timing_mark(TickStage) {}
