// zrv5-exit.exe: asks a running zrv5.exe to end its view by writing "EXIT" = "1" into section
// "Zarvo5" of the user's profile (win.ini), which the program reads at every tick. A console
// program: prints nothing on success; prints one line and exits with 1 when the request is not in
// the profile afterwards.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/command_line.h"
#include "vocabulary/companion_contract.h"

namespace {

constexpr int EXIT_CANNOT_WRITE = 1;
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

// Writes the exit request and reads it back through the same profile calls that zrv5.exe uses;
// true when the profile now holds it, otherwise `reason` says why not. A successful write is not
// proof enough: where the profile lands depends on the program's UAC virtualisation state, so the
// only evidence that a reader of the same profile sees "1" is reading "1".
bool write_exit_request(char* reason) {
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

constexpr const char USAGE[] =
    "Usage: zrv5-exit [--help | --version]\n"
    "Asks a running zrv5 to end its view: sets EXIT=1 in section [Zarvo5] of the user's profile\n"
    "(win.ini). Prints nothing when the request is written; prints why and exits with 1 when it\n"
    "cannot be.\n";

}  // namespace

int main(int argc, char** argv) {
    const int answer = run_command_line(argc, argv, "zrv5-exit", USAGE);
    if (answer != COMMAND_LINE_RUN) {
        return answer;
    }
    char reason[REASON_SIZE] = {};
    if (write_exit_request(reason)) {
        return 0;
    }
    std::fprintf(stderr, "zrv5-exit: %s\n", reason);
    return EXIT_CANNOT_WRITE;
}
