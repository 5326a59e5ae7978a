// The per-user shared profile on POSIX systems: where it lives and the locked update of one key.
#include "platform/ini/user_profile.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ini/ini_file.h"

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

std::string user_profile_path() { return profile_folder() + "/profile.ini"; }

std::string user_config_folder() { return profile_folder(); }

bool user_profile_write(const char* section, const char* key, const char* value) {
    make_folders(profile_folder());
    errno = 0;
    return ini_write_file(user_profile_path(), section, key, value, PROFILE_FILE_MODE);
}

std::string user_profile_read(const char* section, const char* key, const char* default_text) {
    return ini_read_file(user_profile_path(), section, key, default_text);
}
