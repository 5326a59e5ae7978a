// zrv5-exit: asks a running zrv5 to end its view by writing "EXIT" = "1" into section "Zarvo5" of
// the shared profile, which the program reads at every tick. Prints nothing on success; prints one
// line with the path and the reason and exits with 1 when the profile cannot be written (also when
// another program holds its lock for 2 s). Needs no display.
#include <cstdio>
#include <string>

#include "platform/command_line.h"
#include "platform/posix/posix_user_profile.h"
#include "vocabulary/companion_contract.h"

namespace {

constexpr int EXIT_CANNOT_WRITE = 1;

constexpr const char USAGE[] =
    "Usage: zrv5-exit [--help | --version]\n"
    "Asks a running zrv5 to end its view: sets EXIT=1 in section [Zarvo5] of the shared profile,\n"
    "${XDG_CONFIG_HOME:-$HOME/.config}/zrv5/profile.ini. Prints nothing when the request is\n"
    "written; prints why and exits with 1 when it cannot be. More in zrv5-exit(1).\n";

}  // namespace

int main(int argc, char** argv) {
    const int answer = run_command_line(argc, argv, "zrv5-exit", USAGE);
    if (answer != COMMAND_LINE_RUN) {
        return answer;
    }
    if (user_profile_write(PROFILE_SECTION, KEY_EXIT, EXIT_REQUESTED)) {
        return 0;
    }
    std::fprintf(stderr, "zrv5-exit: %s\n", user_profile_write_failure().c_str());
    return EXIT_CANNOT_WRITE;
}
