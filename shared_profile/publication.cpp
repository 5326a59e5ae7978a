// Publishing the view to the companion library and polling the exit request.
// Portable core: no OS header.
#include "shared_profile/publication.h"

#include <string>

#include "shared_profile/profile_text.h"
#include "platform/platform.h"
#include "vocabulary/companion_contract.h"

void publish_view(WindowHandle target, std::int32_t W, std::int32_t H) {
    platform_write_profile(PROFILE_SECTION, KEY_WINDOW, handle_text(target.value).c_str());
    platform_write_profile(PROFILE_SECTION, KEY_WIDTH, decimal_text(W).c_str());
    platform_write_profile(PROFILE_SECTION, KEY_HEIGHT, decimal_text(H).c_str());
    platform_write_profile(PROFILE_SECTION, KEY_EXIT, EXIT_CLEARED);
    MySetHook();
}

bool exit_requested_by_profile() {
    const std::string text = platform_read_profile(PROFILE_SECTION, KEY_EXIT, EXIT_CLEARED);
    return exit_requested(text.c_str());
}
