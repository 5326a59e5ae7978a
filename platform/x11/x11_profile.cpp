// The settings file and the shared profile on Linux. Both use the initialisation-file format; the
// shared profile is ${XDG_CONFIG_HOME:-$HOME/.config}/zrv5/profile.ini, readable by its owner only.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ini/ini_file.h"
#include "platform/platform.h"

namespace {

constexpr mode_t PROFILE_FOLDER_MODE = 0700;
constexpr unsigned PROFILE_FILE_MODE = 0600;

// Returns the folder of the per-user configuration: $XDG_CONFIG_HOME when it is an absolute path,
// else ~/.config.
std::string config_home() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : "/";
    }
    return std::string(home) + "/.config";
}

std::string profile_folder() { return config_home() + "/zrv5"; }

std::string profile_path() { return profile_folder() + "/profile.ini"; }

// Creates the folder and any missing parent, each readable by its owner only.
void make_folders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), PROFILE_FOLDER_MODE) != 0 && errno != EEXIST) {
            return;
        }
        if (slash == std::string::npos) {
            return;
        }
    }
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
    return ini_read_file(path, section, key, default_text);
}

void platform_write_profile(const char* section, const char* key, const char* value) {
    make_folders(profile_folder());
    ini_write_file(profile_path(), section, key, value, PROFILE_FILE_MODE);
}

std::string platform_read_profile(const char* section, const char* key, const char* default_text) {
    return ini_read_file(profile_path(), section, key, default_text);
}
