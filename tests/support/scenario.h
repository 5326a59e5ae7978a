// Building blocks of whole-system tests: settings, a patterned target window, and the frame a
// whole-factor view must show.
#pragma once

#include <cstdint>
#include <string>

#include "support/frame_model.h"
#include "support/test_platform.h"

// The settings file the test platform's default executable path leads to.
inline const char* const TEST_SETTINGS_PATH = "C:\\games\\zrv5.ini";

// Sets one key of the settings file.
inline void set_setting(TestPlatform& tp, const char* key, const std::string& value) {
    tp.set_setting(TEST_SETTINGS_PATH, "Zarvo5", key, value);
}

// Adds a target window with the given client area and paints the screen there with a pattern
// whose pixel (x, y) is pattern_pixel(x, y, salt), x and y relative to the client origin.
inline WindowHandle add_patterned_target(TestPlatform& tp, Rect client, std::uint32_t salt = 0,
                                         std::uintptr_t handle_value = 0) {
    const WindowHandle target = tp.add_window("target", client, handle_value);
    tp.paint_screen(client,
                    [salt](std::int32_t x, std::int32_t y) { return pattern_pixel(x, y, salt); });
    return target;
}

// The centre of a client rectangle, in screen coordinates.
inline Point centre_of(Rect client) {
    return Point{client.x + client.width / 2, client.y + client.height / 2};
}

// Returns the pixel a whole-factor frame shows at overlay (x, y): the pattern enlarged by `scale`
// at the offsets, black elsewhere (the bands and the window background).
inline Pixel whole_factor_frame(std::int32_t x, std::int32_t y, std::int32_t scale, Point offset,
                                std::int32_t W, std::int32_t H, std::uint32_t salt = 0) {
    const std::int32_t ix = x - offset.x;
    const std::int32_t iy = y - offset.y;
    if (ix < 0 || iy < 0 || ix >= scale * W || iy >= scale * H) {
        return 0;
    }
    return pattern_pixel(stretch_index(ix, scale * W, W), stretch_index(iy, scale * H, H), salt);
}
