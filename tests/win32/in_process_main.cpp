// The entry of the in-process Windows tests. Started with PROFILE_CHILD_SWITCH it is instead the
// second process of the profile tests: it writes one key of the shared profile and ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "profile_child.h"

namespace {

// A hung child must not hang the tests: bound the wait generously.
constexpr DWORD CHILD_WAIT_MS = 60000;

}  // namespace

int run_profile_child(const char* section, const char* key, const char* value) {
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string command = std::string("\"") + program + "\" " + PROFILE_CHILD_SWITCH + " " +
                          section + " " + key + " " + value;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, CHILD_WAIT_MS) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], PROFILE_CHILD_SWITCH) == 0) {
        return WriteProfileStringA(argv[2], argv[3], argv[4]) ? 0 : 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
