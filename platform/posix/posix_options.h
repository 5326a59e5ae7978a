// The command line of zrv5 on Linux: with no argument the view starts on the window the user
// clicks; a script may name the window instead (--window, --wait, --active) and the settings file
// (--settings). No Xlib here: the window ids are only read, and checked against the display later.
#pragma once

#include <string>

// Which window the view starts on.
enum class StartKind { click, window, wait, active };

struct StartOptions {
    StartKind kind = StartKind::click;
    unsigned long window = 0;    // --window ID
    std::string wait_text;       // --wait TEXT
    long timeout_seconds = -1;   // --timeout SECONDS; -1: wait for as long as it takes
    std::string settings_file;   // --settings FILE; empty: the usual places
};

// Reads the command line into `options`. Returns COMMAND_LINE_RUN (platform/command_line.h) when the
// program should go on; 0 after --help or --version, printed on standard output; EXIT_USAGE after
// one line naming the problem and the usage on standard error.
int parse_start_options(int argc, const char* const* argv, const char* usage,
                        StartOptions* options);
