// Threads of the seam on std::thread with a bounded wait, and the X connection of threads other
// than the GUI thread: one connection that they hand over under a lock, so that a grab costs
// requests rather than a connection. It is never the GUI thread's: a grab thread that outlives its
// wait holds only this lock, which the GUI thread never takes. A thread that finds it taken (by
// such a late thread) opens a connection of its own for its life.
//
// A started routine runs on a thread kept for the purpose when that thread is idle, since starting
// and ending a thread costs more than a grab's requests; while it is still busy (with a late
// grab), the routine gets a thread of its own, as every routine did before.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/x11/x11_internal.h"

namespace {

std::thread::id gui_thread_id = std::this_thread::get_id();

// The threads' shared connection, opened by the first thread that takes it and kept open.
std::mutex shared_connection_lock;     // held by the thread that uses the connection
Display* shared_connection = nullptr;  // under the lock

// The calling thread's connection: the shared one, given back when the thread ends, or its own,
// closed then.
struct ThreadConnection {
    Display* display = nullptr;
    bool shared = false;

    void give_back() {
        if (display == nullptr) {
            return;
        }
        if (shared) {
            shared_connection_lock.unlock();
        } else {
            XCloseDisplay(display);
        }
        display = nullptr;
        shared = false;
    }
    ~ThreadConnection() { give_back(); }
};

thread_local ThreadConnection thread_connection;

// Opens a connection for threads other than the GUI thread; null when none opens.
Display* open_connection() {
    Display* display = XOpenDisplay(x11.display_name.c_str());
    if (display == nullptr) {
        return nullptr;
    }
    x11_watch_connection(display);
    // The XFIXES requests of a connection work only after it has announced its version.
    int major = 0;
    int minor = 0;
    XFixesQueryVersion(display, &major, &minor);
    return display;
}

// What the starter and the thread share; it lives until both have let go.
struct ThreadEnd {
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
};

// Runs a routine, gives the thread's connection back, and announces the end.
void run_routine(ThreadRoutine routine, void* argument, ThreadEnd& end) {
    routine(argument);
    // Given back before the end is announced, so that the next thread finds it free.
    thread_connection.give_back();
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
            run_routine(running, with, *ending);
            hold.lock();
            busy = false;
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

struct PlatformThread {
    std::shared_ptr<ThreadEnd> end;
};

bool x11_on_gui_thread() { return std::this_thread::get_id() == gui_thread_id; }

Display* x11_thread_display() {
    if (x11_on_gui_thread()) {
        return x11.display;
    }
    if (thread_connection.display != nullptr) {
        return thread_connection.display;
    }
    if (shared_connection_lock.try_lock()) {
        if (shared_connection == nullptr) {
            shared_connection = open_connection();
        }
        if (shared_connection == nullptr) {
            shared_connection_lock.unlock();
            return nullptr;
        }
        thread_connection.display = shared_connection;
        thread_connection.shared = true;
    } else {
        thread_connection.display = open_connection();
    }
    return thread_connection.display;
}

ThreadHandle platform_start_thread(ThreadRoutine routine, void* argument) {
    auto end = std::make_shared<ThreadEnd>();
    if (hand_to_kept_thread(routine, argument, end)) {
        return new PlatformThread{end};
    }
    try {
        std::thread([routine, argument, end] { run_routine(routine, argument, *end); }).detach();
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
