// The recording test platform: a third backend of the platform seam, in the seam's own terms. It
// simulates windows, a screen of pixels, a profile, scripted clicks, timer periods, pointer images
// and threads; it records the events it tells the core of, the seam calls and every frame
// presented, and draws each frame into an overlay of pixels as a plain reference of what a frame
// shows. Linked with the core, it runs the whole system natively and deterministically.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

// What platform_run_message_loop returns when the script runs out before a quit message.
constexpr std::int32_t LOOP_RAN_OUT = -999;

// A cursor-image word with this value is transparent: the present leaves the pixel below.
constexpr Pixel CURSOR_CLEAR = 0xFF000000u;

// The colour the screen holds where the test has painted nothing.
constexpr Pixel DESKTOP_COLOUR = 0x00204060u;

// The words between the rows of the enlargement surface and around it, which the core must never
// change: its rows lie top-down in memory, GAP_WORDS apart, read bottom-up (a negative stride), as
// an image of a window system may hold them.
constexpr Pixel GAP_WORD = 0xDEADBEEFu;
constexpr std::int32_t GAP_WORDS = 3;

using PixelAt = std::function<Pixel(std::int32_t x, std::int32_t y)>;

struct PlatformInstance {
    int id = 0;
};

struct PlatformLayeredOp {
    int id = 0;
};

// A simulated window: the overlay (made by platform_create_overlay) or one the test made.
struct TestWindow {
    std::string name;
    WindowHandle handle;
    Rect client;  // in screen coordinates
    bool is_overlay = false;
    bool exists = true;
    CursorImage cursor = nullptr;  // the pointer image shown over it
};

struct PlatformCursorImage {
    std::string label;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Pixel> pixels;  // top-down; CURSOR_CLEAR words are transparent
    std::int32_t hot_x = 0;
    std::int32_t hot_y = 0;
    bool is_copy = false;
    bool released = false;
};

struct PlatformThread {
    ThreadRoutine routine = nullptr;
    void* argument = nullptr;
    bool finished = false;
    bool closed = false;
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

class TestPlatform {
public:
    // --- Switches the test sets (reset restores these defaults) -----------------------------
    bool layered_attributes_missing = false;
    bool fail_register_class = false;
    bool fail_create_overlay = false;
    bool fail_set_capture = false;  // the mouse cannot be watched for the pick
    bool fail_enlargement = false;  // the enlargement surface cannot be made
    bool fail_copy_cursor = false;
    ThreadMode thread_mode = ThreadMode::Immediate;
    // The band workers the platform says it has; the bands themselves run in turn, in order, and
    // each run's band count is kept.
    std::int32_t band_workers = 1;
    std::vector<std::int32_t> band_runs;
    // Returned by platform_executable_path and by the tick's question.
    std::string executable_path = "C:\\games\\zrv5.exe";
    Point pointer;
    // The handle value the overlay gets; bit 31 may be set to test negative handle texts.
    std::uintptr_t overlay_handle_value = 0x000A0010u;

    // --- Records the test reads --------------------------------------------------------------
    std::vector<std::string> calls;   // one entry per event told and seam call
    std::vector<std::string> errors;  // misuse of the seam found so far
    std::vector<MessageBoxRecord> message_boxes;
    std::vector<TimerRecord> timers;           // timers running now
    std::vector<std::uint32_t> wait_timeouts;  // the bound of every platform_wait_thread
    std::vector<Frame> frames;                 // every frame presented
    WindowHandle capture_holder;
    WindowHandle overlay;
    bool overlay_opaque = false;
    bool class_registered = false;

    // Starts a test clean: an SW x SH screen of DESKTOP_COLOUR, a black overlay, no windows, empty
    // logs, default switches.
    void reset(std::int32_t screen_width, std::int32_t screen_height);

    // --- Call log ----------------------------------------------------------------------------
    void record(const std::string& entry);
    void fail(const std::string& problem);
    // Returns the index of the first entry from `from` on that is `head` or starts with `head`
    // and a space; -1 when there is none.
    int index_of(const std::string& head, int from = 0) const;
    int count(const std::string& head) const;
    std::vector<std::string> entries(const std::string& head) const;
    // Returns "" when the heads occur in this order (each after the previous one), else what went
    // wrong followed by the log.
    std::string check_order(const std::vector<std::string>& heads) const;
    std::string log_text() const;

    // --- Windows and the screen --------------------------------------------------------------
    // Adds a window whose client area is `client` in screen coordinates, above every window so
    // far. A handle value of 0 picks a fresh one.
    WindowHandle add_window(const std::string& name, Rect client, std::uintptr_t handle_value = 0);
    void move_window(WindowHandle window, Point client_origin);
    // Destroys a window from outside the core (the overlay's destruction is told as ever).
    void destroy_window(WindowHandle window);
    // Returns the topmost existing test window (never the overlay) holding the point, or none.
    WindowHandle test_window_at(Point point) const;
    TestWindow* find_window(WindowHandle window);
    std::string window_name(WindowHandle window) const;
    // Gives the screen a new size, as a display change does: the screen reads DESKTOP_COLOUR again,
    // the overlay covers it, black, and the core is told.
    void change_screen(std::int32_t width, std::int32_t height);
    InstanceHandle instance() { return &instance_; }
    InstanceHandle previous_instance() { return &previous_instance_; }

    // --- Script of the message loop ----------------------------------------------------------
    // Queues a step the loop runs when nothing else is waiting.
    void then(std::function<void()> step);
    // Queues a whole click at a screen point: the overlay's pick while it watches for it, else the
    // click goes to the window beneath and the core sees nothing.
    void queue_click(Point screen_point);
    // Queues `count` steps that each end a period of timer 1.
    void queue_ticks(int count);
    void queue_quit(std::int32_t code);
    // Ends a period of timer `id` of the overlay when that timer runs; else only logs the miss.
    void tick(std::uint32_t id = 1);
    // Tells the core of a period of timer `id`, whether a timer runs or not.
    void force_timer(std::uint32_t id);
    void post_quit_from_elsewhere(std::int32_t code);
    // Runs zrv5_main with the test's instance, no previous instance and the given show state.
    std::int32_t run_system(std::int32_t show_state = 5) {
        return zrv5_main(instance(), nullptr, show_state);
    }

    // --- Pixels ------------------------------------------------------------------------------
    void paint_screen(Rect area, const PixelAt& colour_at);
    void paint_screen(Rect area, Pixel colour);
    // Return the pixel at (x, y), or 0xFFFFFFFF (which no drawing makes) outside.
    Pixel screen_pixel(std::int32_t x, std::int32_t y) const;
    Pixel overlay_pixel(std::int32_t x, std::int32_t y) const;
    // Returns "" when the overlay's region equals expected(x, y), else the count of differing
    // pixels and the first of them.
    std::string diff_overlay(Rect region, const PixelAt& expected) const;
    bool save_overlay(const std::string& path) const;
    // Returns "" when every word around and between the enlargement's rows is intact.
    std::string guard_damage() const;

    // --- Pointer images ----------------------------------------------------------------------
    // Makes a w x h image of one colour with the given hot spot, labelled "cursor<N>".
    CursorImage make_cursor_image(std::int32_t width, std::int32_t height, Pixel colour,
                                  std::int32_t hot_x, std::int32_t hot_y);
    CursorImage make_cursor_image(std::int32_t width, std::int32_t height,
                                  std::vector<Pixel> pixels, std::int32_t hot_x,
                                  std::int32_t hot_y);
    // Sets the pointer image shown over the window.
    void set_window_cursor(WindowHandle window, CursorImage image);
    void set_standard_arrow(std::int32_t width, std::int32_t height, Pixel colour,
                            std::int32_t hot_x, std::int32_t hot_y);
    CursorImage standard_arrow() const { return arrow_; }
    int live_cursor_copies() const;
    int copies_made() const;
    bool is_cursor(const PlatformCursorImage* image) const;

    // --- Threads -----------------------------------------------------------------------------
    const std::vector<std::unique_ptr<PlatformThread>>& threads() const { return threads_; }
    // Runs the routine of started thread `index` (start order) that has not run yet; false when
    // there is no such pending thread.
    bool run_pending_thread(std::size_t index);
    int pending_threads() const;
    bool on_grab_thread() const { return on_grab_thread_; }

    // --- Profile and settings ----------------------------------------------------------------
    void set_profile(const std::string& section, const std::string& key, const std::string& value);
    // Returns the profile text, or `missing` when the key is absent.
    std::string profile(const std::string& section, const std::string& key,
                        const std::string& missing = "<missing>") const;
    void set_setting(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value);

    // --- Used by the seam implementation -----------------------------------------------------
    std::int32_t run_message_loop();
    void post_quit(std::int32_t code);
    WindowHandle create_overlay(std::int32_t width, std::int32_t height);
    void destroy(WindowHandle window);
    TargetLook look(WindowHandle overlay_asked, WindowHandle target, Size capture);
    Surface make_enlargement(std::int32_t width, std::int32_t height);
    void present(const Frame& frame);
    PointerImage copy_pointer_image();
    ThreadHandle start_thread(ThreadRoutine routine, void* argument);
    std::map<std::string, std::map<std::string, std::string>>& profile_map() { return profile_; }
    const std::string* setting(const std::string& path, const std::string& section,
                               const std::string& key) const;
    PlatformLayeredOp* layered_token() { return &layered_token_; }
    Box screen_box() const { return Box{0, 0, screen_width_, screen_height_}; }

private:
    void run_thread(PlatformThread& thread);
    void draw_cursor(CursorImage image, Point at);

    std::int32_t screen_width_ = 0;
    std::int32_t screen_height_ = 0;
    std::vector<Pixel> screen_;  // top-down, row 0 at the top
    std::int32_t overlay_width_ = 0;
    std::int32_t overlay_height_ = 0;
    std::vector<Pixel> overlay_pixels_;
    std::vector<std::unique_ptr<TestWindow>> windows_;  // bottom to top
    std::uintptr_t next_handle_value_ = 0;
    std::deque<std::function<void()>> queue_;  // events waiting, told before the script goes on
    bool quit_posted_ = false;
    std::int32_t quit_code_ = 0;
    std::vector<std::function<void()>> script_;
    std::size_t next_step_ = 0;
    std::vector<Pixel> capture_;      // the tick's capture, top-down, read bottom-up
    std::vector<Pixel> enlargement_;  // the enlargement's rows with the gap words, top-down
    Surface enlargement_surface_;
    std::vector<std::unique_ptr<PlatformCursorImage>> cursors_;
    CursorImage arrow_ = nullptr;
    std::vector<std::unique_ptr<PlatformThread>> threads_;
    bool on_grab_thread_ = false;
    std::map<std::string, std::map<std::string, std::string>> profile_;
    std::map<std::string, std::string> settings_;  // "path|section|key" -> value
    PlatformInstance instance_{1};
    PlatformInstance previous_instance_{2};
    PlatformLayeredOp layered_token_{1};
};

extern TestPlatform test_platform;

// Returns "" when got(x, y) equals expected(x, y) over the region, else "<n> of <total> pixels
// differ in (x, y, w x h); first at (x, y): got 0x..., expected 0x...".
std::string image_diff(Rect region, const PixelAt& got, const PixelAt& expected);

// Returns a colour that differs from its neighbours, for recognisable test patterns.
Pixel pattern_pixel(std::int32_t x, std::int32_t y, std::uint32_t salt = 0);

// The fixture of whole-system tests: a clean 1400 x 1050 platform; afterwards the gap words must be
// intact and no misuse of the seam left unexamined; a failed test saves the overlay picture.
class SystemTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    TestPlatform& tp = test_platform;
};
