// Child processes for the end-to-end tests, on fork and exec with pipes.
#include "x11/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

long long steady_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool ChildProcess::start(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment, const std::string& folder) {
    reset();
    char stderr_template[] = "/tmp/zrv5-child-stderr-XXXXXX";
    const int stderr_fd = mkstemp(stderr_template);
    if (stderr_fd < 0) {
        return false;
    }
    stderr_path_ = stderr_template;
    int to_child[2];
    int from_child[2];
    if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0) {
        return false;
    }
    // Built before the fork: only async-signal-safe calls may follow it in the child.
    std::vector<std::string> names;
    for (const std::string& entry : environment) {
        names.push_back(entry.substr(0, entry.find('=')));
    }
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const std::string& n : names) {
            replaced = replaced || n == name;
        }
        if (!replaced) {
            merged.push_back(text);
        }
    }
    for (const std::string& entry : environment) {
        if (entry.back() != '=') {
            merged.push_back(entry);
        }
    }
    std::vector<char*> envp;
    for (std::string& entry : merged) {
        envp.push_back(&entry[0]);
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& arg : args) {
        argp.push_back(&arg[0]);
    }
    argp.push_back(nullptr);

    pid_ = fork();
    if (pid_ < 0) {
        return false;
    }
    if (pid_ == 0) {
        dup2(to_child[0], 0);
        dup2(from_child[1], 1);
        dup2(stderr_fd, 2);
        if (!folder.empty() && chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        execve(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    close(stderr_fd);
    input_ = to_child[1];
    output_ = from_child[0];
    fcntl(output_, F_SETFL, O_NONBLOCK);
    return true;
}

ChildProcess::~ChildProcess() { reset(); }

void ChildProcess::reset() {
    if (pid_ > 0 && !status_) {
        kill_now();
    }
    if (input_ >= 0) {
        close(input_);
    }
    if (output_ >= 0) {
        close(output_);
    }
    if (!stderr_path_.empty()) {
        unlink(stderr_path_.c_str());
    }
    pid_ = -1;
    input_ = -1;
    output_ = -1;
    buffer_.clear();
    stderr_path_.clear();
    skipped_.clear();
    status_.reset();
}

bool ChildProcess::running() { return !wait_exit(0).has_value(); }

void ChildProcess::write_line(const std::string& line) {
    const std::string text = line + "\n";
    if (input_ >= 0) {
        const ssize_t written = write(input_, text.data(), text.size());
        (void)written;
    }
}

std::optional<std::string> ChildProcess::read_line(int timeout_ms) {
    const long long deadline = steady_ms() + timeout_ms;
    for (;;) {
        const std::size_t end = buffer_.find('\n');
        if (end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            return line;
        }
        const long long left = deadline - steady_ms();
        if (left < 0 || output_ < 0) {
            return std::nullopt;
        }
        pollfd wait{output_, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        char chunk[4096];
        const ssize_t got = read(output_, chunk, sizeof chunk);
        if (got > 0) {
            buffer_.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0) {
            close(output_);
            output_ = -1;
        }
    }
}

std::optional<std::string> ChildProcess::read_line_starting(const std::string& prefix,
                                                            int timeout_ms) {
    const long long deadline = steady_ms() + timeout_ms;
    for (;;) {
        const long long left = deadline - steady_ms();
        std::optional<std::string> line = read_line(static_cast<int>(left < 0 ? 0 : left));
        if (!line) {
            return std::nullopt;
        }
        if (line->rfind(prefix, 0) == 0) {
            return line;
        }
        skipped_.push_back(*line);
    }
}

std::vector<std::string> ChildProcess::lines_within(int timeout_ms) {
    std::vector<std::string> lines;
    const long long deadline = steady_ms() + timeout_ms;
    for (;;) {
        const long long left = deadline - steady_ms();
        std::optional<std::string> line = read_line(static_cast<int>(left < 0 ? 0 : left));
        if (!line) {
            return lines;
        }
        lines.push_back(*line);
    }
}

std::optional<int> ChildProcess::wait_exit(int timeout_ms) {
    if (status_) {
        return status_;
    }
    if (pid_ <= 0) {
        return std::nullopt;
    }
    const long long deadline = steady_ms() + timeout_ms;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return status_;
        }
        if (steady_ms() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string ChildProcess::stderr_text() const {
    std::ifstream in(stderr_path_);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

void ChildProcess::kill_now() {
    if (pid_ > 0 && !status_) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        status_ = 128 + SIGKILL;
    }
}
