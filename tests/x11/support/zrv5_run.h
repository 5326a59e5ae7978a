// One run of the real zrv5 for an end-to-end test: a folder of its own holding a copy of the
// program, the logging build of libMouseHook.so, the settings file and the per-user configuration.
#pragma once

#include <string>
#include <vector>

#include "x11/support/child_process.h"
#include "x11/support/x_session.h"

struct Zrv5Setup {
    // The settings file's text; without one, no settings file is written.
    bool settings_file = true;
    std::string settings = "[Zarvo5]\n";
    bool companion = true;  // libMouseHook.so beside the program
    // Which build of it: the logging build (calls recorded, pointer free) or the one users get.
    bool working_companion = false;
    std::vector<std::string> environment;  // more "NAME=value" for the program
    std::vector<std::string> arguments;    // its command line
};

class Zrv5Run {
public:
    explicit Zrv5Run(const Zrv5Setup& setup = Zrv5Setup());
    ~Zrv5Run();

    // Starts the program on the session's display; false when it cannot be started at all.
    bool start(const XSession& session);
    ChildProcess& process() { return process_; }

    const std::string& folder() const { return folder_; }
    std::string profile_folder() const { return folder_ + "/config/zrv5"; }
    std::string profile_path() const { return profile_folder() + "/profile.ini"; }
    std::string profile_text() const;
    // The companion's calls, one "<function> <process id>" each.
    std::vector<std::string> companion_calls() const;
    // Runs zrv5-exit with the run's per-user configuration; returns its exit code (-1 when it
    // could not be run or did not end).
    int request_exit() const;

private:
    Zrv5Setup setup_;
    std::string folder_;
    ChildProcess process_;
};

// Returns the whole text of a file, "" when it is missing.
std::string file_text(const std::string& path);
