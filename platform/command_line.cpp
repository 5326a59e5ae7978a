// The command line of zrv5 on Linux and of zrv5-exit. Portable core: no OS header.
#include "platform/command_line.h"

#include <cstdio>
#include <cstring>

#ifndef ZRV5_VERSION
#error "ZRV5_VERSION must be defined by the build (the project's version)"
#endif

int run_command_line(int argc, const char* const* argv, const char* program, const char* usage) {
    if (argc <= 1) {
        return COMMAND_LINE_RUN;
    }
    const char* argument = argv[1];
    if (argc == 2 && (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0)) {
        std::fputs(usage, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (argc == 2 && std::strcmp(argument, "--version") == 0) {
        std::printf("%s %s\n", program, ZRV5_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (argc == 2) {
        std::fprintf(stderr, "%s: unknown argument '%s'\n", program, argument);
    } else {
        std::fprintf(stderr, "%s: takes at most one argument\n", program);
    }
    std::fputs(usage, stderr);
    return EXIT_USAGE;
}
