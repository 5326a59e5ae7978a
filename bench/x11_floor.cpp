// The floor of a still view's processor share on X11: what the least a still view must do costs on
// this machine, with nothing of zrv5's in it. One thread wakes every PERIOD ms and makes one round
// trip to the server (a still tick's questions), another wakes every LOOK ms and makes one (the
// companion's look). Runs for the given seconds and prints its own share of one core, from the
// same /proc/PID/stat fields the benchmark reads for zrv5.
//   zrv5_x11_floor PERIOD LOOK SECONDS
// Prints "floor: P% of one core over S s (a round trip every PERIOD ms and every LOOK ms)".
#include <X11/Xlib.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace {

// Wakes every `period_ms` until `stop`, each time asking the server one question and waiting for
// its answer.
void ask_every(int period_ms, const std::atomic<bool>& stop) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "zrv5_x11_floor: no display\n");
        std::exit(1);
    }
    auto next = std::chrono::steady_clock::now();
    while (!stop) {
        next += std::chrono::milliseconds(period_ms);
        std::this_thread::sleep_until(next);
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
    }
    XCloseDisplay(display);
}

// This process's processor time so far in clock ticks (user and system, fields 14 and 15).
long cpu_ticks() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command's closing parenthesis: state is field 3.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    const char* rest = text.c_str() + close + 2;
    long user = 0;
    long system = 0;
    // Fields 3 to 13 are skipped; 14 and 15 are the ones wanted.
    if (std::sscanf(rest, "%*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %ld %ld", &user, &system) !=
        2) {
        return 0;
    }
    return user + system;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: zrv5_x11_floor PERIOD LOOK SECONDS\n");
        return 2;
    }
    const int period = std::atoi(argv[1]);
    const int look = std::atoi(argv[2]);
    const int seconds = std::atoi(argv[3]);
    if (period <= 0 || look <= 0 || seconds <= 0) {
        std::fprintf(stderr, "zrv5_x11_floor: PERIOD, LOOK and SECONDS are positive numbers\n");
        return 2;
    }
    XInitThreads();
    std::atomic<bool> stop{false};
    std::thread ticks(ask_every, period, std::cref(stop));
    std::thread looks(ask_every, look, std::cref(stop));
    std::this_thread::sleep_for(std::chrono::seconds(1));  // both connections open and settled
    const long before = cpu_ticks();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long after = cpu_ticks();
    stop = true;
    ticks.join();
    looks.join();
    std::printf("floor: %.2f%% of one core over %d s (a round trip every %d ms and every %d ms)\n",
                100.0 * static_cast<double>(after - before) /
                    static_cast<double>(sysconf(_SC_CLK_TCK)) / seconds,
                seconds, period, look);
    return 0;
}
