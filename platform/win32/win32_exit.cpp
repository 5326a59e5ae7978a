// zrv5-exit.exe: asks a running zrv5.exe to end its view by writing "EXIT" = "1" into section
// "Zarvo5" of the user's profile (win.ini), which the program reads at every tick. A console
// program: prints nothing on success; prints one line and exits with 1 when the write fails.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "shell/command_line.h"

namespace {

constexpr int EXIT_CANNOT_WRITE = 1;

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
    if (WriteProfileStringA("Zarvo5", "EXIT", "1")) {
        return 0;
    }
    const DWORD error = GetLastError();
    char reason[256] = {};
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                       reason, sizeof reason, nullptr) == 0) {
        std::snprintf(reason, sizeof reason, "error %lu", static_cast<unsigned long>(error));
    }
    // System messages end with a line break of their own.
    for (char* end = reason + std::strlen(reason); end > reason && (end[-1] == '\n' || end[-1] == '\r');) {
        *--end = '\0';
    }
    std::fprintf(stderr, "zrv5-exit: cannot write the user profile: %s\n", reason);
    return EXIT_CANNOT_WRITE;
}
