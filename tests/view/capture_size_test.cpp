// Tests of the capture size: each side rounded to even toward zero, without overflow.
#include "view/capture_size.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

constexpr std::int32_t INT32_MAX_VALUE = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t INT32_MIN_VALUE = std::numeric_limits<std::int32_t>::min();

TEST(CaptureSize, RoundsEachSideToEvenTowardZero) {
    struct SizeCase {
        std::int32_t left, top, right, bottom;
        std::int32_t W, H;
    };
    const SizeCase cases[] = {
        {0, 0, 641, 481, 640, 480},
        {0, 0, 799, 599, 798, 598},
        {0, 0, 640, 480, 640, 480},
        {100, 50, 741, 531, 640, 480},  // only the difference counts
        {0, 0, 1, 1, 0, 0},
        {0, 0, 0, 0, 0, 0},
        {0, 0, -3, -1, -2, 0},  // toward zero, not down
        {5, 5, 0, 0, -4, -4},
        // Differences beyond 32 bits: held at the nearest even value that fits.
        {INT32_MIN_VALUE, 0, INT32_MAX_VALUE, 2, INT32_MAX_VALUE - 1, 2},
        {INT32_MAX_VALUE, INT32_MAX_VALUE, INT32_MIN_VALUE, 0, INT32_MIN_VALUE,
         INT32_MIN_VALUE + 2},
        {-1000, 0, INT32_MAX_VALUE, 0, INT32_MAX_VALUE - 1, 0},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.left << ", " << c.top << ", " << c.right << ", "
                                        << c.bottom << ")");
        const CaptureSize got = capture_size(c.left, c.top, c.right, c.bottom);
        EXPECT_EQ(got.W, c.W);
        EXPECT_EQ(got.H, c.H);
    }
}

}  // namespace
