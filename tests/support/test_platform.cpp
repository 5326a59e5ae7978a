// The recording test platform: its state and reset, the call log, the profile and the settings
// file, the start-up part of the seam, and the fixture of whole-system tests. Windows and the
// message loop, drawing, cursor images and threads live in the files beside this one.
#include "support/test_platform.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <utility>

TestPlatform test_platform;

namespace {

// Handle values of test windows start here and go up in steps that leave room between them.
constexpr std::uintptr_t FIRST_WINDOW_HANDLE = 0x000B0000u;

std::string text_of(const char* text) {
    return text == nullptr ? std::string("(null)") : std::string(text);
}

}  // namespace

void TestPlatform::reset(std::int32_t screen_width, std::int32_t screen_height) {
    // A fresh object restores every switch and frees every block, context, image and thread.
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
    calls.push_back(entry);
    call_threads.push_back(current_thread_);
}

void TestPlatform::fail(const std::string& problem) { errors.push_back(problem); }

std::vector<std::string> TestPlatform::take_errors() {
    std::vector<std::string> taken;
    taken.swap(errors);
    return taken;
}

namespace {

bool has_head(const std::string& entry, const std::string& head) {
    if (entry.compare(0, head.size(), head) != 0) {
        return false;
    }
    return entry.size() == head.size() || entry[head.size()] == ' ';
}

}  // namespace

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
    for (const std::string& entry : calls) {
        if (has_head(entry, head)) {
            found.push_back(entry);
        }
    }
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
        text << i << ": " << calls[i];
        if (call_threads[i] != GUI_THREAD) {
            text << "  [thread " << call_threads[i] << "]";
        }
        text << "\n";
    }
    return text.str();
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
    if (value != nullptr) {
        return *value;
    }
    return default_text == nullptr ? std::string() : std::string(default_text);
}

Box platform_screen_box() {
    test_platform.record("screen_box");
    return Box{0, 0, test_platform.screen_width(), test_platform.screen_height()};
}

bool platform_register_class(InstanceHandle instance) {
    test_platform.record("register_class");
    if (instance != test_platform.instance()) {
        test_platform.fail("register_class: not the entry's instance handle");
    }
    if (test_platform.fail_register_class) {
        return false;
    }
    test_platform.class_registered = true;
    return true;
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

std::intptr_t platform_default_procedure(WindowHandle window, std::uint32_t message, std::uintptr_t,
                                         std::intptr_t) {
    test_platform.record("default_procedure " + test_platform.window_name(window) + " " +
                         std::to_string(message));
    return 0;
}

// --- Seam: shared profile --------------------------------------------------------------------

void platform_write_profile(const char* section, const char* key, const char* value) {
    test_platform.record("write_profile " + text_of(section) + " " + text_of(key) + " " +
                         text_of(value));
    auto& profile = test_platform.profile_map();
    // As the system profile does: no key removes the section, no value removes the key.
    if (key == nullptr) {
        profile.erase(text_of(section));
    } else if (value == nullptr) {
        profile[text_of(section)].erase(std::string(key));
    } else {
        profile[text_of(section)][key] = value;
    }
}

std::string platform_read_profile(const char* section, const char* key, const char* default_text) {
    test_platform.record("read_profile " + text_of(section) + " " + text_of(key));
    const std::string missing = default_text == nullptr ? std::string() : std::string(default_text);
    return test_platform.profile(text_of(section), text_of(key), missing);
}
