// The settings file's path.
// Portable core: no OS header.
#pragma once

#include <string>

// Returns the settings file's path for the executable's path: the extension of the file name
// replaced by ".ini", or ".ini" appended when the file name has none. Only the file name is
// searched for a dot; both '/' and '\\' end a folder name.
std::string settings_path(const std::string& executable_path);
