// The decimal texts of the shared profile: numbers written, window handles, the exit request.
// Portable core: no OS header.
#pragma once

#include <cstdint>
#include <string>

// Returns the shortest signed decimal text of the value ("%d").
std::string decimal_text(std::int32_t value);

// Returns the signed decimal text of the handle value's low 32 bits read as signed.
std::string handle_text(std::uintptr_t handle_value);

// Returns whether an "EXIT" text asks the overlay to close: its decimal value is 1.
bool exit_requested(const char* text);
