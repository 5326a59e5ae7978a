// Reading the settings file. Portable core: no OS header.
#include "shell/settings_file.h"

#include <string>

#include "platform/platform.h"
#include "vocabulary/decimal.h"

namespace {

// A missing key reads as the decimal text of its default, so it converts like any other value.
std::int32_t read_setting(const std::string& path, const char* key, std::int32_t default_value) {
    const std::string default_text = std::to_string(default_value);
    const std::string text =
        platform_read_setting(path, SETTINGS_SECTION, key, default_text.c_str());
    return decimal_to_int(text.c_str());
}

}  // namespace

Settings read_settings(const std::string& path) {
    Settings settings;
    settings.time = read_setting(path, KEY_TIME, DEFAULT_TIME);
    settings.mouse_trs = read_setting(path, KEY_MOUSE_TRS, DEFAULT_MOUSE_TRS);
    settings.stretch = read_setting(path, KEY_STRETCH, DEFAULT_STRETCH);
    settings.smoothness = read_setting(path, KEY_SMOOTHNESS, DEFAULT_SMOOTHNESS);
    return settings;
}
