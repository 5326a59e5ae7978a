// Reading the four settings from the settings file beside the executable.
// Portable core: no OS header.
#pragma once

#include <string>

#include "vocabulary/settings.h"

// Reads `time`, `mouse_trs`, `stretch` and `smoothness`, in that order, from the settings file at
// `path`, each converted from decimal text; a missing file or key gives the key's default.
Settings read_settings(const std::string& path);
