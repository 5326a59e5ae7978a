// The recording test platform's windows and message loop: test windows and the overlay, the
// script of steps that stands for the user and the other programs, and the window-system part of
// the seam.
#include <algorithm>
#include <utility>

#include "support/test_platform.h"

namespace {

constexpr std::uintptr_t WINDOW_HANDLE_STEP = 0x10u;

std::string text_of(const char* text) {
    return text == nullptr ? std::string("(null)") : std::string(text);
}

bool contains(Rect area, Point point) {
    // Differences in 64 bits: a client rectangle near the 32-bit limits must not overflow.
    const std::int64_t dx = std::int64_t{point.x} - area.x;
    const std::int64_t dy = std::int64_t{point.y} - area.y;
    return dx >= 0 && dy >= 0 && dx < area.width && dy < area.height;
}

}  // namespace

// --- Windows ---------------------------------------------------------------------------------

WindowHandle TestPlatform::add_window(const std::string& name, Rect client,
                                      std::uint32_t owner_thread, std::uintptr_t handle_value) {
    if (handle_value == 0) {
        do {
            handle_value = next_handle_value_;
            next_handle_value_ += WINDOW_HANDLE_STEP;
        } while (find_window(WindowHandle{handle_value}) != nullptr ||
                 handle_value == overlay_handle_value);
    } else if (find_window(WindowHandle{handle_value}) != nullptr) {
        fail("add_window: handle value already in use by " +
             window_name(WindowHandle{handle_value}));
    }
    auto window = std::make_unique<TestWindow>();
    window->name = name;
    window->handle = WindowHandle{handle_value};
    window->client = client;
    window->owner_thread = owner_thread;
    windows_.push_back(std::move(window));
    return WindowHandle{handle_value};
}

void TestPlatform::move_window(WindowHandle window, Point client_origin) {
    if (TestWindow* found = find_window(window)) {
        found->client.x = client_origin.x;
        found->client.y = client_origin.y;
    }
}

void TestPlatform::resize_window(WindowHandle window, std::int32_t width, std::int32_t height) {
    if (TestWindow* found = find_window(window)) {
        found->client.width = width;
        found->client.height = height;
    }
}

void TestPlatform::raise_window(WindowHandle window) {
    const auto at = std::find_if(windows_.begin(), windows_.end(),
                                 [&](const auto& w) { return w->handle == window; });
    if (at != windows_.end()) {
        std::rotate(at, at + 1, windows_.end());
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
    if (!window) {
        return nullptr;
    }
    for (const auto& w : windows_) {
        if (w->handle == window) {
            return w.get();
        }
    }
    return nullptr;
}

std::string TestPlatform::window_name(WindowHandle window) const {
    if (!window) {
        return "none";
    }
    for (const auto& w : windows_) {
        if (w->handle == window) {
            return w->name;
        }
    }
    return "unknown-" + std::to_string(window.value);
}

WindowHandle TestPlatform::create_overlay(std::int32_t width, std::int32_t height) {
    if (fail_create_overlay || !class_registered) {
        return WindowHandle{};
    }
    if (overlay) {
        fail("create_overlay: the overlay was created before");
        return WindowHandle{};
    }
    if (find_window(WindowHandle{overlay_handle_value}) != nullptr || overlay_handle_value == 0) {
        fail("create_overlay: overlay_handle_value is 0 or taken by a test window");
        return WindowHandle{};
    }
    auto window = std::make_unique<TestWindow>();
    window->name = "overlay";
    window->handle = WindowHandle{overlay_handle_value};
    window->client = Rect{0, 0, width, height};
    window->owner_thread = GUI_THREAD;
    window->is_overlay = true;
    overlay = window->handle;
    windows_.push_back(std::move(window));
    overlay_width_ = std::max(width, 0);
    overlay_height_ = std::max(height, 0);
    overlay_pixels_.assign(
        static_cast<std::size_t>(overlay_width_) * static_cast<std::size_t>(overlay_height_), 0u);
    // As on Windows, the creation message is handled before the creating call returns.
    deliver(overlay, MSG_CREATE, 0, 0);
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
    overlay_screen_changed(overlay, width, height);
}

void TestPlatform::destroy(WindowHandle window) {
    TestWindow* found = find_window(window);
    if (found == nullptr || !found->exists) {
        return;
    }
    if (found->is_overlay) {
        // The window still exists while its destruction message is handled.
        deliver(window, MSG_DESTROY, 0, 0);
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
    then([this, screen_point] { release_left_button(screen_point); });
}

void TestPlatform::queue_ticks(int count_of_ticks) {
    for (int i = 0; i < count_of_ticks; ++i) {
        then([this] { tick(1); });
    }
}

void TestPlatform::queue_quit(std::int32_t code) {
    then([this, code] { post_quit_from_elsewhere(code); });
}

void TestPlatform::release_left_button(Point screen_point) {
    const std::string where = std::to_string(screen_point.x) + " " + std::to_string(screen_point.y);
    TestWindow* holder = find_window(capture_holder);
    if (holder != nullptr && holder->exists && holder->is_overlay) {
        record("external click " + where + " -> overlay");
        const Point client{screen_point.x - holder->client.x, screen_point.y - holder->client.y};
        post(QueuedMessage{overlay, MSG_LBUTTONUP, 0, pack_point(client.x, client.y)});
        return;
    }
    // Without the capture the input-transparent overlay lets the release through.
    record("external click " + where + " -> " + window_name(test_window_at(screen_point)));
}

void TestPlatform::post_left_button_up(Point client_point) {
    record("external post lbuttonup " + std::to_string(client_point.x) + " " +
           std::to_string(client_point.y));
    post(QueuedMessage{overlay, MSG_LBUTTONUP, 0, pack_point(client_point.x, client_point.y)});
}

void TestPlatform::tick(std::uint32_t id) {
    const bool running = std::any_of(timers.begin(), timers.end(), [&](const TimerRecord& t) {
        return t.window == overlay && t.id == id;
    });
    if (!running) {
        record("external tick " + std::to_string(id) + " missed: no timer");
        return;
    }
    record("external tick " + std::to_string(id));
    post(QueuedMessage{overlay, MSG_TIMER, id, 0});
}

void TestPlatform::force_timer_message(std::uint32_t id) {
    record("external timer message " + std::to_string(id));
    post(QueuedMessage{overlay, MSG_TIMER, id, 0});
}

void TestPlatform::post_quit_from_elsewhere(std::int32_t code) {
    record("external quit " + std::to_string(code));
    QueuedMessage quit;
    quit.quit = true;
    quit.quit_code = code;
    post(quit);
}

std::intptr_t TestPlatform::send_to_overlay(std::uint32_t message, std::uintptr_t first,
                                            std::intptr_t second) {
    record("external send " + std::to_string(message));
    return deliver(overlay, message, first, second);
}

void TestPlatform::post(const QueuedMessage& message) { queue_.push_back(message); }

std::intptr_t TestPlatform::deliver(WindowHandle window, std::uint32_t message,
                                    std::uintptr_t first, std::intptr_t second) {
    std::string entry = "message ";
    switch (message) {
    case MSG_CREATE:
        entry += "create";
        break;
    case MSG_DESTROY:
        entry += "destroy";
        break;
    case MSG_QUIT:
        entry += "quit";
        break;
    case MSG_TIMER:
        entry += "timer " + std::to_string(first);
        break;
    case MSG_LBUTTONUP: {
        const Point at = unpack_point(second);
        entry += "lbuttonup " + std::to_string(at.x) + " " + std::to_string(at.y);
        break;
    }
    default:
        entry += std::to_string(message);
        break;
    }
    TestWindow* found = find_window(window);
    if (found == nullptr || !found->exists || !found->is_overlay) {
        record(entry + " dropped: no such overlay");
        return 0;
    }
    record(entry);
    return overlay_window_procedure(window, message, first, second);
}

std::int32_t TestPlatform::run_message_loop() {
    for (;;) {
        if (!queue_.empty()) {
            const QueuedMessage message = queue_.front();
            queue_.pop_front();
            if (message.quit) {
                record("loop ends " + std::to_string(message.quit_code));
                return message.quit_code;
            }
            deliver(message.window, message.message, message.first, message.second);
            continue;
        }
        if (next_step_ < script_.size()) {
            // A copy: the step may queue further steps and move the script's storage.
            const std::function<void()> step = script_[next_step_++];
            step();
            continue;
        }
        loop_ran_out = true;
        fail("the message loop ran out of script before a quit message");
        return LOOP_RAN_OUT;
    }
}

// --- Seam: window system ---------------------------------------------------------------------

bool platform_set_capture(WindowHandle window) {
    test_platform.record("set_capture " + test_platform.window_name(window));
    const TestWindow* found = test_platform.find_window(window);
    if (test_platform.fail_set_capture) {
        return false;
    }
    if (found != nullptr && found->exists) {
        test_platform.capture_holder = window;
    }
    return true;
}

void platform_release_capture() {
    test_platform.record("release_capture");
    test_platform.capture_holder = WindowHandle{};
}

Point platform_client_to_screen(WindowHandle window, Point point) {
    test_platform.record("client_to_screen " + test_platform.window_name(window) + " " +
                         std::to_string(point.x) + " " + std::to_string(point.y));
    const TestWindow* found = test_platform.find_window(window);
    if (found == nullptr || !found->exists) {
        return point;  // the conversion fails and leaves the point as it was
    }
    return Point{point.x + found->client.x, point.y + found->client.y};
}

Point platform_screen_to_client(WindowHandle window, Point point) {
    test_platform.record("screen_to_client " + test_platform.window_name(window) + " " +
                         std::to_string(point.x) + " " + std::to_string(point.y));
    const TestWindow* found = test_platform.find_window(window);
    if (found == nullptr || !found->exists) {
        return point;
    }
    return Point{point.x - found->client.x, point.y - found->client.y};
}

WindowHandle platform_window_from_point(Point point) {
    test_platform.record("window_from_point " + std::to_string(point.x) + " " +
                         std::to_string(point.y));
    const TestWindow* overlay = test_platform.find_window(test_platform.overlay);
    const bool overlay_there = overlay != nullptr && overlay->exists;
    if (test_platform.overlay_is_hit && overlay_there) {
        return test_platform.overlay;
    }
    const WindowHandle beneath = test_platform.test_window_at(point);
    if (beneath) {
        return beneath;
    }
    // Where the test configured no window, the click counts as one on the overlay.
    return overlay_there ? test_platform.overlay : WindowHandle{};
}

void platform_message_box(WindowHandle owner, const char* text, const char* caption) {
    test_platform.record("message_box " + test_platform.window_name(owner) + " " + text_of(text) +
                         " " + text_of(caption));
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

bool platform_window_exists(WindowHandle window) {
    test_platform.record("window_exists " + test_platform.window_name(window));
    const TestWindow* found = test_platform.find_window(window);
    return found != nullptr && found->exists;
}

void platform_keep_on_top(WindowHandle window) {
    test_platform.record("keep_on_top " + test_platform.window_name(window));
}

void platform_make_opaque(LayeredAttributesOp operation, WindowHandle window) {
    test_platform.record("make_opaque " + test_platform.window_name(window));
    if (operation == nullptr || operation != test_platform.layered_token()) {
        test_platform.fail("make_opaque: called without the resolved layered-attributes operation");
        return;
    }
    const TestWindow* found = test_platform.find_window(window);
    if (found != nullptr && found->exists && found->is_overlay) {
        test_platform.overlay_opaque = true;
    }
}

void platform_set_timer(WindowHandle window, std::uint32_t id, std::int32_t period_ms) {
    test_platform.record("set_timer " + std::to_string(id) + " " + std::to_string(period_ms));
    const TestWindow* found = test_platform.find_window(window);
    if (found == nullptr || !found->exists) {
        return;
    }
    auto& timers = test_platform.timers;
    timers.erase(
        std::remove_if(timers.begin(), timers.end(),
                       [&](const TimerRecord& t) { return t.window == window && t.id == id; }),
        timers.end());
    timers.push_back(TimerRecord{window, id, period_ms});
}

void platform_kill_timer(WindowHandle window, std::uint32_t id) {
    test_platform.record("kill_timer " + std::to_string(id));
    auto& timers = test_platform.timers;
    timers.erase(
        std::remove_if(timers.begin(), timers.end(),
                       [&](const TimerRecord& t) { return t.window == window && t.id == id; }),
        timers.end());
}

void platform_destroy_window(WindowHandle window) {
    test_platform.record("destroy_window " + test_platform.window_name(window));
    test_platform.destroy(window);
}

void platform_post_quit(std::int32_t code) {
    test_platform.record("post_quit " + std::to_string(code));
    QueuedMessage quit;
    quit.quit = true;
    quit.quit_code = code;
    test_platform.post(quit);
}

Point platform_cursor_position() {
    test_platform.record("cursor_position");
    return test_platform.pointer;
}
