// How zrv5 runs. The entry reads the settings, chooses the blend kernels, measures the screen and
// creates the overlay: a full-screen, always-on-top, input-transparent window that stays invisible
// and holds the mouse capture. The release of the first whole click then picks the window under
// the pointer (shell/pick.cpp), which publishes the view to the companion library, chooses the
// scale mode and placement (view/layout.cpp), makes the overlay opaque and starts timer 1. Each
// period of the timer makes one frame (shell/tick.cpp): one question to the platform (is the
// target there, where is it, where is the pointer), the frame computed (render/frame_geometry.cpp:
// the image's place, black borders, the cursor image of cursor/) and presented, and a poll of the
// shared profile's exit request. The view ends when the target is gone or the exit request reads
// 1: the overlay is destroyed (shell/dispatch.cpp), the companion is told, and the loop ends.
// Start reading at zrv5_main below, then shell/dispatch.cpp. Portable core: no OS header.
#include "platform/platform.h"

#include "cursor/handover.h"
#include "render/kernels.h"
#include "render/upscaler_choice.h"
#include "shell/settings_file.h"
#include "shell/settings_text.h"
#include "vocabulary/view_state.h"

ViewState view_state;

std::int32_t zrv5_main(InstanceHandle instance, InstanceHandle previous, std::int32_t show_state) {
    view_state = ViewState{};
    reset_cursor_handover();
    ViewState& v = view_state;

    v.layered_attributes = platform_resolve_layered_attributes();

    const Settings settings = read_settings(settings_path(platform_executable_path()));
    v.timer_period = settings.time;
    v.mouse_trs = settings.mouse_trs;
    v.stretch = settings.stretch;
    v.stretch_setting = settings.stretch;

    const KernelSlots kernels = choose_kernels(settings.smoothness);
    v.blend_pair = kernels.blend_pair;
    v.blend_quad = kernels.blend_quad;
    v.upscaler = choose_upscaler(settings.smoothness);

    const Box screen = platform_screen_box();
    v.SW = static_cast<std::int32_t>(std::int64_t{screen.right} - screen.left);
    v.SH = static_cast<std::int32_t>(std::int64_t{screen.bottom} - screen.top);

    if (previous == nullptr && !platform_register_class(instance)) {
        return 0;
    }
    const WindowHandle overlay = platform_create_overlay(instance, v.SW, v.SH);
    platform_show_window(overlay, show_state);

    const std::int32_t exit_code = platform_run_message_loop();
    close_cursor_handover();
    return exit_code;
}
