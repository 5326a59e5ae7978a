// The settings file named on the command line (--settings), read instead of the usual places.
#pragma once

#include <string>

// Makes the settings be read from `path`; an empty path restores the usual places.
void posix_use_settings_file(const std::string& path);
