// Timing points of the frame tick. In zrv5 they do nothing (x11_tick_timing.cpp); the X11
// benchmark's build of the same objects, zrv5_tick_timing (tools/bench-x11.sh), links the timing
// itself (bench/tick_timing.cpp) in their place.
#pragma once

enum class TickStage {
    tick_start,
    capture_start,
    capture_end,
    image_end,    // the image is made and its new rows are sent (the server copies them later)
    present_end,  // the bands and the cursor are sent too, and the requests flushed
    tick_end,
};

// Notes that the tick reached `stage`.
void tick_timing_mark(TickStage stage);
