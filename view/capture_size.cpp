// The capture size: the target's client width and height rounded down to even.
// Portable core: no OS header.
#include "view/capture_size.h"

#include <cstdint>
#include <limits>

namespace {

// Returns the side rounded to even toward zero; the difference is formed in 64 bits because the
// edges of a rectangle may lie more than 2^31 apart, and a result beyond 32 bits is held at the
// nearest even value that fits, so the size stays even.
std::int32_t even_side(std::int32_t low_edge, std::int32_t high_edge) {
    constexpr std::int64_t LARGEST_EVEN = std::numeric_limits<std::int32_t>::max() - 1;
    constexpr std::int64_t SMALLEST_EVEN = std::numeric_limits<std::int32_t>::min();
    std::int64_t side = (static_cast<std::int64_t>(high_edge) - low_edge) / 2 * 2;
    if (side > LARGEST_EVEN) {
        side = LARGEST_EVEN;
    } else if (side < SMALLEST_EVEN) {
        side = SMALLEST_EVEN;
    }
    return static_cast<std::int32_t>(side);
}

}  // namespace

CaptureSize capture_size(std::int32_t left, std::int32_t top, std::int32_t right,
                         std::int32_t bottom) {
    CaptureSize size;
    size.W = even_side(left, right);
    size.H = even_side(top, bottom);
    return size;
}
