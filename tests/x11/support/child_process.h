// Child processes for the end-to-end tests: started with extra environment, talked to through
// standard input and output, waited for with a time limit, and never left behind.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

class ChildProcess {
public:
    // Starts argv[0] (a path) with the environment of the test plus `environment` ("NAME=value";
    // "NAME=" with nothing after it removes NAME), in `folder` when given. Standard error goes to a
    // file that stderr_text() reads. Returns false when the program cannot be started.
    bool start(const std::vector<std::string>& argv,
               const std::vector<std::string>& environment = {}, const std::string& folder = "");
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();
    // Ends the child if it runs and forgets it, so that start() can be called again.
    void reset();

    pid_t pid() const { return pid_; }
    bool running();

    void write_line(const std::string& line);
    // Returns the next line of standard output, waiting at most `timeout_ms`.
    std::optional<std::string> read_line(int timeout_ms);
    // Returns the next line that starts with `prefix`, skipping others (kept in skipped()).
    std::optional<std::string> read_line_starting(const std::string& prefix, int timeout_ms);
    // Returns every complete line that arrives within `timeout_ms`.
    std::vector<std::string> lines_within(int timeout_ms);
    const std::vector<std::string>& skipped() const { return skipped_; }

    // Waits at most `timeout_ms` for the end; the exit code, or 128 + the signal that ended it.
    std::optional<int> wait_exit(int timeout_ms);
    std::string stderr_text() const;
    // Ends the child at once (SIGKILL) and reaps it.
    void kill_now();

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string buffer_;
    std::string stderr_path_;
    std::vector<std::string> skipped_;
    std::optional<int> status_;
};

// Returns the milliseconds of a steady clock.
long long steady_ms();
