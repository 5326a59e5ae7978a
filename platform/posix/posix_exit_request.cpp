// zrv5-exit's request on Linux: the shared profile updated under its lock (posix_user_profile.h),
// another program's lock waited for at most 2 s.
#include "platform/exit_request.h"
#include "platform/posix/posix_user_profile.h"
#include "vocabulary/companion_contract.h"

const char EXIT_REQUEST_PLACE[] =
    "the shared profile,\n${XDG_CONFIG_HOME:-$HOME/.config}/zrv5/profile.ini (more in "
    "zrv5-exit(1))";

bool write_exit_request(std::string* reason) {
    if (user_profile_write(PROFILE_SECTION, KEY_EXIT, EXIT_REQUESTED)) {
        return true;
    }
    *reason = user_profile_write_failure();
    return false;
}
