// The platform seam, both ways: the two functions the core provides to every backend (its entry and
// the overlay's window procedure), then everything the core asks of a window system, a graphics
// system and the OS. Exactly one backend (win32, x11, or the recording test platform) implements
// the second part in a build; the core includes only this header, never an OS header.
#pragma once

#include <cstdint>
#include <string>

#include "vocabulary/geometry.h"
#include "vocabulary/handles.h"
#include "vocabulary/pixel.h"

// The messages the overlay's window procedure handles, with the window system's codes.
constexpr std::uint32_t MSG_CREATE = 1;
constexpr std::uint32_t MSG_DESTROY = 2;
constexpr std::uint32_t MSG_QUIT = 18;
constexpr std::uint32_t MSG_TIMER = 275;
constexpr std::uint32_t MSG_LBUTTONUP = 514;

// Packs a point as the left-button-up message carries it: x in the low 16 bits, y in the high 16
// bits, each a signed 16-bit value.
inline std::intptr_t pack_point(std::int32_t x, std::int32_t y) {
    const std::uint32_t low = static_cast<std::uint16_t>(x);
    const std::uint32_t high = static_cast<std::uint16_t>(y);
    return static_cast<std::intptr_t>(static_cast<std::int32_t>(low | (high << 16)));
}

// Unpacks the point of a left-button-up message, sign-extending each half.
inline Point unpack_point(std::intptr_t packed) {
    const auto bits = static_cast<std::uint32_t>(packed);
    return Point{static_cast<std::int16_t>(bits & 0xFFFFu),
                 static_cast<std::int16_t>((bits >> 16) & 0xFFFFu)};
}

// === What the core provides ==================================================================

// The program's entry, called by every backend's main or WinMain: starts the system, runs its
// message loop and returns the exit code: 0 when the window class cannot be registered, else the
// parameter of the quit message that ends the loop (0 after a view, 1 after a refused pick).
// `previous` is the previous-instance handle (none on every platform but old Windows); `show_state`
// is the entry's initial show state.
std::int32_t zrv5_main(InstanceHandle instance, InstanceHandle previous, std::int32_t show_state);

// The overlay's window procedure. Backends deliver the creation, destruction, quit, timer and
// left-button-up messages to it on the GUI thread, and any other message they have; its result is
// the message's result.
std::intptr_t overlay_window_procedure(WindowHandle window, std::uint32_t message,
                                       std::uintptr_t first, std::intptr_t second);

// Tells the core, on the GUI thread, that the screen the view fills has a new size and that the
// overlay already covers it: a running view is laid out again as at the pick (scale, effective
// mode, placement, surfaces, bands), keeping its target, the shared profile and the timer; before
// the pick, the pick lays out for the new size.
void overlay_screen_changed(WindowHandle overlay, std::int32_t width, std::int32_t height);

// === What the platform provides ==============================================================

// --- Start-up ---------------------------------------------------------------------------------

// Resolves the layered-attributes operation at run time; null when the platform lacks it.
LayeredAttributesOp platform_resolve_layered_attributes();

// Returns the full path of the running executable.
std::string platform_executable_path();

// Returns the text of `key` in `section` of the initialisation file at `path`, or `default_text`
// when the file or the key is missing; a key present with an empty value gives "".
std::string platform_read_setting(const std::string& path, const char* section, const char* key,
                                  const char* default_text);

// Returns the rectangle of the screen the view fills, in screen coordinates: the desktop window
// on Windows (the primary screen, at (0, 0)); one monitor on X11, which may lie elsewhere.
Box platform_screen_box();

// Registers the overlay's window class "ZRV5"; false when registration fails.
bool platform_register_class(InstanceHandle instance);

// Creates the overlay "ZRV5": covering the screen (width x height at the screen box's origin),
// always on top, input-transparent, invisible until made opaque. The creation message reaches
// overlay_window_procedure before this returns. The result may be none when creation fails.
WindowHandle platform_create_overlay(InstanceHandle instance, std::int32_t width,
                                     std::int32_t height);

// Shows the window with the entry's initial show state and updates it.
void platform_show_window(WindowHandle window, std::int32_t show_state);

// Runs the message loop of the GUI thread, dispatching each message to its window's procedure,
// until a quit message arrives; returns that message's parameter. A quit posted from elsewhere
// ends the loop without reaching any window procedure.
std::int32_t platform_run_message_loop();

// Gives a message the platform's default handling and returns its result.
std::intptr_t platform_default_procedure(WindowHandle window, std::uint32_t message,
                                         std::uintptr_t first, std::intptr_t second);

// --- Window system ----------------------------------------------------------------------------

// Makes the release of the next whole left-button click anywhere on the screen come to `window` as
// MSG_LBUTTONUP; false when the platform cannot watch the mouse for it.
bool platform_set_capture(WindowHandle window);

// Gives up the capture that platform_set_capture took.
void platform_release_capture();

// Converts a point from the window's client coordinates to screen coordinates.
Point platform_client_to_screen(WindowHandle window, Point point);

// Converts a point from screen coordinates to the window's client coordinates.
Point platform_screen_to_client(WindowHandle window, Point point);

// Returns the innermost visible window at a screen point, as found (not its parent); may be none.
WindowHandle platform_window_from_point(Point point);

// Shows a modal message box owned by `owner` with one OK button; returns when it is closed.
void platform_message_box(WindowHandle owner, const char* text, const char* caption);

// Returns the window's client rectangle (left and top are 0); all zero when the window is gone.
Box platform_client_box(WindowHandle window);

// Returns whether the window still exists (its window rectangle can be read).
bool platform_window_exists(WindowHandle window);

// Puts the window at the top of the always-on-top band without moving or resizing it.
void platform_keep_on_top(WindowHandle window);

// Makes the overlay fully opaque through the layered-attributes operation (colour key 0, alpha 255,
// alpha flag only). The core calls it only when the operation was resolved.
void platform_make_opaque(LayeredAttributesOp operation, WindowHandle window);

// Starts the periodic timer `id` on the window: MSG_TIMER arrives every `period_ms` milliseconds.
// The period is handed over unchanged; the platform decides what a period below 1 means.
void platform_set_timer(WindowHandle window, std::uint32_t id, std::int32_t period_ms);

// Stops the timer `id` of the window; nothing when it does not run.
void platform_kill_timer(WindowHandle window, std::uint32_t id);

// Destroys the window; its MSG_DESTROY has been handled when this returns. Nothing when it is gone.
void platform_destroy_window(WindowHandle window);

// Posts the quit message with `code` to the GUI thread's queue.
void platform_post_quit(std::int32_t code);

// Returns the pointer position in screen coordinates.
Point platform_cursor_position();

// --- Drawing ----------------------------------------------------------------------------------

// Returns the drawing context of the window's client area, or of the whole screen for none. The
// screen's context reads what the screen shows beneath the overlay, never the overlay itself.
DrawContext platform_get_context(WindowHandle window);

// Gives back a context taken by platform_get_context for the same window (or none).
void platform_release_context(WindowHandle window, DrawContext context);

// Copies the source rectangle into the destination rectangle, repeating source pixels where it
// enlarges (no smoothing).
void platform_stretch_copy(DrawContext destination, Rect to, DrawContext source, Rect from);

// Copies a width x height rectangle pixel for pixel.
void platform_copy(DrawContext destination, Point to, DrawContext source, Point from,
                   std::int32_t width, std::int32_t height);

// Paints a rectangle black.
void platform_fill_black(DrawContext destination, Rect area);

// Draws the cursor image with its own masks, its top-left corner at `at`, at the image's own size;
// nothing for none.
void platform_draw_cursor(DrawContext destination, Point at, CursorImage image);

// Creates a 32-bit bottom-up bitmap of width x height compatible with `reference` and stores its
// pixel memory in `pixels` (null on failure). Returns none on failure.
BitmapHandle platform_create_bitmap(DrawContext reference, std::int32_t width, std::int32_t height,
                                    Pixel** pixels);

// Creates a memory drawing context compatible with `reference`; none on failure.
DrawContext platform_create_memory_context(DrawContext reference);

// Deletes a memory context made by platform_create_memory_context; nothing for none.
void platform_delete_memory_context(DrawContext context);

// Selects the bitmap into the memory context, so copies to and from the context reach its pixels.
void platform_select_bitmap(DrawContext context, BitmapHandle bitmap);

// Says that the caller has written storage rows first .. first + count - 1 of the bitmap selected
// into the memory context through its pixel memory. Every such write after the bitmap's creation
// is reported, so that a platform may copy onwards only what changed.
void platform_note_written(DrawContext context, std::int32_t first, std::int32_t count);

// --- Cursor images ----------------------------------------------------------------------------

// Returns the identifier of the thread that owns the window; 0 when there is none.
std::uint32_t platform_window_thread(WindowHandle window);

// Returns the identifier of the calling thread.
std::uint32_t platform_current_thread();

// Joins (or, with false, parts) the input states of two threads where the platform needs that to
// read the other thread's pointer image; true on success. A platform whose pointer image is global
// joins nothing and fails only for no thread (0).
bool platform_attach_input(std::uint32_t own_thread, std::uint32_t other_thread, bool attach);

// Returns the pointer image shown under the pointer (of the joined input state, where the platform
// joins one); none when no pointer is shown.
CursorImage platform_current_cursor();

// Returns a private copy of the image that stays valid until platform_release_cursor; none on
// failure.
CursorImage platform_copy_cursor(CursorImage image);

// Reads the image's hot spot; on success also hands out its colour bitmap (none for a monochrome
// image) and mask bitmap, which the caller releases with platform_delete_bitmap.
bool platform_cursor_info(CursorImage image, std::int32_t* hot_x, std::int32_t* hot_y,
                          BitmapHandle* colour, BitmapHandle* mask);

// Releases a bitmap; nothing for none.
void platform_delete_bitmap(BitmapHandle bitmap);

// Releases a private copy made by platform_copy_cursor; nothing for none.
void platform_release_cursor(CursorImage image);

// Returns the platform's shared standard arrow; it is never released.
CursorImage platform_standard_arrow();

// --- Threads ----------------------------------------------------------------------------------

using ThreadRoutine = void (*)(void* argument);

// Starts a thread running routine(argument) at once; none when it cannot be started. The thread
// ends with exit code 0 when the routine returns.
ThreadHandle platform_start_thread(ThreadRoutine routine, void* argument);

// Waits at most `timeout_ms` for the thread's end; true when it has ended.
bool platform_wait_thread(ThreadHandle thread, std::uint32_t timeout_ms);

// Closes the handle, whether the thread has ended or not; a running thread goes on.
void platform_close_thread(ThreadHandle thread);

// The work of one band of an enlargement: routine(argument, band).
using BandRoutine = void (*)(void* argument, std::int32_t band);

// Returns how many band workers can run at once: the processor's cores, at most 8 (1 on one core,
// or where the platform keeps the enlargement on the GUI thread). The first call makes the workers.
std::int32_t platform_band_workers();

// Runs routine(argument, band) for every band 0 .. count - 1, on the band workers and the calling
// thread, and returns once every band has ended. The bands must touch disjoint memory.
void platform_run_bands(BandRoutine routine, void* argument, std::int32_t count);

// --- Shared profile ---------------------------------------------------------------------------

// Writes `value` as the text of `key` in `section` of the per-user shared profile.
void platform_write_profile(const char* section, const char* key, const char* value);

// Returns the text of `key` in `section` of the shared profile, or `default_text` when missing.
std::string platform_read_profile(const char* section, const char* key, const char* default_text);
