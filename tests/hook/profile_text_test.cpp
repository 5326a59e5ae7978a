// Tests of the shared profile's texts: numbers, window handles and the exit request.
#include "hook/profile_text.h"
#include "hook/published_size.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

TEST(DecimalText, ShortestSignedDecimal) {
    EXPECT_EQ(decimal_text(0), "0");
    EXPECT_EQ(decimal_text(798), "798");
    EXPECT_EQ(decimal_text(-5), "-5");
    EXPECT_EQ(decimal_text(std::numeric_limits<std::int32_t>::max()), "2147483647");
    EXPECT_EQ(decimal_text(std::numeric_limits<std::int32_t>::min()), "-2147483648");
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
        {"1", true},    {" 1", true},   {"1x", true},  {"01", true},  {"+1", true},
        {"4294967297", true},  // wraps to 1
        {"0", false},   {"2", false},   {"yes", false}, {"", false},  {"-1", false},
        {"11", false},  {"x1", false},
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
        {"640", 1400, 640},          {" +640x", 1400, 640},        {"1400", 1400, 1400},
        {"1401", 1400, 1400},        {"2147483647", 1400, 1400},   {"2147483648", 1400, 0},
        {"99999999999999999999", 1400, 0},                          {"0", 1400, 0},
        {"-640", 1400, 0},           {"-2147483648", 1400, 0},     {"", 1400, 0},
        {"abc", 1400, 0},            {"640", 0, 0},                {"640", -1, 0},
        {"640", 8589934592, 640},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.text << "' on " << c.screen);
        EXPECT_EQ(published_size(c.text, c.screen), c.size);
    }
    EXPECT_EQ(published_size(nullptr, 1400), 0);
}

}  // namespace
