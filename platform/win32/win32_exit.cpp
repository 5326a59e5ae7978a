// zrv5-exit.exe: asks a running zrv5.exe to end its view by writing "EXIT" = "1" into section
// "Zarvo5" of the user's profile (win.ini), which the program reads at every tick. A console
// program: prints nothing on success; prints one line and exits with 1 when the write fails.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "vocabulary/profile_names.h"

namespace {

constexpr int EXIT_CANNOT_WRITE = 1;

}  // namespace

int main() {
    if (WriteProfileStringA(PROFILE_SECTION, KEY_EXIT, EXIT_REQUESTED)) {
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
