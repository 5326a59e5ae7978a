// The capture size a companion library reads back from the shared profile's "W" or "H": checked
// before it fences the pointer in, since anyone may write the profile. Header only, so that both
// companions use it without the core's library. Bottom layer: includes nothing else of ours and no
// OS header.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

// Returns the size that the decimal `text` publishes (leading blanks and a sign allowed, digits up
// to the first non-digit), clamped to `screen_size`; 0, which confines nothing, when the value is
// not positive, does not fit in a signed 32-bit number, or the screen has no size. Computed in 64
// bits, so no text overflows it.
inline std::int32_t published_size(const char* text, std::int64_t screen_size) {
    constexpr std::int64_t LARGEST = std::numeric_limits<std::int32_t>::max();
    if (text == nullptr || screen_size <= 0) {
        return 0;
    }
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\v' || *text == '\f' ||
           *text == '\r') {
        ++text;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    std::int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > LARGEST) {
            return 0;
        }
    }
    if (negative || value <= 0) {
        return 0;
    }
    return static_cast<std::int32_t>(std::min(value, screen_size));
}
