// The band workers of the blended enlargement on Linux: a pool of threads made at the first
// question, one fewer than the workers, since the calling thread takes bands too. Each run hands
// out its bands one by one to whoever is free and returns once all have ended. No X here.
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_bands.h"

namespace {

// Returns the workers asked for: ZRV5_THREADS when it is a number from 1 to 8, else the
// processor's cores, saying so in one line when it is set to anything else.
std::int32_t workers_wanted() {
    const char* asked = std::getenv("ZRV5_THREADS");
    bool refused = false;
    const std::int32_t workers =
        band_workers_for(asked, std::thread::hardware_concurrency(), &refused);
    if (refused) {
        std::fprintf(stderr, "zrv5: ZRV5_THREADS=%s is not a number from 1 to %d; using %d\n",
                     asked, MAX_BAND_WORKERS, workers);
    }
    return workers;
}

class BandPool {
public:
    explicit BandPool(std::int32_t workers) : workers_(workers) {
        for (std::int32_t i = 1; i < workers; ++i) {
            try {
                threads_.emplace_back(&BandPool::serve, this);
            } catch (const std::system_error&) {
                break;  // fewer threads: the calling thread takes more bands
            }
        }
        workers_ = static_cast<std::int32_t>(threads_.size()) + 1;
    }
    std::int32_t workers() const { return workers_; }

    // One run at a time: a second caller waits for the first run to end.
    void run(BandRoutine routine, void* argument, std::int32_t count) {
        std::lock_guard<std::mutex> one_run(run_lock_);
        std::uint64_t run_number = 0;
        {
            std::lock_guard<std::mutex> hold(lock_);
            routine_ = routine;
            argument_ = argument;
            count_ = count;
            next_band_ = 0;
            ended_ = 0;
            run_number = ++generation_;
        }
        wake_.notify_all();
        take_bands(run_number, routine, argument);
        std::unique_lock<std::mutex> hold(lock_);
        all_ended_.wait(hold, [&] { return ended_ == count_; });
    }

private:
    // Runs bands of run `run_number` until none is left, counting each one ended. A band is handed
    // out under the lock and only for the run it belongs to: a worker that comes late from an
    // earlier run, whose bands have all ended, finds the run number changed and takes nothing.
    void take_bands(std::uint64_t run_number, BandRoutine routine, void* argument) {
        for (;;) {
            std::int32_t band = 0;
            {
                std::lock_guard<std::mutex> hold(lock_);
                if (generation_ != run_number || next_band_ >= count_) {
                    return;
                }
                band = next_band_++;
            }
            routine(argument, band);
            std::lock_guard<std::mutex> hold(lock_);
            if (++ended_ == count_) {
                all_ended_.notify_one();
            }
        }
    }

    // A worker: waits for each run and takes bands of it. Workers live as long as the process.
    void serve() {
        std::uint64_t seen = 0;
        for (;;) {
            BandRoutine routine = nullptr;
            void* argument = nullptr;
            {
                std::unique_lock<std::mutex> hold(lock_);
                wake_.wait(hold, [&] { return generation_ != seen; });
                seen = generation_;
                routine = routine_;
                argument = argument_;
            }
            take_bands(seen, routine, argument);
        }
    }

    std::int32_t workers_;
    std::vector<std::thread> threads_;
    std::mutex run_lock_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable all_ended_;
    std::uint64_t generation_ = 0;
    BandRoutine routine_ = nullptr;
    void* argument_ = nullptr;
    std::int32_t count_ = 0;
    std::int32_t ended_ = 0;
    std::int32_t next_band_ = 0;
};

// Never destroyed: its threads wait for work until the process ends, and a destroyed std::thread
// that still runs would end the process.
BandPool* pool = nullptr;
std::once_flag pool_made;

BandPool& band_pool() {
    std::call_once(pool_made, [] { pool = new BandPool(workers_wanted()); });
    return *pool;
}

}  // namespace

std::int32_t band_workers_for(const char* asked, unsigned cores, bool* refused) {
    *refused = false;
    if (asked != nullptr && asked[0] != '\0') {
        std::int32_t value = 0;
        const char* digit = asked;
        for (; *digit >= '0' && *digit <= '9' && value <= MAX_BAND_WORKERS; ++digit) {
            value = value * 10 + (*digit - '0');
        }
        if (*digit == '\0' && value >= 1 && value <= MAX_BAND_WORKERS) {
            return value;
        }
        *refused = true;
    }
    return static_cast<std::int32_t>(std::clamp<unsigned>(cores, 1, MAX_BAND_WORKERS));
}

std::int32_t platform_band_workers() { return band_pool().workers(); }

void platform_run_bands(BandRoutine routine, void* argument, std::int32_t count) {
    if (count <= 1) {
        for (std::int32_t band = 0; band < count; ++band) {
            routine(argument, band);
        }
        return;
    }
    band_pool().run(routine, argument, count);
}
