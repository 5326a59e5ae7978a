// The per-user shared profile on POSIX systems: ${XDG_CONFIG_HOME:-$HOME/.config}/zrv5/profile.ini,
// in its own folder, readable by its owner only. The program, its companion and zrv5-exit all reach
// it through these functions, so they always meet in the same file.
#pragma once

#include <string>

// Returns the path of the shared profile.
std::string user_profile_path();

// Returns the folder of zrv5's per-user files, the shared profile's folder: the settings file of a
// program with none beside it is read from there too.
std::string user_config_folder();

// Sets `key` in `section` of the shared profile, creating the folder (mode 0700) and the file (mode
// 0600) when missing, under the file's lock and without touching any other line. Returns false when
// it cannot be written; errno then says why.
bool user_profile_write(const char* section, const char* key, const char* value);

// Returns the value of `key` in `section` of the shared profile, or `default_text` when missing.
std::string user_profile_read(const char* section, const char* key, const char* default_text);
