// One run of the real zrv5 in a folder of its own.
// GoogleTest comes before the X headers, whose macros clash with its names.
#include <gtest/gtest.h>

#include "x11/support/zrv5_run.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

Zrv5Run::Zrv5Run(const Zrv5Setup& setup) : setup_(setup) {
    char folder[] = "/tmp/zrv5-e2e-XXXXXX";
    if (mkdtemp(folder) != nullptr) {
        folder_ = folder;
    }
}

Zrv5Run::~Zrv5Run() {
    process_.kill_now();
    // Every run, whatever its test checks, must end without an X error outside the expected list.
    const std::string errors = process_.stderr_text();
    if (errors.find("unexpected X error") != std::string::npos) {
        ADD_FAILURE() << "zrv5 reported an unexpected X error:\n" << errors;
    }
    if (!folder_.empty() && std::getenv("ZRV5_KEEP_RUNS") == nullptr) {
        std::system(("rm -rf '" + folder_ + "'").c_str());
    }
}

bool Zrv5Run::start(const XSession& session) {
    if (folder_.empty()) {
        return false;
    }
    // A copy, not a link: the settings file is found beside the executable's real path.
    std::string copy = "cp '" ZRV5_EXECUTABLE "' '" + folder_ + "/zrv5'";
    if (setup_.companion) {
        copy += std::string(" && cp '") +
                (setup_.working_companion ? ZRV5_HOOK_LIBRARY : ZRV5_HOOK_CALL_LOG_LIBRARY) +
                "' '" + folder_ + "/'";
    }
    if (std::system(copy.c_str()) != 0) {
        return false;
    }
    if (setup_.settings_file) {
        std::ofstream(folder_ + "/zrv5.ini", std::ios::binary) << setup_.settings;
    }
    std::vector<std::string> environment = {
        "DISPLAY=" + session.name(),
        "XDG_CONFIG_HOME=" + folder_ + "/config",
        "ZRV5_HOOK_LOG=" + folder_ + "/hook.log",
    };
    environment.insert(environment.end(), setup_.environment.begin(), setup_.environment.end());
    std::vector<std::string> argv = {folder_ + "/zrv5"};
    argv.insert(argv.end(), setup_.arguments.begin(), setup_.arguments.end());
    return process_.start(argv, environment, folder_);
}

std::string Zrv5Run::profile_text() const { return file_text(profile_path()); }

int Zrv5Run::request_exit() const {
    ChildProcess program;
    if (!program.start({ZRV5_EXIT_PROGRAM}, {"XDG_CONFIG_HOME=" + folder_ + "/config"})) {
        return -1;
    }
    return program.wait_exit(10000).value_or(-1);
}

std::vector<std::string> Zrv5Run::companion_calls() const {
    std::vector<std::string> calls;
    std::istringstream lines(file_text(folder_ + "/hook.log"));
    for (std::string line; std::getline(lines, line);) {
        calls.push_back(line);
    }
    return calls;
}
