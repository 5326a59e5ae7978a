// The OS side of settings and the shared profile for the Windows backend: the executable's path,
// the settings file through the private-profile read, and the per-user profile (win.ini).
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

// The text buffers of the settings and profile reads hold 260 characters, as the program always
// has: a longer value comes back cut to 259 characters.
constexpr DWORD PROFILE_TEXT_SIZE = 260;

// Long enough for any path Windows can hand out, so the settings path never loses its end.
constexpr DWORD EXECUTABLE_PATH_SIZE = 32768;

}  // namespace

std::string platform_executable_path() {
    std::vector<char> buffer(EXECUTABLE_PATH_SIZE, '\0');
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), EXECUTABLE_PATH_SIZE);
    return std::string(buffer.data(), length < EXECUTABLE_PATH_SIZE ? length : 0);
}

std::string platform_read_setting(const std::string& path, const char* section, const char* key,
                                  const char* default_text) {
    char buffer[PROFILE_TEXT_SIZE] = {};
    GetPrivateProfileStringA(section, key, default_text, buffer, PROFILE_TEXT_SIZE, path.c_str());
    return std::string(buffer);
}

void platform_write_profile(const char* section, const char* key, const char* value) {
    WriteProfileStringA(section, key, value);
}

std::string platform_read_profile(const char* section, const char* key, const char* default_text) {
    char buffer[PROFILE_TEXT_SIZE] = {};
    GetProfileStringA(section, key, default_text, buffer, PROFILE_TEXT_SIZE);
    return std::string(buffer);
}
