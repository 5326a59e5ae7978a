// zrv5-exit: asks a running zrv5 to end its view by writing "EXIT" = "1" into section "Zarvo5" of
// the shared profile, which the program reads at every tick. Prints nothing on success; prints one
// line with the path and the reason and exits with 1 when the profile cannot be written (also when
// another program holds its lock for 2 s). Needs no display.
#include <cstdio>
#include <string>

#include "platform/ini/user_profile.h"

namespace {

constexpr int EXIT_CANNOT_WRITE = 1;

}  // namespace

int main() {
    if (user_profile_write("Zarvo5", "EXIT", "1")) {
        return 0;
    }
    std::fprintf(stderr, "zrv5-exit: %s\n", user_profile_write_failure().c_str());
    return EXIT_CANNOT_WRITE;
}
