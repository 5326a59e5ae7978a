// The per-user shared profile on POSIX systems: where it lives and the locked update of one key.
#include "platform/posix/posix_user_profile.h"

#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/posix_ini_file.h"

namespace {

constexpr mode_t PROFILE_FOLDER_MODE = 0700;
constexpr unsigned PROFILE_FILE_MODE = 0600;
constexpr mode_t WRITABLE_BY_OTHERS = S_IWGRP | S_IWOTH;

// Why the calling thread's last write failed, in words.
thread_local std::string last_failure;

bool is_absolute(const char* path) { return path != nullptr && path[0] == '/'; }

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

// Returns why the folder may not hold the profile, or "" when it may: it must belong to the user
// writing and be writable by nobody else, so that no one else can put a file or a link in its
// place.
std::string folder_refusal(const std::string& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) {
        return "";  // the write itself says why
    }
    if (info.st_uid != geteuid()) {
        errno = EPERM;
        return "its folder " + folder + " does not belong to this user";
    }
    if ((info.st_mode & WRITABLE_BY_OTHERS) != 0) {
        errno = EPERM;
        return "its folder " + folder + " is writable by group or others";
    }
    return "";
}

bool write_profile(const char* section, const char* key, const char* value) {
    const std::string folder = user_config_folder();
    const std::string path = user_profile_path();
    make_folders(folder);
    const std::string refusal = folder_refusal(folder);
    if (!refusal.empty()) {
        last_failure = "cannot write " + path + ": " + refusal;
        errno = EPERM;
        return false;
    }
    errno = 0;
    if (ini_write_file(path, section, key, value, PROFILE_FILE_MODE)) {
        return true;
    }
    const int reason = errno;
    last_failure = "cannot write " + path + ": " + ini_failure_reason(reason);
    errno = reason;
    return false;
}

}  // namespace

std::string config_home() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (is_absolute(xdg)) {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (!is_absolute(home)) {
        const passwd* entry = getpwuid(getuid());
        home = entry != nullptr && is_absolute(entry->pw_dir) ? entry->pw_dir : "/";
    }
    return std::string(home) + "/.config";
}

std::string user_profile_path() { return user_config_folder() + "/profile.ini"; }

std::string user_config_folder() { return config_home() + "/zrv5"; }

bool user_profile_write(const char* section, const char* key, const char* value) {
    try {
        return write_profile(section, key, value);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        return false;
    }
}

std::string user_profile_write_failure() { return last_failure; }

std::string user_profile_read(const char* section, const char* key, const char* default_text,
                              int* error) {
    return ini_read_file(user_profile_path(), section, key, default_text, error);
}
