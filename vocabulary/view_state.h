// ViewState: the one process-wide state record, owned by the GUI thread.
// Bottom layer: includes nothing else of ours and no OS header.
#pragma once

#include <cstdint>
#include <vector>

#include "vocabulary/handles.h"
#include "vocabulary/pixel.h"
#include "vocabulary/settings.h"
#include "vocabulary/surface.h"

// The cursor image the tick draws and its hot spot, always from the same grab (or the arrow).
struct CursorRecord {
    CursorImage image = nullptr;
    std::int32_t hot_x = 0;
    std::int32_t hot_y = 0;
};

// Each field is written by one part of the system (start-up, the pick, the layout, the cursor
// grab) and read by the frame tick; the start values are those the process begins with.
struct ViewState {
    // Start-up.
    LayeredAttributesOp layered_attributes = nullptr;
    std::int32_t SW = 0;  // screen width, measured once at start-up
    std::int32_t SH = 0;  // screen height
    BlendPairFn blend_pair = nullptr;
    BlendQuadFn blend_quad = nullptr;
    Upscaler upscaler = nullptr;                 // chosen with the slots
    std::int32_t timer_period = DEFAULT_TIME;    // the `time` setting; doubled in the blended mode
    std::int32_t mouse_trs = DEFAULT_MOUSE_TRS;  // cursor mode
    std::int32_t stretch = DEFAULT_STRETCH;  // the setting, then the effective mode of the layout
    std::int32_t stretch_setting = DEFAULT_STRETCH;  // the setting, kept to lay a view out again

    // The pick.
    bool pick_armed = true;
    WindowHandle target;
    std::int32_t W = 640;  // capture width, always even after the pick
    std::int32_t H = 480;  // capture height

    // The layout.
    bool laid_out = false;  // a view runs: the pick has chosen its layout
    std::int32_t scale = 0;
    std::int32_t offset_x = 0;
    std::int32_t offset_y = 0;
    std::int32_t fit_w = 0;
    std::int32_t fit_h = 0;
    // The blended mode's enlargement, made by the platform, where the frames are shown from; and
    // the capture it holds the enlargement of (W x H, bottom-up), once it holds one.
    Surface upscale;
    std::vector<Pixel> capture_enlarged;
    bool upscale_made = false;
    std::int32_t band_workers = 1;  // how many bands an enlargement may run at once (the pick's)

    // The cursor image and its hot spot, read and written only through cursor/handover.h, which
    // guards them against a grab thread that finishes late.
    CursorRecord cursor;

    // The code the destruction handling posts with the quit message: 1 after a refused pick.
    std::int32_t exit_code = 0;
};

// The one process-wide instance, defined by the shell and reset at every start.
extern ViewState view_state;
