// The per-user shared profile on POSIX systems: ${XDG_CONFIG_HOME:-$HOME/.config}/zrv5/profile.ini,
// in its own folder, readable by its owner only. The program, its companion and zrv5-exit all reach
// it through these functions, so they always meet in the same file.
#pragma once

#include <string>

// Returns the folder of the per-user configuration: $XDG_CONFIG_HOME, else $HOME/.config, else the
// home folder of the password database plus "/.config". A variable that is not an absolute path is
// ignored, as the base-directory rules say.
std::string config_home();

// Returns the path of the shared profile.
std::string user_profile_path();

// Returns the folder of zrv5's per-user files, the shared profile's folder: the settings file of a
// program with none beside it is read from there too.
std::string user_config_folder();

// Sets `key` in `section` of the shared profile, creating the folder (mode 0700) and the file (mode
// 0600) when missing, under the file's lock and without touching any other line. Refuses, as ssh
// does for its folder, a profile folder that is not the user's own or that group or others may
// write. Returns false when it cannot be written; errno then says why, and
// user_profile_write_failure() says it in words.
bool user_profile_write(const char* section, const char* key, const char* value);

// Returns "cannot write <path>: <reason>" for the calling thread's last failed user_profile_write.
std::string user_profile_write_failure();

// Returns the value of `key` in `section` of the shared profile, or `default_text` when missing or
// unreadable; with `error`, as ini_read_file.
std::string user_profile_read(const char* section, const char* key, const char* default_text,
                              int* error = nullptr);
