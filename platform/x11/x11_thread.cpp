// Threads of the seam on std::thread with a bounded wait, and each thread's own X connection:
// Xlib allows one connection to serve several threads after XInitThreads, but a grab thread that
// outlives its wait must not hold the GUI thread's connection locked.
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

// Closes the thread's connection when the thread ends without having closed it.
struct ThreadConnection {
    Display* display = nullptr;
    ~ThreadConnection() {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
};

thread_local ThreadConnection thread_connection;

// What the starter and the thread share; it lives until both have let go.
struct ThreadEnd {
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
};

}  // namespace

struct PlatformThread {
    std::shared_ptr<ThreadEnd> end;
};

bool x11_on_gui_thread() { return std::this_thread::get_id() == gui_thread_id; }

Display* x11_thread_display() {
    if (x11_on_gui_thread()) {
        return x11.display;
    }
    if (thread_connection.display == nullptr) {
        Display* display = XOpenDisplay(x11.display_name.c_str());
        if (display == nullptr) {
            return nullptr;
        }
        x11_watch_connection(display);
        // The XFIXES requests of a connection work only after it has announced its version.
        int major = 0;
        int minor = 0;
        XFixesQueryVersion(display, &major, &minor);
        thread_connection.display = display;
    }
    return thread_connection.display;
}

void x11_close_thread_display() {
    if (thread_connection.display != nullptr) {
        XCloseDisplay(thread_connection.display);
        thread_connection.display = nullptr;
    }
}

ThreadHandle platform_start_thread(ThreadRoutine routine, void* argument) {
    auto end = std::make_shared<ThreadEnd>();
    try {
        std::thread([routine, argument, end] {
            routine(argument);
            // Closed before the end is announced, so a waiter sees no connection of ours left.
            x11_close_thread_display();
            std::lock_guard<std::mutex> hold(end->lock);
            end->done = true;
            end->ended.notify_all();
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
