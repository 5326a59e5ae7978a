// The end-to-end tests' stand-in for the companion library MouseHook on Linux: each call only
// appends "<function> <process id>" to the file that $ZRV5_HOOK_LOG names, and the pointer stays
// free, so that those tests can move it anywhere.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "vocabulary/companion_contract.h"

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

}  // namespace

extern "C" __attribute__((visibility("default"))) void MySetHook(void) { log_call("MySetHook"); }

extern "C" __attribute__((visibility("default"))) void MyEndHook(void) { log_call("MyEndHook"); }
