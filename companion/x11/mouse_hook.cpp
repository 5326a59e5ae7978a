// The companion library MouseHook for Linux: MySetHook and MyEndHook with C linkage, found by the
// program at load time. MySetHook starts keeping the pointer on the shown window and the exit
// hotkey; MyEndHook takes both down (view_keeper.h). Built with MOUSE_HOOK_CALL_LOG, each call only
// appends "<function> <process id>" to the file that $ZRV5_HOOK_LOG names: the end-to-end tests'
// build, which leaves the pointer free so that those tests can move it anywhere.
#include "hook/mouse_hook.h"

#ifdef MOUSE_HOOK_CALL_LOG
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Appends one line with a single write on an O_APPEND descriptor, so lines of several processes
// sharing one log never interleave.
void log_call(const char* function) {
    const char* path = std::getenv("ZRV5_HOOK_LOG");
    if (path == nullptr || *path == '\0') {
        return;
    }
    char line[64];
    const int length =
        std::snprintf(line, sizeof line, "%s %ld\n", function, static_cast<long>(getpid()));
    const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0 || length <= 0) {
        return;
    }
    const ssize_t written = write(fd, line, static_cast<std::size_t>(length));
    (void)written;
    close(fd);
}

void view_keeper_start() {}
void view_keeper_stop() {}

}  // namespace
#else
#include "companion/x11/view_keeper.h"

namespace {
void log_call(const char*) {}
}  // namespace
#endif

extern "C" __attribute__((visibility("default"))) void MySetHook(void) {
    log_call("MySetHook");
    view_keeper_start();
}

extern "C" __attribute__((visibility("default"))) void MyEndHook(void) {
    log_call("MyEndHook");
    view_keeper_stop();
}
