// State and helpers shared by the X11 backend's files; nothing outside platform/x11/ includes it.
// The backend keeps one record, `x11`, owned by the GUI thread; grab threads use only their own
// connection (x11_thread_display) and the pointer-image and thread functions.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrender.h>

#include <algorithm>
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
    // The image read bottom-up, as the core's surfaces are.
    Surface bottom_up() const {
        return image == nullptr ? Surface{} : Surface{row(height - 1), width, height, -stride()};
    }
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

    Window overlay = 0;  // 0 before creation and after destruction
    GC overlay_gc = nullptr;
    bool capture_wanted = false;  // the pointer grab is asked for (and retried until it holds)
    bool capture_held = false;

    Window background_window = 0;  // the root background for the capture (x11_capture.cpp)
    // Another client (a compositing manager, a Wayland compositor's X window manager) redirects
    // the root's children: the capture uses its redirection (x11_capture.cpp).
    bool beside_compositing_manager = false;
};

extern X11State x11;

// Whether two rectangles share a pixel.
inline bool x11_overlap(const Rect& a, const Rect& b) {
    return std::int64_t{a.x} < std::int64_t{b.x} + b.width &&
           std::int64_t{b.x} < std::int64_t{a.x} + a.width &&
           std::int64_t{a.y} < std::int64_t{b.y} + b.height &&
           std::int64_t{b.y} < std::int64_t{a.y} + a.height;
}

// Returns the part of `area` inside `bounds` (width and height 0 when none).
inline Rect x11_clip(const Rect& area, const Rect& bounds) {
    const std::int64_t left = std::max<std::int64_t>(area.x, bounds.x);
    const std::int64_t top = std::max<std::int64_t>(area.y, bounds.y);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{area.x} + area.width,
                                                      std::int64_t{bounds.x} + bounds.width);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{area.y} + area.height,
                                                       std::int64_t{bounds.y} + bounds.height);
    if (left >= right || top >= bottom) {
        return Rect{};
    }
    return Rect{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                static_cast<std::int32_t>(right - left), static_cast<std::int32_t>(bottom - top)};
}

// A pointer image of the seam: premultiplied ARGB pixels, rows top-down, and the hot spot. Grabs
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

// --- x11_thread_connection.cpp ---

// Returns the calling thread's connection: the GUI thread's, or the one that other threads share,
// taken on first use and given back when the thread's routine ends; while a late thread still
// holds it, one of the thread's own. Null when none opens.
Display* x11_thread_display();
bool x11_on_gui_thread();
// Gives the calling thread's connection back (the shared one) or closes it (its own).
void x11_give_back_thread_display();

// --- x11_image.cpp ---

bool x11_create_image(X11Image& image, std::int32_t width, std::int32_t height);
void x11_destroy_image(X11Image& image);
// Sends the width x height rectangle at (x, y) of the image to (to_x, to_y) of the drawable. The
// image's memory may be drawn into again only once the server has read it (x11_present_wait).
// With `announce`, the server sends a completion event once it has read a shared image; returns
// whether it will (a plain image's pixels go in the request, and nothing is awaited for them).
bool x11_put_image(X11Image& image, Drawable drawable, GC gc, std::int32_t x, std::int32_t y,
                   std::int32_t to_x, std::int32_t to_y, std::int32_t width, std::int32_t height,
                   bool announce = false);
// Reads rows top .. top + rows - 1 of the image's width from the same rows of the drawable.
bool x11_get_image_rows(X11Image& image, Drawable drawable, std::int32_t top, std::int32_t rows);

// --- x11_capture.cpp ---

// Redirects the root's children offscreen and creates the background window; before the overlay.
bool x11_start_capture();
// Reads what the screen shows beneath the overlay in the rectangle and returns its first pixel
// (rows top-down, *stride pixels apart, top bytes the server's pad: not the picture's), in memory
// of the capture's own that stays valid until the next capture; null when the server could not
// give it. Parts outside the screen read black. *fresh says which rows were read anew (one flag
// per row; the others hold what the last capture of the same rectangle read, and the screen has
// not changed there since), or is null when every row was.
Pixel* x11_capture(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                   std::ptrdiff_t* stride, const std::uint8_t** fresh);
// Composes the same capture in a picture of the server's (RENDER) and returns the Picture, valid
// until the next capture, or 0; nothing is read back. *fresh as above.
XID x11_capture_in_server(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                          const std::uint8_t** fresh);
// Takes note of an event of the root's children or of their damage: a destroyed window's
// resources are forgotten; what damage does not report makes the next capture whole.
void x11_capture_note(const XEvent& event);
// Makes the next capture read everything.
void x11_capture_whole();
// Follows a change of the root's size (x11.width, x11.height read anew): the root background and
// the rows damage is noted in take the new size, and the next capture reads everything.
void x11_capture_follow_root();
void x11_stop_capture();

// --- x11_top_levels.cpp ---

// What a capture needs to know of a top-level window: where it is, and its visual.
struct TopLevel {
    Window window = 0;
    int x = 0;  // the outer edge, border included
    int y = 0;
    int width = 0;  // inside the border
    int height = 0;
    int border = 0;
    VisualID visual = 0;
};

// Returns the children of the root that a capture composes, bottom to top, the background window
// first: those viewable and InputOutput, other than the overlay. A window destroyed while it is
// asked about is left out.
const std::vector<TopLevel>& x11_top_levels();
// Returns the list that x11_top_levels gave last.
const std::vector<TopLevel>& x11_known_top_levels();
// Returns the window that an event of the root's structure (mapped, unmapped, configured,
// reparented, circulated, moved by gravity, destroyed) is about; 0 for any other event.
Window x11_structure_window(const XEvent& event);

// --- x11_loop.cpp ---

// Handles one event that is not the message box's own (pointer grab, keys, destruction, exposure,
// the monitors, the root's children, the presents read).
void x11_handle_event(XEvent& event);
// Tells the core of the first timer that is due and says whether there was one; how long a loop
// may wait for an event before the next timer or look is due. For the error box's own loop too.
bool x11_run_due_timer();
int x11_loop_wait_ms();

// --- x11_present.cpp ---

// Waits until the server has read what the last presents sent, unless it has already said so:
// the images they came from may then be drawn into again.
void x11_present_wait();
// Notes an event: the server's word that it has read a present's rows.
void x11_present_note(const XEvent& event);
// The server lost the overlay's contents (an exposure, a new size): the next frame is made whole.
void x11_present_exposed();

// --- x11_server_scale.cpp ---

// The whole-factor image, drawn by the server: composes the capture of frame.source and scales it
// by frame.factor onto `overlay` at frame.image: all of it when `whole`, else the rows damage
// reports; the areas drawn are added to `drawn`. False when the server could not compose it.
bool x11_scale_image(Picture overlay, const Frame& frame, bool whole, std::vector<Rect>& drawn);
// Draws the scaled image again in `area` of the overlay (what a cursor covered).
void x11_scale_restore(Picture overlay, const Rect& area, std::vector<Rect>& drawn);

// --- x11_client_stretch.cpp ---

// Pixels seen top-down: row y starts at base + y * stride.
struct PixelRows {
    Pixel* base = nullptr;
    std::ptrdiff_t stride = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    Pixel* row(std::int32_t y) const { return base + y * stride; }
};
// Stretches the source into the destination, destination pixel (x, y) taking source pixel
// (x * source width / destination width, y * source height / destination height) without its
// pad byte: only the rows whose source row is fresh, when `fresh` is given; sets made[y] for every
// row y made. In bands of rows on the band workers when large.
void x11_stretch(const PixelRows& destination, const PixelRows& source, const std::uint8_t* fresh,
                 std::vector<std::uint8_t>& made);

// --- x11_window.cpp ---

// Marks the overlay gone and tells the core of its destruction (once).
void x11_overlay_destroyed();
// The pointer grab that stands for the mouse capture: whether it is wanted and not held (another
// client holds one: the loop asks again), and the attempt, true when it holds.
bool x11_grab_pending();
bool x11_try_grab();
// Takes (or gives back) Super+Escape on the root, which ends the wait for the click and the error
// box; whether an event is its press.
void x11_hold_exit_key(bool hold);
bool x11_is_exit_key(const XEvent& event);
// Notes an event of the root's structure that may have put a window above the overlay, so that
// the next tick raises it again.
void x11_stacking_note(const XEvent& event);
// Returns the innermost window at the root point, searching down from `from` (the root, or a
// window named by the command line).
Window x11_innermost_at(Window from, Point root_point);

// --- x11_screen_box.cpp ---

// Chooses the monitor the view fills and asks for RandR's change notifications; at start-up.
Box x11_measure_monitor();
// The view's monitor in root coordinates: where the overlay lies.
Box x11_monitor_box();
// Follows a RandR change notification (the overlay moves with its monitor and takes its size, or
// the view ends); false for any other event.
bool x11_monitor_event(XEvent& event);
// Reads the monitors again as a change would, for servers that report no change of a monitor
// alone (xrandr --delmonitor sends no event on Xvfb); the loop calls it every MONITOR_LOOK_MS.
constexpr std::int64_t MONITOR_LOOK_MS = 1000;
void x11_monitor_look();
// Whether the view ended because its monitor went away.
bool x11_monitor_lost();

// --- x11_start.cpp ---

// The view started by the command line. x11_check_start runs once the display is open: it says
// in one line why a named window cannot be viewed and returns the exit code, or 0.
struct StartOptions;
void x11_set_start(const StartOptions& options);
int x11_check_start();
// Whether the view waits for a start of the command line's rather than for a click.
bool x11_start_scripted();
// Called by the loop on every pass while that start is due: starts the view once its window is
// there, or ends the wait; returns how long the loop may wait until it looks again (-1: no more).
std::int64_t x11_start_look(std::int64_t now_ms);
// Takes the events that may bring the awaited window.
void x11_start_note(const XEvent& event);
// Whether the wait ended without a window (its time was up).
bool x11_start_timed_out();
// Whether the window named on the command line was gone by the time of the pick (said in one line).
bool x11_start_refused();

// --- x11_init.cpp ---

// What x11_start_up returns when the program goes on into the core's entry.
constexpr int X11_STARTED = -1;
// Answers the command line, opens and checks the display, checks a named window and starts the
// capture; returns X11_STARTED, or the exit code when the program ends here (having said why).
int x11_start_up(int argc, char** argv);
// Stops the capture and closes the display after the core's entry returned `code`; returns the
// program's exit code.
int x11_end(std::int32_t code);
