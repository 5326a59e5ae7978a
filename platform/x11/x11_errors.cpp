// X errors. Xlib reports every error of every connection of the process to one handler, on the
// thread whose request failed. The expected ones below are a normal part of following windows that
// other clients own; each request's caller checks its own result where it matters
// (x11_take_error). Anything else is a fault of ours or of the server: it is printed once to
// standard error, named, and counted, and the end-to-end tests fail on such a line.
#include "platform/x11/x11_errors.h"

#include <X11/Xlib.h>

#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace {

constexpr int FIRST_EXTENSION_OPCODE = 128;
constexpr int NAME_SIZE = 128;

// The errors a running view expects, each with its reason.
struct ExpectedError {
    const char* request;
    const char* error;
    const char* reason;
};

constexpr ExpectedError EXPECTED_ERRORS[] = {
    // The target, or a window beneath the overlay, can vanish between two requests about it.
    {"X_GetWindowAttributes", "BadWindow", "the window was destroyed by its owner"},
    {"X_GetGeometry", "BadDrawable", "the window was destroyed by its owner"},
    {"X_GetGeometry", "BadWindow", "the window was destroyed by its owner"},
    {"X_TranslateCoords", "BadWindow", "the window was destroyed by its owner"},
    {"X_QueryPointer", "BadWindow", "the window was destroyed by its owner"},
    {"X_QueryTree", "BadWindow", "the window was destroyed by its owner"},
    // The window manager's check window names a manager that has gone away.
    {"X_GetProperty", "BadWindow", "the window manager went away"},
    {"X_GetImage", "BadDrawable", "the window was destroyed by its owner"},
    // An image of a window that was unmapped just now cannot be read.
    {"X_GetImage", "BadMatch", "the window was unmapped by its owner"},
    {"X_ShmGetImage", "BadMatch", "the window was unmapped by its owner"},
    {"X_ShmGetImage", "BadDrawable", "the window was destroyed by its owner"},
    // A present sent while another client destroyed the overlay; its destruction ends the view.
    {"X_ShmPutImage", "BadDrawable", "another client destroyed the overlay"},
    {"X_PutImage", "BadDrawable", "another client destroyed the overlay"},
    // The capture keeps a picture per window; the server frees it with a destroyed window.
    {"RenderCreatePicture", "BadDrawable", "the window was destroyed by its owner"},
    {"RenderCreatePicture", "BadWindow", "the window was destroyed by its owner"},
    {"RenderComposite", "RenderBadPicture", "the picture's window was destroyed"},
    {"RenderFreePicture", "RenderBadPicture", "the picture's window was destroyed"},
    // The capture follows each composed window's damage; the window can go before its damage
    // object is made, and the server frees that object with the window before we do.
    {"XDamageCreate", "BadDrawable", "the window was destroyed by its owner"},
    {"XDamageCreate", "BadWindow", "the window was destroyed by its owner"},
    {"XDamageDestroy", "BadDamage", "the server freed it with its destroyed window"},
    // A compositing manager redirects the root's children manually already, and only one client
    // may: the capture then reads through the manager's redirection.
    {"CompositeRedirectWindow", "BadAccess", "a compositing manager redirects the windows"},
    // A server on another machine cannot attach our shared memory; the image then goes plain.
    {"X_ShmAttach", "BadAccess", "the server does not share memory with this program"},
    // The hotkey, a passive grab, may already belong to another client.
    {"X_GrabKey", "BadAccess", "another client holds Super+Escape"},
    // The error box takes the focus once mapped; a window manager may have unmapped it first.
    {"X_SetInputFocus", "BadMatch", "the box was not viewable when the focus was asked for"},
};

// The extensions whose requests and errors may be named: their major opcode and first error.
struct Extension {
    const char* name;
    int major = 0;
    int first_error = 0;
};

Extension extensions[] = {{"Composite"}, {"RENDER"},          {"XFIXES"}, {"SHAPE"},
                          {"MIT-SHM"},   {"XInputExtension"}, {"DAMAGE"}, {"XKEYBOARD"}};
std::once_flag extensions_learnt;

// Names that the error database of libX11 lacks, keyed as it keys them.
struct OwnName {
    const char* key;
    const char* name;
};

constexpr OwnName REQUEST_NAMES[] = {
    {"Composite.0", "CompositeQueryVersion"},
    {"Composite.1", "CompositeRedirectWindow"},
    {"Composite.2", "CompositeRedirectSubwindows"},
    {"Composite.3", "CompositeUnredirectWindow"},
    {"Composite.4", "CompositeUnredirectSubwindows"},
    {"Composite.5", "CompositeCreateRegionFromBorderClip"},
    {"Composite.6", "CompositeNameWindowPixmap"},
    {"Composite.7", "CompositeGetOverlayWindow"},
    {"Composite.8", "CompositeReleaseOverlayWindow"},
    {"XFIXES.31", "XFixesCreatePointerBarrier"},
    {"XFIXES.32", "XFixesDestroyPointerBarrier"},
};

constexpr OwnName ERROR_NAMES[] = {
    {"XFIXES.1", "BadBarrier"},
};

// Returns our own name for `key`, or `fallback` when we have none either.
template <std::size_t N>
std::string own_name(const OwnName (&names)[N], const std::string& key,
                     const std::string& fallback) {
    for (const OwnName& entry : names) {
        if (key == entry.key) {
            return entry.name;
        }
    }
    return fallback;
}

thread_local int last_error = 0;
std::atomic<unsigned> unexpected_count{0};
std::atomic<bool> display_lost{false};
std::mutex printed_lock;
std::set<std::pair<std::string, std::string>> printed;

// Learns the opcodes of the extensions once, on the first connection watched; they are the
// server's, the same on every connection.
void learn_extensions(Display* display) {
    for (Extension& extension : extensions) {
        int first_event = 0;
        if (!XQueryExtension(display, extension.name, &extension.major, &first_event,
                             &extension.first_error)) {
            extension.major = 0;
            extension.first_error = 0;
        }
    }
}

// Returns the name of the failed request as the error database gives it ("X_GetImage",
// "RenderComposite"), or its codes when the database has none.
std::string request_name(Display* display, const XErrorEvent& error) {
    char name[NAME_SIZE] = {};
    std::string key = std::to_string(error.request_code);
    std::string fallback = "request " + key;
    if (error.request_code >= FIRST_EXTENSION_OPCODE) {
        fallback += "." + std::to_string(error.minor_code);
        for (const Extension& extension : extensions) {
            if (extension.major == error.request_code) {
                key = std::string(extension.name) + "." + std::to_string(error.minor_code);
                fallback =
                    std::string(extension.name) + " request " + std::to_string(error.minor_code);
            }
        }
    }
    fallback = own_name(REQUEST_NAMES, key, fallback);
    XGetErrorDatabaseText(display, "XRequest", key.c_str(), fallback.c_str(), name, NAME_SIZE);
    return name;
}

// Returns the error's name, the first word of the database's text ("BadMatch",
// "RenderBadPicture"), or its code when the database has none.
std::string error_name(Display* display, const XErrorEvent& error) {
    char text[NAME_SIZE] = {};
    std::string key = std::to_string(error.error_code);
    const Extension* owner = nullptr;
    for (const Extension& extension : extensions) {
        if (extension.first_error > 0 && error.error_code >= extension.first_error &&
            (owner == nullptr || extension.first_error > owner->first_error)) {
            owner = &extension;
        }
    }
    if (owner != nullptr) {
        key =
            std::string(owner->name) + "." + std::to_string(error.error_code - owner->first_error);
    }
    const std::string fallback =
        own_name(ERROR_NAMES, key, "error " + std::to_string(error.error_code));
    XGetErrorDatabaseText(display, "XProtoError", key.c_str(), fallback.c_str(), text, NAME_SIZE);
    const std::string name = text;
    return name.substr(0, name.find(' '));
}

int error_handler(Display* display, XErrorEvent* error) {
    last_error = error->error_code;
    const std::string request = request_name(display, *error);
    const std::string name = error_name(display, *error);
    if (x11_error_expected(request.c_str(), name.c_str())) {
        return 0;
    }
    ++unexpected_count;
    const std::lock_guard<std::mutex> hold(printed_lock);
    if (printed.emplace(request, name).second) {
        std::fprintf(stderr, "zrv5: unexpected X error %s in %s (resource 0x%lx)\n", name.c_str(),
                     request.c_str(), error->resourceid);
    }
    return 0;
}

// The connection is gone (the server ended or dropped us): nothing more can be drawn or read, so
// the program ends at once with one line of explanation, whichever thread noticed first.
[[noreturn]] void end_on_display_loss() {
    if (!display_lost.exchange(true)) {
        static const char message[] = "zrv5: lost the connection to the X display\n";
        const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
        (void)written;
    }
    _exit(X11_EXIT_NO_DISPLAY);
}

int io_error_handler(Display*) { end_on_display_loss(); }

void io_error_exit_handler(Display*, void*) { end_on_display_loss(); }

}  // namespace

bool x11_error_expected(const char* request, const char* error) {
    for (const ExpectedError& expected : EXPECTED_ERRORS) {
        if (std::strcmp(expected.request, request) == 0 &&
            std::strcmp(expected.error, error) == 0) {
            return true;
        }
    }
    return false;
}

int x11_take_error() {
    const int error = last_error;
    last_error = 0;
    return error;
}

unsigned x11_unexpected_errors() { return unexpected_count.load(); }

void x11_watch_connection(Display* display) {
    std::call_once(extensions_learnt, learn_extensions, display);
    XSetErrorHandler(error_handler);
    XSetIOErrorHandler(io_error_handler);
    XSetIOErrorExitHandler(display, io_error_exit_handler, nullptr);
}
