// End-to-end soak: 2 000 ticks at `time` 10 in cursor mode 1, each with its own grab thread and
// connection and a fresh copy of a large pointer image, must grow neither the process's memory nor
// its X resources, and leave no connection behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "x11/support/end_to_end.h"
#include "x11/support/pattern.h"

namespace {

using Soak = EndToEnd;

constexpr int PERIOD_MS = 10;
constexpr int TICKS = 2000;
constexpr int WARM_UP_TICKS = 300;
// Allocator noise stays well below this; one leaked 64x64 copy per tick would be over 25 MB.
constexpr long MEMORY_GROWTH_LIMIT_KB = 2048;

long resident_kb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

struct Sample {
    long memory_kb;
    long x_resources;
    int clients;
};

// The least of each figure over samples taken until `enough` says the figures are low enough or
// the deadline passes. A grab thread's connection and its resources exist only while a grab runs,
// and between two ticks none does; under load a grab may span many samples in a row, so the
// samples go on until the figures come down, and only a lasting growth remains at the deadline.
template <typename Enough>
Sample least_sample(XSession& session, pid_t pid, Window overlay, int at_least, Enough enough) {
    Sample least{resident_kb(pid), session.client_resources(overlay), session.client_count()};
    const long long deadline = steady_ms() + EXIT_MS;
    for (int i = 1; (i < at_least || !enough(least)) && steady_ms() < deadline; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(7));
        least.memory_kb = std::min(least.memory_kb, resident_kb(pid));
        least.x_resources = std::min(least.x_resources, session.client_resources(overlay));
        least.clients = std::min(least.clients, session.client_count());
    }
    return least;
}

TEST_F(Soak, TwoThousandTicksInCursorMode1GrowNeitherMemoryNorXResources) {
    auto target = start_target(640, 480, 200, 150);
    target->command("cursor 2");
    Zrv5Setup setup;
    setup.settings = "[Zarvo5]\nmouse_trs=1\ntime=" + std::to_string(PERIOD_MS) + "\n";
    auto run = start_and_pick(300, 200, setup);
    const long long picked = steady_ms();
    const TestPointerShape& shape = TEST_POINTER_SHAPES[2];
    Frame expected =
        stretched_frame(target_source(0), 640, 480, Placement{60, 45, 1280, 960}, 60, 45);
    draw_over(expected, 60 + 200 - shape.hot_x, 45 + 100 - shape.hot_y, shape.width, shape.height,
              [&](int x, int y) { return test_pointer_pixel(shape, x, y); });
    expect_screen(expected, "soak-start");
    const Window overlay = session.find_window("ZRV5");
    ASSERT_NE(overlay, 0u);

    std::this_thread::sleep_until(
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(picked + WARM_UP_TICKS * PERIOD_MS - steady_ms()));
    const Sample before = least_sample(session, run->process().pid(), overlay, 30,
                                       [](const Sample&) { return true; });
    // At least the ticks' periods; a tick that overran would make fewer ticks, not more.
    std::this_thread::sleep_until(
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(picked + TICKS * PERIOD_MS - steady_ms()));
    const Sample after =
        least_sample(session, run->process().pid(), overlay, 30, [&](const Sample& now) {
            return now.clients <= before.clients && now.x_resources <= before.x_resources;
        });

    EXPECT_LT(after.memory_kb - before.memory_kb, MEMORY_GROWTH_LIMIT_KB)
        << before.memory_kb << " kB after the warm-up, " << after.memory_kb << " kB at the end";
    EXPECT_EQ(after.x_resources, before.x_resources);
    EXPECT_EQ(after.clients, before.clients);
    expect_screen(expected, "soak-end");
    std::printf("soak: %ld kB -> %ld kB resident, %ld -> %ld X resources, %d -> %d clients\n",
                before.memory_kb, after.memory_kb, before.x_resources, after.x_resources,
                before.clients, after.clients);
}

}  // namespace
