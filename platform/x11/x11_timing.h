// Timing points of the frame tick, compiled in only for the zrv5_tick_timing build that the X11
// benchmark runs (tools/bench-x11.sh); in zrv5 itself they are empty.
#pragma once

enum class TickStage {
    tick_start,
    capture_start,
    capture_end,
    image_end,      // the enlarged image is in the overlay's image
    present_start,  // the overlay's context is given back: bands and cursor are drawn
    present_end,
    tick_end,
};

#ifdef ZRV5_TICK_TIMING
void tick_timing_mark(TickStage stage);
#else
inline void tick_timing_mark(TickStage) {}
#endif
