// Tests of the settings text: the decimal conversion with its wrap, and the settings file's path.
#include "shell/settings_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "vocabulary/decimal.h"

namespace {

constexpr std::int32_t INT32_MAX_VALUE = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t INT32_MIN_VALUE = std::numeric_limits<std::int32_t>::min();

TEST(DecimalToInt, ReadsLikeTheStandardConversion) {
    struct TextCase {
        const char* text;
        std::int32_t expected;
    };
    const TextCase cases[] = {
        {"abc", 0},
        {"", 0},
        {"2x", 2},
        {"  -7", -7},
        {"+5", 5},
        {"100", 100},
        {"007", 7},
        {" \t\n\v\f\r42", 42},
        {"- 5", 0},  // the sign must touch the digits
        {"+-5", 0},  // one sign only
        {"-", 0},
        {"x1", 0},
        {"12 34", 12},
        {"-0", 0},
        {"2147483647", INT32_MAX_VALUE},
        {"-2147483648", INT32_MIN_VALUE},
        // Beyond 32 bits the value wraps modulo 2^32.
        {"2147483648", INT32_MIN_VALUE},
        {"-2147483649", INT32_MAX_VALUE},
        {"4294967295", -1},
        {"4294967296", 0},
        {"4294967297", 1},
        {"-4294967297", -1},
        {"99999999999999999999", 1661992959},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.text << "'");
        EXPECT_EQ(decimal_to_int(c.text), c.expected);
    }
    EXPECT_EQ(decimal_to_int(nullptr), 0);
}

TEST(SettingsPath, ReplacesOnlyTheFileNamesExtension) {
    struct PathCase {
        const char* executable;
        const char* expected;
    };
    const PathCase cases[] = {
        {"C:\\games\\view.exe", "C:\\games\\view.ini"},
        {"C:\\my.dir\\view", "C:\\my.dir\\view.ini"},
        {"/home/u/.local/bin/zrv5", "/home/u/.local/bin/zrv5.ini"},
        {"/opt/zrv5/zrv5.bin", "/opt/zrv5/zrv5.ini"},
        {"a.b.exe", "a.b.ini"},
        {"view", "view.ini"},
        {"view.", "view.ini"},
        {"/opt/zrv5/.zrv5", "/opt/zrv5/.zrv5.ini"},
        {"C:\\dir/.zrv5.exe", "C:\\dir/.zrv5.ini"},
        {"C:/mixed.dir\\view", "C:/mixed.dir\\view.ini"},
        {"C:\\mixed.dir/view.exe", "C:\\mixed.dir/view.ini"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.executable);
        EXPECT_EQ(settings_path(c.executable), c.expected);
    }
}

TEST(SettingsPath, LongPathsAreNotCut) {
    // A path that would overflow a 260-character buffer, with the dot in the last three characters.
    const std::string folder = "/" + std::string(990, 'd') + "/";
    ASSERT_EQ(folder.size() + 8, 1000u);
    EXPECT_EQ(settings_path(folder + "zrv5.exe"), folder + "zrv5.ini");
    EXPECT_EQ(settings_path(folder + "zrv5.x"), folder + "zrv5.ini");
}

}  // namespace
