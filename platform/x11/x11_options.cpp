// The command line of zrv5 on Linux (see x11_options.h). No Xlib here.
#include "platform/x11/x11_options.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/command_line.h"

namespace {

// Prints the problem and the usage on standard error and returns EXIT_USAGE.
int refuse(const char* usage, const char* problem, const char* argument) {
    std::fprintf(stderr, "zrv5: %s", problem);
    if (argument != nullptr) {
        std::fprintf(stderr, " '%s'", argument);
    }
    std::fputs("\n", stderr);
    std::fputs(usage, stderr);
    return EXIT_USAGE;
}

// Reads a window id as xwininfo prints it: decimal, or hexadecimal after 0x. Nothing else may
// follow the digits; 0 is no window.
bool read_window_id(const char* text, unsigned long* id) {
    const bool hexadecimal = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* digits = hexadecimal ? text + 2 : text;
    // strtoul would also take blanks and a sign first.
    const auto first = static_cast<unsigned char>(digits[0]);
    if (hexadecimal ? std::isxdigit(first) == 0 : std::isdigit(first) == 0) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(digits, &end, hexadecimal ? 16 : 10);
    // X resource ids have 29 bits.
    if (errno != 0 || *end != '\0' || value == 0 || value > 0x1FFFFFFFul) {
        return false;
    }
    *id = value;
    return true;
}

// Reads whole seconds, 0 or more.
bool read_seconds(const char* text, long* seconds) {
    if (text[0] < '0' || text[0] > '9') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 0 || value > INT_MAX / 1000) {
        return false;
    }
    *seconds = value;
    return true;
}

}  // namespace

int parse_start_options(int argc, const char* const* argv, const char* usage,
                        StartOptions* options) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
                      std::strcmp(argv[1], "--version") == 0)) {
        return run_command_line(argc, argv, "zrv5", usage);
    }
    *options = StartOptions{};
    bool timeout_given = false;
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        const bool takes_value = std::strcmp(option, "--window") == 0 ||
                                 std::strcmp(option, "--wait") == 0 ||
                                 std::strcmp(option, "--timeout") == 0 ||
                                 std::strcmp(option, "--settings") == 0;
        const bool is_start = std::strcmp(option, "--window") == 0 ||
                              std::strcmp(option, "--wait") == 0 ||
                              std::strcmp(option, "--active") == 0;
        if (!takes_value && std::strcmp(option, "--active") != 0) {
            return refuse(usage, "unknown argument", option);
        }
        if (takes_value && i + 1 >= argc) {
            return refuse(usage, "a value is missing after", option);
        }
        if (is_start && options->kind != StartKind::click) {
            return refuse(usage, "only one of --window, --wait and --active may be given, not also",
                          option);
        }
        const char* value = takes_value ? argv[++i] : nullptr;
        if (std::strcmp(option, "--window") == 0) {
            if (!read_window_id(value, &options->window)) {
                return refuse(usage, "not a window id (decimal, or hexadecimal after 0x):", value);
            }
            options->kind = StartKind::window;
        } else if (std::strcmp(option, "--wait") == 0) {
            if (value[0] == '\0') {
                return refuse(usage, "--wait needs a text to look for", nullptr);
            }
            options->wait_text = value;
            options->kind = StartKind::wait;
        } else if (std::strcmp(option, "--active") == 0) {
            options->kind = StartKind::active;
        } else if (std::strcmp(option, "--timeout") == 0) {
            if (timeout_given || !read_seconds(value, &options->timeout_seconds)) {
                return refuse(usage, "--timeout takes whole seconds, 0 or more, once, not", value);
            }
            timeout_given = true;
        } else {
            if (!options->settings_file.empty() || value[0] == '\0') {
                return refuse(usage, "--settings takes one file, not", value);
            }
            options->settings_file = value;
        }
    }
    if (timeout_given && options->kind != StartKind::wait) {
        return refuse(usage, "--timeout goes only with --wait", nullptr);
    }
    return COMMAND_LINE_RUN;
}
