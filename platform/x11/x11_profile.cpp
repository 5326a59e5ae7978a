// The settings file and the shared profile on Linux. Both use the initialisation-file format; the
// shared profile is ${XDG_CONFIG_HOME:-$HOME/.config}/zrv5/profile.ini (platform/ini/user_profile.h).
// The settings file is the one beside the program, else zrv5.ini in that same folder.
#include <cerrno>
#include <climits>
#include <string>

#include <unistd.h>

#include "platform/ini/ini_file.h"
#include "platform/ini/user_profile.h"
#include "platform/platform.h"

namespace {

// Returns the settings file to read for the one beside the program, `beside`: that one while it
// exists (or cannot be looked at), else the per-user one, since an installed program's folder
// (/usr/bin) is not the user's to write.
std::string settings_file_to_read(const std::string& beside) {
    if (access(beside.c_str(), F_OK) == 0 || errno != ENOENT) {
        return beside;
    }
    return user_config_folder() + "/zrv5.ini";
}

}  // namespace

std::string platform_executable_path() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return "zrv5";
    }
    return std::string(path, static_cast<std::size_t>(length));
}

std::string platform_read_setting(const std::string& path, const char* section, const char* key,
                                  const char* default_text) {
    return ini_read_file(settings_file_to_read(path), section, key, default_text);
}

void platform_write_profile(const char* section, const char* key, const char* value) {
    user_profile_write(section, key, value);
}

std::string platform_read_profile(const char* section, const char* key, const char* default_text) {
    return user_profile_read(section, key, default_text);
}
