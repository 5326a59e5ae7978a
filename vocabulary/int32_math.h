// Narrowing to the signed 32-bit arithmetic of the system: sizes and positions are computed in 64
// bits where a product could overflow, then brought back here. Bottom layer: no OS header.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Returns the value limited to the 32-bit range, so a position or size far off the screen stays
// far off instead of wrapping onto it.
inline std::int32_t saturate_int32(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(value);
}

// Returns the double truncated toward zero and limited to the 32-bit range (NaN gives 0), so no
// out-of-range conversion is ever made.
inline std::int32_t truncate_int32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(value);
}

// Returns the 32 bits read as two's complement, without the implementation-defined conversion of
// an out-of-range unsigned value.
inline std::int32_t as_signed(std::uint32_t bits) {
    constexpr std::uint32_t sign_bit = 0x80000000u;
    if ((bits & sign_bit) == 0) {
        return static_cast<std::int32_t>(bits);
    }
    return std::numeric_limits<std::int32_t>::min() + static_cast<std::int32_t>(bits & ~sign_bit);
}
