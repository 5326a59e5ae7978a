// The path of the settings file beside the executable. Portable core: no OS header.
#include "shell/settings_text.h"

#include <string>

namespace {

const char* const SETTINGS_EXTENSION = ".ini";

}  // namespace

std::string settings_path(const std::string& executable_path) {
    const std::size_t last_separator = executable_path.find_last_of("/\\");
    const std::size_t name_start = last_separator == std::string::npos ? 0 : last_separator + 1;
    // Leading dots mark a hidden file, not an extension, so the search starts after them.
    const std::size_t stem_start = executable_path.find_first_not_of('.', name_start);
    std::size_t dot = std::string::npos;
    if (stem_start != std::string::npos) {
        dot = executable_path.find_last_of('.');
        if (dot != std::string::npos && dot < stem_start) {
            dot = std::string::npos;
        }
    }
    if (dot == std::string::npos) {
        return executable_path + SETTINGS_EXTENSION;
    }
    return executable_path.substr(0, dot) + SETTINGS_EXTENSION;
}
