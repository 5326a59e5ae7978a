// The X11 program: started up around the core's entry (x11_init.cpp).
#include "platform/platform.h"
#include "platform/x11/x11_platform.h"

namespace {

// The show state handed to the entry; the X11 overlay has only one way of being shown.
constexpr std::int32_t SHOW_NORMAL = 1;

}  // namespace

int main(int argc, char** argv) {
    const int started = x11_start_up(argc, argv);
    if (started != X11_STARTED) {
        return started;
    }
    return x11_end(zrv5_main(nullptr, nullptr, SHOW_NORMAL));
}
