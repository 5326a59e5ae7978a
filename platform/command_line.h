// The command line of the programs that take one: zrv5 on Linux and zrv5-exit on both platforms.
// Each takes no argument but --help and --version, so an argument is never taken as the request.
// Portable core: no OS header.
#pragma once

// What run_command_line returns when there is no argument: the program goes on with its work.
constexpr int COMMAND_LINE_RUN = -1;
// The exit code of a command line that is not understood.
constexpr int EXIT_USAGE = 2;

// Answers the command line of `program`: with no argument returns COMMAND_LINE_RUN; "--help" (or
// "-h") prints `usage` on standard output and "--version" prints "<program> <version>", each
// returning 0; anything else, more than one argument included, prints the argument and `usage` on
// standard error and returns EXIT_USAGE.
int run_command_line(int argc, const char* const* argv, const char* program, const char* usage);
