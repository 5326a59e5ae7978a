// The settings file through the real private-profile read: defaults, a missing file, empty values,
// case, values longer than the 260-character buffer, and text that is not a number.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "shell/settings_file.h"
#include "shell/settings_text.h"

namespace {

// A settings file of its own in the temporary folder, removed at the end.
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = std::string(folder) + "zrv5_settings_" + info->name() + ".ini";
        DeleteFileA(path.c_str());
    }
    void TearDown() override { DeleteFileA(path.c_str()); }

    void write(const std::string& text) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }

    std::string path;
};

TEST_F(SettingsFile, MissingFileGivesTheDefaults) {
    const Settings s = read_settings(path);
    EXPECT_EQ(s.time, 100);
    EXPECT_EQ(s.mouse_trs, 3);
    EXPECT_EQ(s.stretch, 0);
    EXPECT_EQ(s.smoothness, 0);
}

TEST_F(SettingsFile, AllFourKeysAreRead) {
    write("[Zarvo5]\r\ntime=40\r\nmouse_trs=1\r\nstretch=2\r\nsmoothness=3\r\n");
    const Settings s = read_settings(path);
    EXPECT_EQ(s.time, 40);
    EXPECT_EQ(s.mouse_trs, 1);
    EXPECT_EQ(s.stretch, 2);
    EXPECT_EQ(s.smoothness, 3);
}

// A file as users write it: the system's own section and keys found whatever their case, after
// another section with the same keys; a key given twice; a key left out keeps its default. How the
// profile reader treats case and repeats is the operating system's; this checks that the names the
// settings ask for are the ones users write.
TEST_F(SettingsFile, AUsersFileGivesTheSystemsSectionAndKeys) {
    write("[Other]\ntime=7\nstretch=1\n[ZARVO5]\nTime=30\ntime=60\nSTRETCH=2\nSmoothness=3\n");
    const Settings s = read_settings(path);
    EXPECT_EQ(s.time, 30);
    EXPECT_EQ(s.mouse_trs, 3);
    EXPECT_EQ(s.stretch, 2);
    EXPECT_EQ(s.smoothness, 3);
}

TEST_F(SettingsFile, EmptyValueIsZeroNotTheDefault) {
    write("[Zarvo5]\ntime=\nmouse_trs=\n");
    const Settings s = read_settings(path);
    EXPECT_EQ(s.time, 0);
    EXPECT_EQ(s.mouse_trs, 0);
    EXPECT_EQ(platform_read_setting(path, "Zarvo5", "time", "100"), "");
}

TEST_F(SettingsFile, TextThatIsNotANumberConvertsAsFarAsItsDigitsGo) {
    write("[Zarvo5]\ntime=abc\nmouse_trs=2x\nstretch=  -1 \nsmoothness=\"1\"\n");
    const Settings s = read_settings(path);
    EXPECT_EQ(s.time, 0);
    EXPECT_EQ(s.mouse_trs, 2);
    EXPECT_EQ(s.stretch, -1);
    EXPECT_EQ(s.smoothness, 1);  // the private-profile read strips the quotes
}

TEST_F(SettingsFile, ValueLongerThanTheBufferIsCutTo259Characters) {
    // 300 zeros and then a 7: the 260-character buffer keeps zeros only, so the value reads 0.
    write("[Zarvo5]\nmouse_trs=" + std::string(300, '0') + "7\ntime=25" + std::string(400, 'x') +
          "\n");
    EXPECT_EQ(platform_read_setting(path, "Zarvo5", "mouse_trs", "3"), std::string(259, '0'));
    const Settings s = read_settings(path);
    EXPECT_EQ(s.mouse_trs, 0);
    EXPECT_EQ(s.time, 25);
}

TEST(ExecutablePath, IsTheFullPathOfThisProgramAndGivesAnIniBesideIt) {
    const std::string path = platform_executable_path();
    ASSERT_GT(path.size(), 3u);
    EXPECT_EQ(path[1], ':') << path;
    EXPECT_EQ(path.substr(path.size() - 4), ".exe") << path;
    char expected[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, expected, MAX_PATH);
    EXPECT_EQ(path, expected);
    const std::string ini = settings_path(path);
    EXPECT_EQ(ini, path.substr(0, path.size() - 4) + ".ini");
}

}  // namespace
