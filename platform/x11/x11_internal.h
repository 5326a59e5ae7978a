// State and helpers shared by the X11 backend's files; nothing outside platform/x11/ includes it.
// The backend keeps one record, `x11`, owned by the GUI thread; grab threads use only their own
// connection (x11_thread_display) and the cursor and thread functions.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/x11/x11_errors.h"

// A client-side 32-bit image, presented or filled through MIT-SHM when the server shares memory
// with us and through plain image requests otherwise (a display on another machine).
struct X11Image {
    XImage* image = nullptr;
    XShmSegmentInfo segment{};
    bool shared = false;
    std::int32_t width = 0;
    std::int32_t height = 0;

    // Returns the first pixel of row y (rows top-down).
    Pixel* row(std::int32_t y) const {
        return reinterpret_cast<Pixel*>(image->data +
                                        static_cast<std::ptrdiff_t>(y) * image->bytes_per_line);
    }
    std::ptrdiff_t stride() const { return image->bytes_per_line / 4; }
};

struct X11State {
    Display* display = nullptr;  // the GUI thread's connection
    std::string display_name;    // for the connections of other threads
    int screen = 0;
    Window root = 0;
    Visual* visual = nullptr;
    int depth = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool shm = false;  // MIT-SHM usable with this server

    Window overlay = 0;      // 0 before creation and after destruction
    X11Image overlay_image;  // what the overlay shows, presented when its context is released
    GC overlay_gc = nullptr;
    bool capture_wanted = false;  // the pointer grab is asked for (and retried until it holds)
    bool capture_held = false;

    Window background_window = 0;  // the root background for the capture (x11_capture.cpp)
};

extern X11State x11;

// A bitmap of the seam: a surface's pixel memory, bottom-up (storage row 0 is the bottom row).
struct PlatformBitmap {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Pixel> pixels;
};

// A cursor image of the seam: premultiplied ARGB pixels, rows top-down, and the hot spot. Grabs
// make private copies (released by platform_release_cursor); the standard arrow is shared and never
// is.
struct PlatformCursorImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t hot_x = 0;
    std::int32_t hot_y = 0;
    std::vector<std::uint32_t> argb;
    bool shared = false;
};

// --- x11_thread.cpp ---

// Returns the calling thread's connection: the GUI thread's, or one of the thread's own, opened on
// first use and closed when the thread ends (or by x11_close_thread_display). Null when none opens.
Display* x11_thread_display();
void x11_close_thread_display();
bool x11_on_gui_thread();

// --- x11_image.cpp ---

bool x11_create_image(X11Image& image, std::int32_t width, std::int32_t height);
void x11_destroy_image(X11Image& image);
// Sends the rectangle of the image to the same place of the drawable. The image's memory may be
// drawn into again only after an XSync: until then the server may still be reading it.
void x11_put_image(X11Image& image, Drawable drawable, GC gc, std::int32_t x, std::int32_t y,
                   std::int32_t width, std::int32_t height);
// Reads the image's size from (0, 0) of the drawable; false when the server refuses.
bool x11_get_image(X11Image& image, Drawable drawable);

// --- x11_capture.cpp ---

// Redirects the root's children offscreen and creates the background window; before the overlay.
bool x11_start_capture();
// Reads what the screen shows beneath the overlay in the rectangle and returns its first pixel
// (rows top-down, *stride pixels apart, top bytes 0), in memory of the capture's own that stays
// valid until the next capture; null when the server could not give it. Parts outside the screen
// read black.
Pixel* x11_capture(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                   std::ptrdiff_t* stride);
// Forgets what the capture keeps of a destroyed window.
void x11_capture_forget(Window window);
void x11_stop_capture();

// --- x11_loop.cpp ---

// Handles one event that is not the message box's own (pointer grab, destruction, exposure).
void x11_handle_event(XEvent& event);
// Takes the pointer grab when it is wanted and not yet held; true when it holds.
bool x11_try_grab();

// --- x11_draw.cpp ---

// Sends a rectangle of the overlay image (a part the server has lost) and waits until the server
// has it.
void x11_present_overlay(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);

// --- x11_window.cpp ---

// Marks the overlay gone and delivers its destruction message (once).
void x11_overlay_destroyed();
