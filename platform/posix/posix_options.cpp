// The command line of zrv5 on Linux (see posix_options.h), read by getopt_long as GNU programs read
// theirs: "--window ID" and "--window=ID" alike. No Xlib here.
#include "platform/posix/posix_options.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <getopt.h>

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
    enum : int { WINDOW = 1, WAIT, ACTIVE, TIMEOUT, SETTINGS };
    static const option LONG_OPTIONS[] = {
        {"window", required_argument, nullptr, WINDOW},
        {"wait", required_argument, nullptr, WAIT},
        {"active", no_argument, nullptr, ACTIVE},
        {"timeout", required_argument, nullptr, TIMEOUT},
        {"settings", required_argument, nullptr, SETTINGS},
        {nullptr, 0, nullptr, 0},
    };
    // The problems are said here, in the program's own words: getopt_long says nothing (opterr),
    // reports a missing value as ':' (the optstring's leading ':'), and stops at the first word
    // that is no option ('+'), which then is refused, so that it never reorders argv.
    // optind 0 starts getopt_long afresh, also in the middle of a word of short options that an
    // earlier call refused.
    opterr = 0;
    optind = 0;
    auto* words = const_cast<char* const*>(argv);
    bool timeout_given = false;
    for (;;) {
        // The option as it was written: the word getopt_long is about to read. Nothing is
        // reordered, so it is the word at optind (the first after the program's name at the start),
        // also for a word of single-dash letters, which optind stays on until its last letter.
        const int at = optind > 0 ? optind : 1;
        const char* word = at < argc ? argv[at] : nullptr;
        const int found = getopt_long(argc, words, "+:", LONG_OPTIONS, nullptr);
        if (found == -1) {
            break;
        }
        if (found == ':') {
            return refuse(usage, "a value is missing after", word);
        }
        if (found == '?') {
            return refuse(usage, optopt == ACTIVE ? "--active takes no value, not"
                                                  : "unknown argument",
                          word);
        }
        const bool is_start = found == WINDOW || found == WAIT || found == ACTIVE;
        if (is_start && options->kind != StartKind::click) {
            // The option as it was written, without a value given after '='.
            const std::string written(word, std::strcspn(word, "="));
            return refuse(usage, "only one of --window, --wait and --active may be given, not also",
                          written.c_str());
        }
        const char* value = optarg;
        switch (found) {
        case WINDOW:
            if (!read_window_id(value, &options->window)) {
                return refuse(usage, "not a window id (decimal, or hexadecimal after 0x):", value);
            }
            options->kind = StartKind::window;
            break;
        case WAIT:
            if (value[0] == '\0') {
                return refuse(usage, "--wait needs a text to look for", nullptr);
            }
            options->wait_text = value;
            options->kind = StartKind::wait;
            break;
        case ACTIVE:
            options->kind = StartKind::active;
            break;
        case TIMEOUT:
            if (timeout_given || !read_seconds(value, &options->timeout_seconds)) {
                return refuse(usage, "--timeout takes whole seconds, 0 or more, once, not", value);
            }
            timeout_given = true;
            break;
        default:
            if (!options->settings_file.empty() || value[0] == '\0') {
                return refuse(usage, "--settings takes one file, not", value);
            }
            options->settings_file = value;
            break;
        }
    }
    if (optind < argc) {
        return refuse(usage, "unknown argument", argv[optind]);
    }
    if (timeout_given && options->kind != StartKind::wait) {
        return refuse(usage, "--timeout goes only with --wait", nullptr);
    }
    return COMMAND_LINE_RUN;
}
