// The X connection of threads other than the GUI thread: one connection that they hand over under
// a lock, so that a grab costs requests rather than a connection. It is never the GUI thread's: a
// grab thread that outlives its wait holds only this lock, which the GUI thread never takes. A
// thread that finds it taken (by such a late thread) opens a connection of its own for its life.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <mutex>
#include <thread>

#include "platform/posix/posix_thread.h"
#include "platform/x11/x11_platform.h"

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

// Each started routine gives its thread's connection back as it ends.
[[maybe_unused]] const bool routine_end_set =
    (posix_set_routine_end(x11_give_back_thread_display), true);

}  // namespace

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

void x11_give_back_thread_display() { thread_connection.give_back(); }
