// A second process that writes one key of the shared profile: this test program started again with
// the arguments that main() recognises.
#pragma once

// The first argument that makes this program a profile-writing child instead of a test run.
constexpr const char* PROFILE_CHILD_SWITCH = "--write-profile";

// Starts this program as a child that writes `value` to `key` of `section` and returns its exit
// code once it has ended (-1 when it could not be started or did not end).
int run_profile_child(const char* section, const char* key, const char* value);
