// The recording test platform: a third backend of the platform seam with simulated windows, a
// screen of pixels, pixel-buffer drawing contexts, a profile map, scripted input and timers, and a
// log of every call, so whole-system tests run the core natively and deterministically.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/platform.h"
#include "support/guard_words.h"

// Thread identifiers: the GUI thread, the first simulated grab thread (each later one counts up)
// and the default owner of test windows.
constexpr std::uint32_t GUI_THREAD = 1000;
constexpr std::uint32_t FIRST_GRAB_THREAD = 1000000;  // far above the others: long runs start many
constexpr std::uint32_t TARGET_THREAD = 3000;

// What platform_run_message_loop returns when the script runs out before a quit message.
constexpr std::int32_t LOOP_RAN_OUT = -999;

// A cursor-image word with this value is transparent: platform_draw_cursor leaves the pixel below.
constexpr Pixel CURSOR_CLEAR = 0xFF000000u;

// The colour the screen holds where the test has painted nothing.
constexpr Pixel DESKTOP_COLOUR = 0x00204060u;

// Words written before and after every bitmap's pixels; the core must never change them.

// The pixel memory of a fresh bitmap. The seam promises nothing about it, so it is not zero: a
// surface that the core forgets to clear shows this value.
constexpr Pixel FRESH_BITMAP_WORD = 0x00CDCDCDu;

using PixelAt = std::function<Pixel(std::int32_t x, std::int32_t y)>;

struct PlatformInstance {
    int id = 0;
};

// A simulated window. The overlay is the one made by platform_create_overlay; the others are
// made by the test and stand for what the user clicks.
struct TestWindow {
    std::string name;
    WindowHandle handle;
    Rect client;  // in screen coordinates
    std::uint32_t owner_thread = 0;
    bool is_overlay = false;
    bool exists = true;
};

struct PlatformBitmap {
    std::string label;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Pixel> storage;  // guard words, width x height pixels bottom-up, guard words
    Pixel* pixels = nullptr;     // the first pixel inside the guards, null when there are none
    bool from_cursor_info = false;
    bool deleted = false;
};

struct PlatformDrawContext {
    enum class Kind { Screen, Window, Memory };
    Kind kind = Kind::Screen;
    std::string label;
    WindowHandle window;               // the window it was taken for (Screen: none)
    PlatformBitmap* bitmap = nullptr;  // Memory: the selected bitmap
    bool released = false;             // Screen and Window: given back
};

struct PlatformCursorImage {
    std::string label;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Pixel> pixels;  // top-down; CURSOR_CLEAR words are transparent
    std::int32_t hot_x = 0;
    std::int32_t hot_y = 0;
    bool monochrome = false;  // cursor info then hands out no colour bitmap
    bool is_copy = false;
    bool is_arrow = false;
    bool released = false;
};

struct PlatformThread {
    std::int32_t index = 0;
    std::uint32_t id = 0;
    ThreadRoutine routine = nullptr;
    void* argument = nullptr;
    bool finished = false;
    bool closed = false;
};

struct PlatformLayeredOp {
    int id = 0;
};

// How platform_start_thread behaves.
enum class ThreadMode {
    Immediate,  // the routine runs to its end inside the start; the wait then succeeds
    FailStart,  // no thread: the start returns none
    Late,       // the routine waits for run_pending_thread; a wait before that times out
};

struct MessageBoxRecord {
    WindowHandle owner;
    std::string text;
    std::string caption;
};

struct TimerRecord {
    WindowHandle window;
    std::uint32_t id = 0;
    std::int32_t period_ms = 0;
};

struct QueuedMessage {
    WindowHandle window;
    std::uint32_t message = 0;
    std::uintptr_t first = 0;
    std::intptr_t second = 0;
    bool quit = false;
    std::int32_t quit_code = 0;
};

class TestPlatform {
public:
    // --- Switches the test sets (reset restores these defaults) -----------------------------
    bool layered_attributes_missing = false;
    bool fail_register_class = false;
    bool fail_create_overlay = false;
    bool fail_create_bitmap = false;
    bool fail_memory_context = false;
    bool fail_copy_cursor = false;
    bool fail_cursor_info = false;
    bool fail_set_capture = false;  // the mouse cannot be watched for the pick
    ThreadMode thread_mode = ThreadMode::Immediate;
    // The band workers the platform says it has; the bands themselves run in turn, in order, and
    // each run's band count is kept.
    std::int32_t band_workers = 1;
    std::vector<std::int32_t> band_runs;
    // The window under a point is the overlay itself (a click on the overlay).
    bool overlay_is_hit = false;
    // Returned by platform_executable_path.
    std::string executable_path = "C:\\games\\zrv5.exe";
    // Returned by platform_cursor_position.
    Point pointer;
    // The handle value the overlay gets; bit 31 may be set to test negative handle texts.
    std::uintptr_t overlay_handle_value = 0x000A0010u;
    // Threads whose input state cannot be joined.
    std::set<std::uint32_t> unjoinable_threads;

    // --- Records the test reads --------------------------------------------------------------
    std::vector<std::string> calls;           // one entry per seam call and delivered message
    std::vector<std::uint32_t> call_threads;  // the calling thread of each entry
    std::vector<std::string> errors;          // misuse of the seam found so far
    std::vector<MessageBoxRecord> message_boxes;
    std::vector<TimerRecord> timers;           // timers running now
    std::vector<std::uint32_t> wait_timeouts;  // the bound of every platform_wait_thread
    std::map<std::uint32_t, std::uint32_t> attached_inputs;  // own thread -> joined thread
    WindowHandle capture_holder;
    WindowHandle overlay;
    bool overlay_opaque = false;
    bool class_registered = false;
    bool loop_ran_out = false;

    // Starts a test clean: an SW x SH screen of DESKTOP_COLOUR, a black overlay buffer, no
    // windows, empty logs, default switches. Frees every block and object of the previous test.
    void reset(std::int32_t screen_width, std::int32_t screen_height);

    std::int32_t screen_width() const { return screen_width_; }
    std::int32_t screen_height() const { return screen_height_; }

    // --- Call log ----------------------------------------------------------------------------
    // Appends an entry, tagged with the calling thread.
    void record(const std::string& entry);
    // Records a misuse of the seam.
    void fail(const std::string& problem);
    // Returns the errors so far and forgets them (for tests that provoke them on purpose).
    std::vector<std::string> take_errors();
    // Returns the index of the first entry from `from` on that is `head` or starts with `head`
    // and a space; -1 when there is none.
    int index_of(const std::string& head, int from = 0) const;
    // Returns how many entries are `head` or start with `head` and a space.
    int count(const std::string& head) const;
    // Returns the entries that are `head` or start with `head` and a space.
    std::vector<std::string> entries(const std::string& head) const;
    // Returns "" when the heads occur in this order (each after the previous one), else what went
    // wrong followed by the log.
    std::string check_order(const std::vector<std::string>& heads) const;
    // Returns the whole log, one entry a line, for failure messages.
    std::string log_text() const;

    // --- Windows -----------------------------------------------------------------------------
    // Adds a window whose client area is `client` in screen coordinates, above every window so
    // far. A handle value of 0 picks a fresh one.
    WindowHandle add_window(const std::string& name, Rect client,
                            std::uint32_t owner_thread = TARGET_THREAD,
                            std::uintptr_t handle_value = 0);
    void move_window(WindowHandle window, Point client_origin);
    // Gives the screen a new size, as a display change does: the screen reads DESKTOP_COLOUR again,
    // the overlay covers it, black, and the core is told.
    void change_screen(std::int32_t width, std::int32_t height);
    void resize_window(WindowHandle window, std::int32_t width, std::int32_t height);
    // Puts the window above every other test window.
    void raise_window(WindowHandle window);
    // Destroys a window from outside the core (the overlay gets its MSG_DESTROY as ever).
    void destroy_window(WindowHandle window);
    // Returns the topmost existing test window (never the overlay) whose client area holds the
    // screen point; none when there is none.
    WindowHandle test_window_at(Point point) const;
    // Returns the window record, or null for an unknown handle.
    TestWindow* find_window(WindowHandle window);
    // Returns the log name of the window: its name, or "none".
    std::string window_name(WindowHandle window) const;
    InstanceHandle instance() { return &instance_; }
    InstanceHandle previous_instance() { return &previous_instance_; }

    // --- Script of the message loop ----------------------------------------------------------
    // Queues a step the loop runs when its message queue is empty.
    void then(std::function<void()> step);
    // Queues a left-button release at a screen point (see release_left_button).
    void queue_click(Point screen_point);
    // Queues `count` steps that each fire timer 1 (see tick).
    void queue_ticks(int count);
    // Queues a step that posts a quit message as another party would.
    void queue_quit(std::int32_t code);
    // Releases the left button at a screen point: the overlay gets MSG_LBUTTONUP only while it
    // holds the capture; otherwise the release goes to the window beneath and the core sees
    // nothing.
    void release_left_button(Point screen_point);
    // Posts MSG_LBUTTONUP at a client point of the overlay, capture or not.
    void post_left_button_up(Point client_point);
    // Posts MSG_TIMER for timer `id` of the overlay when that timer runs; else only logs the miss.
    void tick(std::uint32_t id = 1);
    // Posts MSG_TIMER to the overlay whether a timer runs or not.
    void force_timer_message(std::uint32_t id = 1);
    // Posts a quit message from outside the core.
    void post_quit_from_elsewhere(std::int32_t code);
    // Calls the overlay's procedure at once, as a message sent straight to it; returns its result.
    std::intptr_t send_to_overlay(std::uint32_t message, std::uintptr_t first = 0,
                                  std::intptr_t second = 0);
    // Runs zrv5_main with the test's instance, no previous instance and the given show state.
    std::int32_t run_system(std::int32_t show_state = 5) {
        return zrv5_main(instance(), nullptr, show_state);
    }

    // --- Screen and overlay pixels -----------------------------------------------------------
    // Paints the screen rectangle (clipped) with colour_at(x, y), x and y relative to its corner.
    void paint_screen(Rect area, const PixelAt& colour_at);
    void paint_screen(Rect area, Pixel colour);
    // Return the pixel at (x, y), or 0xFFFFFFFF (which no drawing makes) outside the buffer.
    Pixel screen_pixel(std::int32_t x, std::int32_t y) const;
    Pixel overlay_pixel(std::int32_t x, std::int32_t y) const;
    std::int32_t overlay_width() const { return overlay_width_; }
    std::int32_t overlay_height() const { return overlay_height_; }
    // Returns "" when the overlay's region equals expected(x, y) (overlay coordinates), else the
    // count of differing pixels and the first of them.
    std::string diff_overlay(Rect region, const PixelAt& expected) const;
    // Writes the overlay as a binary PPM file; false when it cannot be written.
    bool save_overlay(const std::string& path) const;

    // --- Bitmaps and contexts ----------------------------------------------------------------
    // Returns "" when every guard word of every bitmap so far is intact, else the first damage.
    std::string guard_damage() const;
    // Contexts taken by platform_get_context and not given back.
    int outstanding_contexts() const;
    // Bitmaps handed out by platform_cursor_info and not deleted.
    int live_info_bitmaps() const;
    // Returns the bitmaps created so far, in creation order (surfaces and cursor-info bitmaps).
    std::vector<PlatformBitmap*> bitmaps() const;

    // --- Cursor images -----------------------------------------------------------------------
    // Makes a w x h image of one colour with the given hot spot, labelled "cursor<N>".
    CursorImage make_cursor_image(std::int32_t width, std::int32_t height, Pixel colour,
                                  std::int32_t hot_x, std::int32_t hot_y);
    // Makes an image from top-down words (CURSOR_CLEAR is transparent). Setting `monochrome` on
    // the result makes its cursor info hand out no colour bitmap.
    CursorImage make_cursor_image(std::int32_t width, std::int32_t height,
                                  std::vector<Pixel> pixels, std::int32_t hot_x,
                                  std::int32_t hot_y);
    // Sets the pointer image of the thread that owns the window (what a grab joined to it reads).
    void set_window_cursor(WindowHandle window, CursorImage image);
    // Sets the standard arrow's look and hot spot (default 12 x 16 white, hot spot (0, 0)).
    void set_standard_arrow(std::int32_t width, std::int32_t height, Pixel colour,
                            std::int32_t hot_x, std::int32_t hot_y);
    CursorImage standard_arrow() { return arrow_; }
    // Private copies made by platform_copy_cursor and not yet released.
    int live_cursor_copies() const;
    // Private copies made so far, released or not.
    int copies_made() const;

    // --- Threads -----------------------------------------------------------------------------
    std::uint32_t current_thread() const { return current_thread_; }
    // Threads started so far, in start order.
    const std::vector<std::unique_ptr<PlatformThread>>& threads() const { return threads_; }
    // Runs the routine of started thread `index` (start order) that has not run yet, on its own
    // thread identifier; false when there is no such pending thread.
    bool run_pending_thread(std::int32_t index);
    int pending_threads() const;

    // --- Profile and settings ----------------------------------------------------------------
    void set_profile(const std::string& section, const std::string& key, const std::string& value);
    // Returns the profile text, or `missing` when the key is absent.
    std::string profile(const std::string& section, const std::string& key,
                        const std::string& missing = "<missing>") const;
    // Sets a key of the settings file at `path`.
    void set_setting(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value);

    // --- Used by the seam implementation -----------------------------------------------------
    std::int32_t run_message_loop();
    void post(const QueuedMessage& message);
    // Delivers a message to the overlay's procedure, logging it.
    std::intptr_t deliver(WindowHandle window, std::uint32_t message, std::uintptr_t first,
                          std::intptr_t second);
    WindowHandle create_overlay(std::int32_t width, std::int32_t height);
    // Destroys the window: the overlay first handles MSG_DESTROY; then its timers and the capture
    // go.
    void destroy(WindowHandle window);
    DrawContext new_context(PlatformDrawContext::Kind kind, WindowHandle window);
    PlatformBitmap* new_bitmap(std::int32_t width, std::int32_t height, bool from_cursor_info);
    bool is_bitmap(const PlatformBitmap* bitmap) const;
    bool is_context(const PlatformDrawContext* context) const;
    // Returns the memory context the bitmap is selected into, or null.
    const PlatformDrawContext* holder_of(const PlatformBitmap* bitmap) const;
    bool is_cursor(const PlatformCursorImage* image) const;
    PlatformCursorImage* new_cursor(const std::string& label);
    CursorImage thread_cursor(std::uint32_t thread) const;
    PlatformThread* new_thread(ThreadRoutine routine, void* argument);
    bool is_thread(const PlatformThread* thread) const;
    void run_thread(PlatformThread& thread);
    std::map<std::string, std::map<std::string, std::string>>& profile_map() { return profile_; }
    const std::string* setting(const std::string& path, const std::string& section,
                               const std::string& key) const;
    std::vector<Pixel>& screen_buffer() { return screen_; }
    std::vector<Pixel>& overlay_buffer() { return overlay_pixels_; }
    PlatformLayeredOp* layered_token() { return &layered_token_; }
    // Private cursor copies made so far and not yet released, kept by the seam functions.
    int copies_made_count = 0;
    int live_copies_count = 0;

private:
    std::int32_t screen_width_ = 0;
    std::int32_t screen_height_ = 0;
    std::vector<Pixel> screen_;  // top-down, row 0 at the top
    std::int32_t overlay_width_ = 0;
    std::int32_t overlay_height_ = 0;
    std::vector<Pixel> overlay_pixels_;
    std::vector<std::unique_ptr<TestWindow>> windows_;  // bottom to top
    std::uintptr_t next_handle_value_ = 0;
    std::deque<QueuedMessage> queue_;
    std::vector<std::function<void()>> script_;
    std::size_t next_step_ = 0;
    std::vector<std::unique_ptr<PlatformDrawContext>> contexts_;
    std::vector<std::unique_ptr<PlatformBitmap>> bitmaps_;
    std::vector<std::unique_ptr<PlatformCursorImage>> cursors_;
    CursorImage arrow_ = nullptr;
    std::map<std::uint32_t, CursorImage> thread_cursors_;
    std::vector<std::unique_ptr<PlatformThread>> threads_;
    // Every object handed out, for constant-time checks over long runs (10 000 ticks and more).
    std::unordered_set<const void*> known_contexts_, known_bitmaps_, known_cursors_, known_threads_;
    std::vector<const PlatformDrawContext*> memory_contexts_;
    std::uint32_t current_thread_ = GUI_THREAD;
    std::map<std::string, std::map<std::string, std::string>> profile_;
    std::map<std::string, std::string> settings_;  // "path|section|key" -> value
    PlatformInstance instance_{1};
    PlatformInstance previous_instance_{2};
    PlatformLayeredOp layered_token_{1};
    int memory_contexts_made_ = 0;
};

extern TestPlatform test_platform;

// Returns "" when got(x, y) equals expected(x, y) over the region, else "<n> of <total> pixels
// differ in (x, y, w x h); first at (x, y): got 0x..., expected 0x...".
std::string image_diff(Rect region, const PixelAt& got, const PixelAt& expected);

// Returns a colour that differs from its neighbours, for recognisable test patterns.
Pixel pattern_pixel(std::int32_t x, std::int32_t y, std::uint32_t salt = 0);

// The fixture of whole-system tests: a clean 1400 x 1050 platform; afterwards the guard words must
// be intact and no misuse of the seam left unexamined; a failed test saves the overlay picture.
class SystemTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    TestPlatform& tp = test_platform;
};
