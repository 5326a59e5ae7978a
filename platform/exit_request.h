// What zrv5-exit asks of its platform: the exit request written where a running zrv5 reads it.
// Each platform's side is its own file (posix_exit_request.cpp, win32_exit_request.cpp); the
// program around it is written once (exit_program.cpp).
#pragma once

#include <string>

// Where the request goes, as the usage text names it.
extern const char EXIT_REQUEST_PLACE[];

// Writes "EXIT" = "1" into section "Zarvo5" of the shared profile, leaving every other line as it
// stands; false, with the reason in one line, when the profile does not hold the request
// afterwards.
bool write_exit_request(std::string* reason);
