// The platform seam, both ways, in the core's own terms: first what the core provides to every
// backend (its entry, and the events a backend tells it of: the overlay made and destroyed, the
// pick, a timer's period, the screen's new size), then what the core asks of a window system and
// the OS: a few questions, and one frame a tick to present. Exactly one backend (win32, x11, or the
// recording test platform) implements the second part in a build; the core includes only this
// header, never an OS header.
#pragma once

#include <cstdint>
#include <string>

#include "vocabulary/frame.h"
#include "vocabulary/geometry.h"
#include "vocabulary/handles.h"
#include "vocabulary/surface.h"

// === What the core provides ==================================================================

// The program's entry, called by every backend's main or WinMain: starts the system, runs its
// message loop and returns the exit code: 0 when the window class cannot be registered, else the
// parameter of the quit message that ends the loop (0 after a view, 1 after a refused pick).
// `previous` is the previous-instance handle (none on every platform but old Windows); `show_state`
// is the entry's initial show state.
std::int32_t zrv5_main(InstanceHandle instance, InstanceHandle previous, std::int32_t show_state);

// The events, each told on the GUI thread as it happens. Windows turns its window messages into
// them (creation, destruction and a quit sent straight to the overlay, a timer, the left button's
// release); X11's loop calls them from its events and timers.

// The overlay has been made: the core takes the capture for the pick and starts the wait's poll.
void zrv5_overlay_created(WindowHandle overlay);
// The overlay is being destroyed (or a quit was sent straight to it): the view ends.
void zrv5_overlay_destroyed(WindowHandle overlay);
// The release of the whole click that picks, at a point of the screen.
void zrv5_pick_at(WindowHandle overlay, Point screen_point);
// A window named rather than clicked (a start of the command line): picked as a click on it would.
void zrv5_pick_window(WindowHandle overlay, WindowHandle window);
// A period of timer `timer_id` of the overlay has passed: the frame tick, or the wait's poll.
void zrv5_timer(WindowHandle overlay, std::uint32_t timer_id);
// The screen the view fills has a new size and the overlay already covers it: a running view is
// laid out again as at the pick (scale, effective mode, placement, surfaces, bands), keeping its
// target, the shared profile and the timer; before the pick, the pick lays out for the new size.
void zrv5_screen_changed(WindowHandle overlay, std::int32_t width, std::int32_t height);

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
// always on top, input-transparent, invisible until made opaque. zrv5_overlay_created has been told
// before this returns. The result may be none when creation fails.
WindowHandle platform_create_overlay(InstanceHandle instance, std::int32_t width,
                                     std::int32_t height);

// Shows the window with the entry's initial show state and updates it.
void platform_show_window(WindowHandle window, std::int32_t show_state);

// Runs the message loop of the GUI thread, telling the core of each event, until a quit message
// arrives; returns that message's parameter. A quit posted from elsewhere ends the loop without
// telling the core anything.
std::int32_t platform_run_message_loop();

// --- Window system ----------------------------------------------------------------------------

// Makes the platform watch for the next whole left-button click anywhere on the screen, whose
// release then comes as zrv5_pick_at; false when it cannot watch the mouse.
bool platform_set_capture(WindowHandle window);

// Stops watching for the click.
void platform_release_capture();

// Returns the innermost visible window at a screen point, as found (not its parent); may be none.
WindowHandle platform_window_from_point(Point point);

// Shows a modal message box owned by `owner` with one OK button; returns when it is closed.
void platform_message_box(WindowHandle owner, const char* text, const char* caption);

// Returns the window's client rectangle (left and top are 0); all zero when the window is gone.
Box platform_client_box(WindowHandle window);

// The tick's one question: whether the target still exists and, when it does, puts the overlay
// back at the top of the always-on-top band (without moving or resizing it) and returns the
// capture origin and the pointer. With a W x H `capture`, it also reads what the screen shows
// beneath the overlay there into look.capture (the blended mode's capture source surface).
TargetLook platform_look_at_target(WindowHandle overlay, WindowHandle target, Size capture);

// Makes the overlay fully opaque through the layered-attributes operation (colour key 0, alpha 255,
// alpha flag only). The core calls it only when the operation was resolved.
void platform_make_opaque(LayeredAttributesOp operation, WindowHandle window);

// Starts the periodic timer `id` on the window: zrv5_timer comes every `period_ms` milliseconds, at
// most one pending, missed periods not made up. The period is handed over unchanged; the platform
// decides what a period below 1 means.
void platform_set_timer(WindowHandle window, std::uint32_t id, std::int32_t period_ms);

// Stops the timer `id` of the window; nothing when it does not run.
void platform_kill_timer(WindowHandle window, std::uint32_t id);

// Destroys the window; zrv5_overlay_destroyed has been told when this returns. Nothing when it is
// gone.
void platform_destroy_window(WindowHandle window);

// Posts the quit message with `code` to the GUI thread's queue.
void platform_post_quit(std::int32_t code);

// --- Frames -----------------------------------------------------------------------------------

// Makes the surface that the blended mode's enlargement is written into and shown from, width x
// height, bottom-up and black; the one made before is given back. 0 x 0 only gives it back. Its
// pixels are null when it cannot be made.
Surface platform_enlargement_surface(WindowHandle overlay, std::int32_t width,
                                     std::int32_t height);

// Shows one frame in the overlay: the image (copied from the screen and enlarged, or the
// enlargement surface's changed rows), the black bands after it, the cursor image last.
void platform_present(WindowHandle overlay, const Frame& frame);

// --- Pointer images ---------------------------------------------------------------------------

// Reads the pointer image shown under the pointer: a private copy with its hot spot, valid until
// platform_release_cursor. `found` is false when no window lies under the pointer (or its image
// cannot be reached); the image is none when the copy failed. Any thread.
PointerImage platform_copy_pointer_image();

// Returns the platform's shared standard arrow, never released, with its hot spot.
PointerImage platform_standard_arrow();

// Releases a private copy made by platform_copy_pointer_image; nothing for none.
void platform_release_cursor(CursorImage image);

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
