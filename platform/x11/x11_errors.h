// X errors on the backend's connections (and the companion's, whose errors reach the same
// process-wide handler): the few that a running view expects are noted for the request's caller;
// any other is printed once, with the request's and the error's names, and counted. Losing the
// display ends the process.
#pragma once

#include <X11/Xlib.h>

// The exit code when there is no display: none opens, or the connection is lost.
constexpr int X11_EXIT_NO_DISPLAY = 1;

// Installs the error handler and the display-loss exit on a connection.
void x11_watch_connection(Display* display);

// Returns the code of the last X error that this thread's connection reported, and clears it.
int x11_take_error();

// Returns how many errors outside the expected list have been reported so far.
unsigned x11_unexpected_errors();

// Returns whether an error, by its request's and its own name (as printed, "X_GetImage" and
// "BadMatch"), is one that a running view expects.
bool x11_error_expected(const char* request, const char* error);
