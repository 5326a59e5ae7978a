// Threads of the seam on std::thread, with a bounded wait. A started routine runs on a thread kept
// for the purpose when that thread is idle, since starting and ending a thread costs more than a
// grab's requests; while it is still busy (with a grab that outlived its wait), the routine gets a
// thread of its own. What the backend does as a routine ends (the X11 backend gives the thread's
// connection back) is set through posix_set_routine_end.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/platform.h"
#include "platform/posix/posix_thread.h"

namespace {

void (*routine_end)() = nullptr;  // constant-initialised, so set safely by a static initializer

// What the starter and the thread share; it lives until both have let go.
struct ThreadEnd {
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
};

// Runs a routine and then the backend's end action, before the end is announced, so that the next
// thread finds what the action gave back free.
void run_routine(ThreadRoutine routine, void* argument) {
    routine(argument);
    if (routine_end != nullptr) {
        routine_end();
    }
}

void announce_end(ThreadEnd& end) {
    std::lock_guard<std::mutex> hold(end.lock);
    end.done = true;
    end.ended.notify_all();
}

// The kept thread and the routine handed to it. Made once and never destroyed: the thread waits on
// it until the process ends.
struct KeptThread {
    std::mutex lock;
    std::condition_variable handed;
    bool started = false;
    bool busy = false;  // a routine is handed over or running
    ThreadRoutine routine = nullptr;
    void* argument = nullptr;
    std::shared_ptr<ThreadEnd> end;

    void serve() {
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            handed.wait(hold, [this] { return routine != nullptr; });
            const ThreadRoutine running = routine;
            void* const with = argument;
            const std::shared_ptr<ThreadEnd> ending = std::move(end);
            routine = nullptr;
            hold.unlock();
            run_routine(running, with);
            hold.lock();
            // Idle before the end is announced: whoever waited for this routine finds the thread
            // free for the next.
            busy = false;
            hold.unlock();
            announce_end(*ending);
            hold.lock();
        }
    }
};

KeptThread* const kept_thread = new KeptThread;

// Hands the routine to the kept thread, starting it on first use; false when it is busy or cannot
// be started.
bool hand_to_kept_thread(ThreadRoutine routine, void* argument,
                         const std::shared_ptr<ThreadEnd>& end) {
    KeptThread& kept = *kept_thread;
    std::lock_guard<std::mutex> hold(kept.lock);
    if (kept.busy) {
        return false;
    }
    if (!kept.started) {
        try {
            std::thread([&kept] { kept.serve(); }).detach();
        } catch (const std::system_error&) {
            return false;
        }
        kept.started = true;
    }
    kept.busy = true;
    kept.routine = routine;
    kept.argument = argument;
    kept.end = end;
    kept.handed.notify_one();
    return true;
}

}  // namespace

void posix_set_routine_end(void (*action)()) { routine_end = action; }

struct PlatformThread {
    std::shared_ptr<ThreadEnd> end;
};

ThreadHandle platform_start_thread(ThreadRoutine routine, void* argument) {
    auto end = std::make_shared<ThreadEnd>();
    if (hand_to_kept_thread(routine, argument, end)) {
        return new PlatformThread{end};
    }
    try {
        std::thread([routine, argument, end] {
            run_routine(routine, argument);
            announce_end(*end);
        }).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    return new PlatformThread{end};
}

bool platform_wait_thread(ThreadHandle thread, std::uint32_t timeout_ms) {
    if (thread == nullptr) {
        return false;
    }
    std::unique_lock<std::mutex> hold(thread->end->lock);
    return thread->end->ended.wait_for(hold, std::chrono::milliseconds(timeout_ms),
                                       [&] { return thread->end->done; });
}

void platform_close_thread(ThreadHandle thread) { delete thread; }
