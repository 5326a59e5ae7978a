// The band workers on Linux: every band of every run ends exactly once before the run returns,
// runs follow each other without a band lost or run twice, and with two or more workers the bands
// of one run do go to more than one thread.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_bands.h"

namespace {

struct Tally {
    std::vector<std::atomic<int>> runs_of_band;
    std::mutex lock;
    std::set<std::thread::id> threads;
    explicit Tally(std::int32_t bands) : runs_of_band(static_cast<std::size_t>(bands)) {}
};

void count_band(void* argument, std::int32_t band) {
    auto& tally = *static_cast<Tally*>(argument);
    ++tally.runs_of_band[static_cast<std::size_t>(band)];
    // Long enough that a second worker takes a band meanwhile.
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    std::lock_guard<std::mutex> hold(tally.lock);
    tally.threads.insert(std::this_thread::get_id());
}

TEST(BandWorkers, EveryBandOfEveryRunEndsOnceBeforeTheRunReturns) {
    const std::int32_t workers = platform_band_workers();
    ASSERT_GE(workers, 1);
    ASSERT_LE(workers, 8);
    bool several_threads = false;
    for (int repeat = 0; repeat < 200; ++repeat) {
        for (std::int32_t count = 0; count <= 9; ++count) {
            Tally tally(count);
            platform_run_bands(count_band, &tally, count);
            for (std::int32_t band = 0; band < count; ++band) {
                ASSERT_EQ(tally.runs_of_band[static_cast<std::size_t>(band)].load(), 1)
                    << "band " << band << " of " << count << ", repeat " << repeat;
            }
            several_threads = several_threads || tally.threads.size() > 1;
        }
    }
    if (workers > 1) {
        EXPECT_TRUE(several_threads) << "no run went to more than one thread";
    }
}

// ZRV5_THREADS: a whole number from 1 to 8 as it is; anything else set is refused (and said), and
// unset or refused the cores decide, held to 1..8.
TEST(BandWorkers, ZRV5_THREADSTakesOneToEightAndRefusesTheRest) {
    struct Case {
        const char* asked;
        unsigned cores;
        std::int32_t workers;
        bool refused;
    };
    const Case cases[] = {
        {nullptr, 2, 2, false}, {"", 4, 4, false},    {nullptr, 0, 1, false},
        {nullptr, 64, 8, false}, {"1", 2, 1, false},  {"8", 2, 8, false},
        {"3", 16, 3, false},    {"0", 2, 2, true},    {"9", 2, 2, true},
        {"-2", 2, 2, true},     {"3x", 2, 2, true},   {" 3", 2, 2, true},
        {"abc", 0, 1, true},    {"99999999999999999999", 4, 4, true},
    };
    for (const Case& c : cases) {
        bool refused = false;
        EXPECT_EQ(band_workers_for(c.asked, c.cores, &refused), c.workers)
            << (c.asked ? c.asked : "unset") << " with " << c.cores << " cores";
        EXPECT_EQ(refused, c.refused) << (c.asked ? c.asked : "unset");
    }
}

}  // namespace
