// The shared profile through the real per-user profile calls (win.ini in the Wine prefix): the
// four keys of the pick and their order, and the exit request, also when another process writes it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "companion_stub.h"
#include "shared_profile/publication.h"
#include "platform/platform.h"
#include "profile_child.h"
#include "vocabulary/companion_contract.h"

namespace {

// The keys of the section as the profile file lists them, in file order.
std::vector<std::string> keys_in_file(const char* section) {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    std::ifstream file(std::string(folder) + "\\win.ini");
    std::vector<std::string> keys;
    const std::string header = std::string("[") + section + "]";
    bool inside = false;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] == '[') {
            inside = _stricmp(line.c_str(), header.c_str()) == 0;
        } else if (inside && line.find('=') != std::string::npos) {
            keys.push_back(line.substr(0, line.find('=')));
        }
    }
    return keys;
}

class SharedProfile : public ::testing::Test {
protected:
    void SetUp() override {
        // Start from no section at all, so the file lists the keys in the order of their writes.
        WriteProfileStringA(PROFILE_SECTION, nullptr, nullptr);
        companion_calls = CompanionCalls{};
    }
    void TearDown() override { WriteProfileStringA(PROFILE_SECTION, nullptr, nullptr); }
};

TEST_F(SharedProfile, WrittenTextIsReadBack) {
    platform_write_profile(PROFILE_SECTION, "W", "798");
    EXPECT_EQ(platform_read_profile(PROFILE_SECTION, "W", "0"), "798");
    EXPECT_EQ(platform_read_profile(PROFILE_SECTION, "H", "none"), "none");
    EXPECT_EQ(platform_read_profile("zarvo5", "w", "0"), "798");
}

TEST_F(SharedProfile, PickPublishesFourKeysInOrderBeforeTheCompanionIsCalled) {
    platform_write_profile(PROFILE_SECTION, "Other", "x");
    // A handle whose 32 bits read as negative is published with its minus sign.
    publish_view(WindowHandle{0xFFFFFFF0u}, 798, 598);

    EXPECT_EQ(platform_read_profile(PROFILE_SECTION, KEY_WINDOW, ""), "-16");
    EXPECT_EQ(platform_read_profile(PROFILE_SECTION, KEY_WIDTH, ""), "798");
    EXPECT_EQ(platform_read_profile(PROFILE_SECTION, KEY_HEIGHT, ""), "598");
    EXPECT_EQ(platform_read_profile(PROFILE_SECTION, KEY_EXIT, ""), "0");
    const std::vector<std::string> expected{"Other", "HWND", "W", "H", "EXIT"};
    EXPECT_EQ(keys_in_file(PROFILE_SECTION), expected);

    EXPECT_EQ(companion_calls.set_hook, 1);
    EXPECT_EQ(companion_calls.window_at_set_hook, "-16");
    EXPECT_EQ(companion_calls.exit_at_set_hook, "0");
}

TEST_F(SharedProfile, PickResetsAnExitRequestLeftFromBefore) {
    platform_write_profile(PROFILE_SECTION, KEY_EXIT, "1");
    publish_view(WindowHandle{0x1234}, 640, 480);
    EXPECT_EQ(platform_read_profile(PROFILE_SECTION, KEY_WINDOW, ""), "4660");
    EXPECT_FALSE(exit_requested_by_profile());
}

TEST_F(SharedProfile, ExitRequestReadsTheValueOne) {
    EXPECT_FALSE(exit_requested_by_profile()) << "a missing key reads as 0";
    const struct {
        const char* text;
        bool exit;
    } cases[] = {{"1", true},  {" 1", true}, {"1x", true},   {"01", true},
                 {"0", false}, {"2", false}, {"yes", false}, {"", false}};
    for (const auto& c : cases) {
        platform_write_profile(PROFILE_SECTION, KEY_EXIT, c.text);
        EXPECT_EQ(exit_requested_by_profile(), c.exit) << "EXIT=\"" << c.text << "\"";
    }
}

TEST_F(SharedProfile, ExitPollSeesOneWrittenByAnotherProcess) {
    platform_write_profile(PROFILE_SECTION, KEY_EXIT, "0");
    ASSERT_FALSE(exit_requested_by_profile());
    ASSERT_EQ(run_profile_child(PROFILE_SECTION, KEY_EXIT, "1"), 0);
    EXPECT_TRUE(exit_requested_by_profile());
}

}  // namespace
