// Tests of the shared profile's texts: numbers, window handles and the exit request.
#include "companion/published_size.h"
#include "shared_profile/profile_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "support/seeded.h"
#include "vocabulary/decimal.h"
#include "vocabulary/int32_math.h"

namespace {

// What the program writes to the profile, the companion and the exit poll read back: every size
// and handle comes back as itself through the decimal conversion, in the plain "%d" form (an
// optional minus, no padding, no plus sign) that any profile reader takes.
TEST(ProfileNumbers, ReadBackAsWritten) {
    SeededRandom rng(0x9C0FFEEu);
    SCOPED_TRACE(rng.trace());
    std::vector<std::int32_t> values = {0,
                                        1,
                                        -1,
                                        798,
                                        std::numeric_limits<std::int32_t>::max(),
                                        std::numeric_limits<std::int32_t>::min()};
    for (int i = 0; i < 1000; ++i) {
        values.push_back(as_signed(rng.word()));
    }
    for (const std::int32_t value : values) {
        const std::string text = decimal_text(value);
        SCOPED_TRACE(text);
        EXPECT_EQ(decimal_to_int(text.c_str()), value);
        const std::size_t digits = text[0] == '-' ? 1 : 0;
        ASSERT_LT(digits, text.size());
        EXPECT_EQ(text.find_first_not_of("0123456789", digits), std::string::npos);
        EXPECT_TRUE(text[digits] != '0' || text.size() == digits + 1) << "no leading zero";
        const std::string handle = handle_text(static_cast<std::uint32_t>(value));
        EXPECT_EQ(handle, text) << "a handle's 32 bits read as signed";
    }
}

TEST(HandleText, LowBitsReadAsSigned) {
    EXPECT_EQ(handle_text(0x1234u), "4660");
    EXPECT_EQ(handle_text(0xFFFFFFFEu), "-2");
    EXPECT_EQ(handle_text(0x80000000u), "-2147483648");
    EXPECT_EQ(handle_text(0x7FFFFFFFu), "2147483647");
    EXPECT_EQ(handle_text(0u), "0");
    if (sizeof(std::uintptr_t) > 4) {
        // Built as a 64-bit constant only where it fits, so the 32-bit build sees no narrowing.
        const std::uint64_t wide = 0x100000005ull;
        EXPECT_EQ(handle_text(static_cast<std::uintptr_t>(wide)), "5");
        EXPECT_EQ(handle_text(static_cast<std::uintptr_t>(0xFFFFFFFFFFFFFFFFull)), "-1");
    }
}

TEST(ExitRequested, OnlyTheValueOneAsks) {
    struct ExitCase {
        const char* text;
        bool asks;
    };
    const ExitCase cases[] = {
        {"1", true},   {" 1", true},         {"1x", true},   {"01", true},
        {"+1", true},  {"4294967297", true},  // wraps to 1
        {"0", false},  {"2", false},         {"yes", false}, {"", false},
        {"-1", false}, {"11", false},        {"x1", false},
    };
    for (const ExitCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.text << "'");
        EXPECT_EQ(exit_requested(c.text), c.asks);
    }
    EXPECT_FALSE(exit_requested(nullptr));
}

// What a companion reads back as "W" or "H": clamped to the screen; nothing to confine to when the
// value is not positive or does not fit in 32 bits.
TEST(PublishedSize, ClampedToTheScreenAndNothingWhenItDoesNotFit) {
    struct SizeCase {
        const char* text;
        std::int64_t screen;
        std::int32_t size;
    };
    const SizeCase cases[] = {
        {"640", 1400, 640},
        {" +640x", 1400, 640},
        {"1400", 1400, 1400},
        {"1401", 1400, 1400},
        {"2147483647", 1400, 1400},
        {"2147483648", 1400, 0},
        {"99999999999999999999", 1400, 0},
        {"0", 1400, 0},
        {"-640", 1400, 0},
        {"-2147483648", 1400, 0},
        {"", 1400, 0},
        {"abc", 1400, 0},
        {"640", 0, 0},
        {"640", -1, 0},
        {"640", 8589934592, 640},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.text << "' on " << c.screen);
        EXPECT_EQ(published_size(c.text, c.screen), c.size);
    }
    EXPECT_EQ(published_size(nullptr, 1400), 0);
}

// The view a companion reads back keeps the pointer only when the profile names a window and both
// sizes; a window read as signed keeps its sign, and each size is its own screen side's at most.
TEST(PublishedView, ConfinesOnlyAWindowWithBothSizes) {
    struct ViewCase {
        const char* window;
        const char* width;
        const char* height;
        long read_window;
        std::int32_t read_width;
        std::int32_t read_height;
        bool confines;
    };
    const ViewCase cases[] = {
        {"4194311", "640", "480", 4194311, 640, 480, true},
        {" -2", "5000", "5000", -2, 1400, 900, true},
        {"0", "640", "480", 0, 640, 480, false},
        {"x", "640", "480", 0, 640, 480, false},
        {"4194311", "0", "480", 4194311, 0, 480, false},
        {"4194311", "640", "-480", 4194311, 640, 0, false},
    };
    for (const ViewCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.window << " " << c.width << "x" << c.height);
        const auto read = [&c](const char* key) -> std::string {
            const std::string name = key;
            return name == KEY_WINDOW ? c.window : name == KEY_WIDTH ? c.width : c.height;
        };
        const PublishedView view = published_view(read, 1400, 900);
        EXPECT_EQ(view.window, c.read_window);
        EXPECT_EQ(view.width, c.read_width);
        EXPECT_EQ(view.height, c.read_height);
        EXPECT_EQ(view.confines(), c.confines);
    }
}

}  // namespace
