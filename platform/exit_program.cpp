// zrv5-exit: asks a running zrv5 to end its view by writing "EXIT" = "1" into section "Zarvo5" of
// the shared profile, which the program reads at every tick (and four times a second while it
// waits for its click). Prints nothing on success; prints one line saying why and exits with 1
// when the request cannot be written. Needs no display.
#include <cstdio>
#include <string>

#include "platform/command_line.h"
#include "platform/exit_request.h"

namespace {

constexpr int EXIT_CANNOT_WRITE = 1;

}  // namespace

int main(int argc, char** argv) {
    const std::string usage =
        std::string("Usage: zrv5-exit [--help | --version]\n"
                    "Asks a running zrv5 to end its view: sets EXIT=1 in section [Zarvo5] of ") +
        EXIT_REQUEST_PLACE +
        ".\nPrints nothing when the request is written; prints why and exits with 1 when it\n"
        "cannot be.\n";
    const int answer = run_command_line(argc, argv, "zrv5-exit", usage.c_str());
    if (answer != COMMAND_LINE_RUN) {
        return answer;
    }
    std::string reason;
    if (write_exit_request(&reason)) {
        return 0;
    }
    std::fprintf(stderr, "zrv5-exit: %s\n", reason.c_str());
    return EXIT_CANNOT_WRITE;
}
