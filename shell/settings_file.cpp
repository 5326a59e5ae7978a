// Reading the settings file. Portable core: no OS header.
#include "shell/settings_file.h"

#include "platform/platform.h"
#include "shell/settings_text.h"

namespace {

std::int32_t read_setting(const std::string& path, const char* key, const char* default_text) {
    const std::string text = platform_read_setting(path, SETTINGS_SECTION, key, default_text);
    return decimal_to_int(text.c_str());
}

}  // namespace

Settings read_settings(const std::string& path) {
    Settings settings;
    settings.time = read_setting(path, "time", "100");
    settings.mouse_trs = read_setting(path, "mouse_trs", "3");
    settings.stretch = read_setting(path, "stretch", "0");
    settings.smoothness = read_setting(path, "smoothness", "0");
    return settings;
}
