// The recording test platform's log, windows, message loop and script, profile and settings, and
// the seam's start-up, window-system and profile parts.
#include "support/test_platform.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <utility>

TestPlatform test_platform;

namespace {

constexpr std::uintptr_t FIRST_WINDOW_HANDLE = 0x00020000u;
constexpr std::uintptr_t WINDOW_HANDLE_STEP = 0x10u;

std::string text_of(const char* text) {
    return text == nullptr ? std::string("(null)") : std::string(text);
}

std::string point_text(Point p) { return std::to_string(p.x) + " " + std::to_string(p.y); }

bool contains(Rect area, Point point) {
    // Differences in 64 bits: a client rectangle near the 32-bit limits must not overflow.
    const std::int64_t dx = std::int64_t{point.x} - area.x;
    const std::int64_t dy = std::int64_t{point.y} - area.y;
    return dx >= 0 && dy >= 0 && dx < area.width && dy < area.height;
}

bool has_head(const std::string& entry, const std::string& head) {
    return entry.compare(0, head.size(), head) == 0 &&
           (entry.size() == head.size() || entry[head.size()] == ' ');
}

}  // namespace

void TestPlatform::reset(std::int32_t screen_width, std::int32_t screen_height) {
    // A fresh object restores every switch and frees every image and thread.
    *this = TestPlatform();
    screen_width_ = std::max(screen_width, 0);
    screen_height_ = std::max(screen_height, 0);
    const auto area =
        static_cast<std::size_t>(screen_width_) * static_cast<std::size_t>(screen_height_);
    screen_.assign(area, DESKTOP_COLOUR);
    overlay_width_ = screen_width_;
    overlay_height_ = screen_height_;
    overlay_pixels_.assign(area, 0u);
    next_handle_value_ = FIRST_WINDOW_HANDLE;
    set_standard_arrow(12, 16, 0x00FFFFFFu, 0, 0);
}

// --- Call log --------------------------------------------------------------------------------

void TestPlatform::record(const std::string& entry) {
    calls.push_back(on_grab_thread_ ? entry + "  [grab thread]" : entry);
}

void TestPlatform::fail(const std::string& problem) { errors.push_back(problem); }

int TestPlatform::index_of(const std::string& head, int from) const {
    for (std::size_t i = static_cast<std::size_t>(std::max(from, 0)); i < calls.size(); ++i) {
        if (has_head(calls[i], head)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int TestPlatform::count(const std::string& head) const {
    return static_cast<int>(entries(head).size());
}

std::vector<std::string> TestPlatform::entries(const std::string& head) const {
    std::vector<std::string> found;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                 [&](const std::string& entry) { return has_head(entry, head); });
    return found;
}

std::string TestPlatform::check_order(const std::vector<std::string>& heads) const {
    int previous = -1;
    for (std::size_t i = 0; i < heads.size(); ++i) {
        const int found = index_of(heads[i], previous + 1);
        if (found < 0) {
            std::string problem = "'" + heads[i] + "' not found";
            if (i > 0) {
                problem += " after '" + heads[i - 1] + "' (entry " + std::to_string(previous) + ")";
            }
            return problem + "\n" + log_text();
        }
        previous = found;
    }
    return "";
}

std::string TestPlatform::log_text() const {
    std::ostringstream text;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        text << i << ": " << calls[i] << "\n";
    }
    return text.str();
}

// --- Windows ---------------------------------------------------------------------------------

WindowHandle TestPlatform::add_window(const std::string& name, Rect client,
                                      std::uintptr_t handle_value) {
    if (handle_value == 0) {
        do {
            handle_value = next_handle_value_;
            next_handle_value_ += WINDOW_HANDLE_STEP;
        } while (find_window(WindowHandle{handle_value}) != nullptr ||
                 handle_value == overlay_handle_value);
    } else if (find_window(WindowHandle{handle_value}) != nullptr) {
        fail("add_window: handle value already in use");
    }
    auto window = std::make_unique<TestWindow>();
    window->name = name;
    window->handle = WindowHandle{handle_value};
    window->client = client;
    windows_.push_back(std::move(window));
    return WindowHandle{handle_value};
}

void TestPlatform::move_window(WindowHandle window, Point client_origin) {
    if (TestWindow* found = find_window(window)) {
        found->client.x = client_origin.x;
        found->client.y = client_origin.y;
    }
}

void TestPlatform::destroy_window(WindowHandle window) {
    record("external destroy_window " + window_name(window));
    destroy(window);
}

WindowHandle TestPlatform::test_window_at(Point point) const {
    for (auto w = windows_.rbegin(); w != windows_.rend(); ++w) {
        if (!(*w)->is_overlay && (*w)->exists && contains((*w)->client, point)) {
            return (*w)->handle;
        }
    }
    return WindowHandle{};
}

TestWindow* TestPlatform::find_window(WindowHandle window) {
    for (const auto& w : windows_) {
        if (window && w->handle == window) {
            return w.get();
        }
    }
    return nullptr;
}

std::string TestPlatform::window_name(WindowHandle window) const {
    for (const auto& w : windows_) {
        if (window && w->handle == window) {
            return w->name;
        }
    }
    return window ? "unknown-" + std::to_string(window.value) : "none";
}

WindowHandle TestPlatform::create_overlay(std::int32_t width, std::int32_t height) {
    if (fail_create_overlay || !class_registered || overlay) {
        return WindowHandle{};
    }
    auto window = std::make_unique<TestWindow>();
    window->name = "overlay";
    window->handle = WindowHandle{overlay_handle_value};
    window->client = Rect{0, 0, width, height};
    window->is_overlay = true;
    overlay = window->handle;
    windows_.push_back(std::move(window));
    overlay_width_ = std::max(width, 0);
    overlay_height_ = std::max(height, 0);
    overlay_pixels_.assign(
        static_cast<std::size_t>(overlay_width_) * static_cast<std::size_t>(overlay_height_), 0u);
    // As on Windows, the creation is told before the creating call returns.
    record("created");
    zrv5_overlay_created(overlay);
    return overlay;
}

void TestPlatform::change_screen(std::int32_t width, std::int32_t height) {
    screen_width_ = std::max(width, 0);
    screen_height_ = std::max(height, 0);
    screen_.assign(static_cast<std::size_t>(screen_width_) * static_cast<std::size_t>(screen_height_),
                   DESKTOP_COLOUR);
    overlay_width_ = screen_width_;
    overlay_height_ = screen_height_;
    overlay_pixels_.assign(screen_.size(), 0u);
    if (TestWindow* found = find_window(overlay)) {
        found->client = Rect{0, 0, overlay_width_, overlay_height_};
    }
    record("screen_changed " + std::to_string(width) + " " + std::to_string(height));
    zrv5_screen_changed(overlay, width, height);
}

void TestPlatform::destroy(WindowHandle window) {
    TestWindow* found = find_window(window);
    if (found == nullptr || !found->exists) {
        return;
    }
    if (found->is_overlay) {
        // The window still exists while its destruction is told.
        record("destroyed");
        zrv5_overlay_destroyed(window);
    }
    found->exists = false;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const TimerRecord& t) { return t.window == window; }),
                 timers.end());
    if (capture_holder == window) {
        capture_holder = WindowHandle{};
    }
}

// --- Script of the message loop --------------------------------------------------------------

void TestPlatform::then(std::function<void()> step) { script_.push_back(std::move(step)); }

void TestPlatform::queue_click(Point screen_point) {
    then([this, screen_point] {
        const TestWindow* holder = find_window(capture_holder);
        if (holder == nullptr || !holder->exists) {
            // Without the capture the input-transparent overlay lets the click through.
            record("external click " + point_text(screen_point) + " -> " +
                   window_name(test_window_at(screen_point)));
            return;
        }
        record("external click " + point_text(screen_point) + " -> overlay");
        queue_.push_back([this, screen_point] {
            record("pick_at " + point_text(screen_point));
            zrv5_pick_at(overlay, screen_point);
        });
    });
}

void TestPlatform::queue_ticks(int count_of_ticks) {
    for (int i = 0; i < count_of_ticks; ++i) {
        then([this] { tick(1); });
    }
}

void TestPlatform::queue_quit(std::int32_t code) {
    then([this, code] { post_quit_from_elsewhere(code); });
}

void TestPlatform::tick(std::uint32_t id) {
    const bool running = std::any_of(timers.begin(), timers.end(), [&](const TimerRecord& t) {
        return t.window == overlay && t.id == id;
    });
    if (!running) {
        record("external tick " + std::to_string(id) + " missed: no timer");
        return;
    }
    force_timer(id);
}

void TestPlatform::force_timer(std::uint32_t id) {
    queue_.push_back([this, id] {
        const TestWindow* found = find_window(overlay);
        if (found == nullptr || !found->exists) {
            record("timer " + std::to_string(id) + " dropped: no overlay");
            return;
        }
        record("timer " + std::to_string(id));
        zrv5_timer(overlay, id);
    });
}

void TestPlatform::post_quit_from_elsewhere(std::int32_t code) {
    record("external quit " + std::to_string(code));
    post_quit(code);
}

void TestPlatform::post_quit(std::int32_t code) {
    // The first quit ends the loop; another is only counted.
    if (!quit_posted_) {
        quit_posted_ = true;
        quit_code_ = code;
    }
}

std::int32_t TestPlatform::run_message_loop() {
    for (;;) {
        // A posted quit comes first, then the events waiting, then the script.
        if (quit_posted_) {
            record("loop ends " + std::to_string(quit_code_));
            return quit_code_;
        }
        if (!queue_.empty()) {
            const std::function<void()> event = queue_.front();
            queue_.pop_front();
            event();
            continue;
        }
        if (next_step_ < script_.size()) {
            // A copy: the step may queue further steps and move the script's storage.
            const std::function<void()> step = script_[next_step_++];
            step();
            continue;
        }
        fail("the message loop ran out of script before a quit message");
        return LOOP_RAN_OUT;
    }
}

// --- Profile and settings --------------------------------------------------------------------

void TestPlatform::set_profile(const std::string& section, const std::string& key,
                               const std::string& value) {
    profile_[section][key] = value;
}

std::string TestPlatform::profile(const std::string& section, const std::string& key,
                                  const std::string& missing) const {
    const auto in_section = profile_.find(section);
    if (in_section == profile_.end()) {
        return missing;
    }
    const auto value = in_section->second.find(key);
    return value == in_section->second.end() ? missing : value->second;
}

void TestPlatform::set_setting(const std::string& path, const std::string& section,
                               const std::string& key, const std::string& value) {
    settings_[path + "|" + section + "|" + key] = value;
}

const std::string* TestPlatform::setting(const std::string& path, const std::string& section,
                                         const std::string& key) const {
    const auto found = settings_.find(path + "|" + section + "|" + key);
    return found == settings_.end() ? nullptr : &found->second;
}

// --- Fixture ---------------------------------------------------------------------------------

void SystemTest::SetUp() { tp.reset(1400, 1050); }

void SystemTest::TearDown() {
    EXPECT_EQ(tp.guard_damage(), "");
    std::string problems;
    for (const std::string& error : tp.errors) {
        problems += error + "\n";
    }
    EXPECT_EQ(problems, "") << tp.log_text();
    if (HasFailure()) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string path =
            ::testing::TempDir() + info->test_suite_name() + "." + info->name() + ".ppm";
        if (tp.save_overlay(path)) {
            std::fprintf(stderr, "overlay saved to %s\n", path.c_str());
        }
    }
}

// --- Seam: start-up --------------------------------------------------------------------------

LayeredAttributesOp platform_resolve_layered_attributes() {
    test_platform.record("resolve_layered_attributes");
    return test_platform.layered_attributes_missing ? nullptr : test_platform.layered_token();
}

std::string platform_executable_path() {
    test_platform.record("executable_path");
    return test_platform.executable_path;
}

std::string platform_read_setting(const std::string& path, const char* section, const char* key,
                                  const char* default_text) {
    test_platform.record("read_setting " + path + " " + text_of(section) + " " + text_of(key));
    const std::string* value = test_platform.setting(path, text_of(section), text_of(key));
    return value != nullptr ? *value : text_of(default_text);
}

Box platform_screen_box() {
    test_platform.record("screen_box");
    return test_platform.screen_box();
}

bool platform_register_class(InstanceHandle instance) {
    test_platform.record("register_class");
    if (instance != test_platform.instance()) {
        test_platform.fail("register_class: not the entry's instance handle");
    }
    test_platform.class_registered = !test_platform.fail_register_class;
    return test_platform.class_registered;
}

WindowHandle platform_create_overlay(InstanceHandle instance, std::int32_t width,
                                     std::int32_t height) {
    test_platform.record("create_overlay " + std::to_string(width) + " " + std::to_string(height));
    if (instance != test_platform.instance()) {
        test_platform.fail("create_overlay: not the entry's instance handle");
    }
    return test_platform.create_overlay(width, height);
}

void platform_show_window(WindowHandle window, std::int32_t show_state) {
    test_platform.record("show_window " + test_platform.window_name(window) + " " +
                         std::to_string(show_state));
}

std::int32_t platform_run_message_loop() {
    test_platform.record("run_message_loop");
    return test_platform.run_message_loop();
}

// --- Seam: window system ---------------------------------------------------------------------

bool platform_set_capture(WindowHandle window) {
    test_platform.record("set_capture " + test_platform.window_name(window));
    if (test_platform.fail_set_capture) {
        return false;
    }
    const TestWindow* found = test_platform.find_window(window);
    if (found != nullptr && found->exists) {
        test_platform.capture_holder = window;
    }
    return true;
}

void platform_release_capture() {
    test_platform.record("release_capture");
    test_platform.capture_holder = WindowHandle{};
}

WindowHandle platform_window_from_point(Point point) {
    const WindowHandle found = test_platform.test_window_at(point);
    // The input-transparent overlay is found only where no test window lies: the release of a
    // click on the overlay itself.
    const WindowHandle window = found ? found : test_platform.overlay;
    test_platform.record("window_from_point " + point_text(point) + " -> " +
                         test_platform.window_name(window));
    return window;
}

void platform_message_box(WindowHandle owner, const char* text, const char* caption) {
    test_platform.record("message_box " + text_of(text) + " / " + text_of(caption));
    test_platform.message_boxes.push_back(MessageBoxRecord{owner, text_of(text), text_of(caption)});
}

Box platform_client_box(WindowHandle window) {
    test_platform.record("client_box " + test_platform.window_name(window));
    const TestWindow* found = test_platform.find_window(window);
    if (found == nullptr || !found->exists) {
        return Box{};
    }
    return Box{0, 0, found->client.width, found->client.height};
}

TargetLook platform_look_at_target(WindowHandle overlay, WindowHandle target, Size capture) {
    return test_platform.look(overlay, target, capture);
}

void platform_make_opaque(LayeredAttributesOp operation, WindowHandle window) {
    test_platform.record("make_opaque " + test_platform.window_name(window));
    if (operation != test_platform.layered_token()) {
        test_platform.fail("make_opaque: not the resolved operation");
    }
    test_platform.overlay_opaque = true;
}

void platform_set_timer(WindowHandle window, std::uint32_t id, std::int32_t period_ms) {
    test_platform.record("set_timer " + std::to_string(id) + " " + std::to_string(period_ms));
    auto& timers = test_platform.timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const TimerRecord& t) { return t.window == window && t.id == id; }),
                 timers.end());
    timers.push_back(TimerRecord{window, id, period_ms});
}

void platform_kill_timer(WindowHandle window, std::uint32_t id) {
    test_platform.record("kill_timer " + std::to_string(id));
    auto& timers = test_platform.timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const TimerRecord& t) { return t.window == window && t.id == id; }),
                 timers.end());
}

void platform_destroy_window(WindowHandle window) {
    test_platform.record("destroy_window " + test_platform.window_name(window));
    test_platform.destroy(window);
}

void platform_post_quit(std::int32_t code) {
    test_platform.record("post_quit " + std::to_string(code));
    test_platform.post_quit(code);
}

// --- Seam: shared profile --------------------------------------------------------------------

void platform_write_profile(const char* section, const char* key, const char* value) {
    test_platform.record("write_profile " + text_of(section) + " " + text_of(key) + " " +
                         text_of(value));
    test_platform.profile_map()[text_of(section)][text_of(key)] = text_of(value);
}

std::string platform_read_profile(const char* section, const char* key, const char* default_text) {
    test_platform.record("read_profile " + text_of(section) + " " + text_of(key));
    return test_platform.profile(text_of(section), text_of(key), text_of(default_text));
}
