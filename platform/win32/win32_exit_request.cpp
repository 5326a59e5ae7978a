// zrv5-exit's request on Windows: written into the user's profile (win.ini) through the same
// profile calls that zrv5.exe reads it with, and read back.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/exit_request.h"
#include "vocabulary/companion_contract.h"

namespace {

// The profile text buffer of the program that reads the request.
constexpr DWORD PROFILE_TEXT_SIZE = 260;
constexpr DWORD REASON_SIZE = 256;

// Puts the system's text for `error` into `reason`, without the line break it ends with.
void describe_error(DWORD error, char* reason) {
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       0, reason, REASON_SIZE, nullptr) == 0) {
        std::snprintf(reason, REASON_SIZE, "error %lu", static_cast<unsigned long>(error));
    }
    for (char* end = reason + std::strlen(reason);
         end > reason && (end[-1] == '\n' || end[-1] == '\r');) {
        *--end = '\0';
    }
}

// Writes the exit request and reads it back; true when the profile now holds it, otherwise
// `reason` says why not.
bool write_and_read_back(char* reason) {
    if (!WriteProfileStringA(PROFILE_SECTION, KEY_EXIT, EXIT_REQUESTED)) {
        char error[REASON_SIZE] = {};
        describe_error(GetLastError(), error);
        std::snprintf(reason, REASON_SIZE, "cannot write the user profile: %s", error);
        return false;
    }
    char read_back[PROFILE_TEXT_SIZE] = {};
    GetProfileStringA(PROFILE_SECTION, KEY_EXIT, "", read_back, PROFILE_TEXT_SIZE);
    if (std::strcmp(read_back, EXIT_REQUESTED) != 0) {
        std::snprintf(reason, REASON_SIZE,
                      "the user profile reads EXIT=\"%.64s\" after writing EXIT=1", read_back);
        return false;
    }
    return true;
}

}  // namespace

const char EXIT_REQUEST_PLACE[] = "the user's profile\n(win.ini)";

// A successful write is not proof enough: where the profile lands depends on the program's UAC
// virtualisation state, so the only evidence that a reader of the same profile sees "1" is reading
// "1".
bool write_exit_request(std::string* reason) {
    char text[REASON_SIZE] = {};
    const bool written = write_and_read_back(text);
    if (!written) {
        *reason = text;
    }
    return written;
}
