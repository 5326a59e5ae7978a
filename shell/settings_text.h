// Settings text: the standard decimal conversion and the settings file's path.
// Portable core: no OS header.
#pragma once

#include <cstdint>
#include <string>

// Returns the value of decimal text: leading white space skipped, an optional sign, then digits up
// to the first non-digit; 0 when there are none; digits beyond 32 bits wrap modulo 2^32.
std::int32_t decimal_to_int(const char* text);

// Returns the settings file's path for the executable's path: the extension of the file name
// replaced by ".ini", or ".ini" appended when the file name has none. Only the file name is
// searched for a dot; both '/' and '\\' end a folder name.
std::string settings_path(const std::string& executable_path);
