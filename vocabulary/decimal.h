// The decimal conversion every number text of the system goes through: the settings, the shared
// profile's keys and the exit request. Bottom layer: includes nothing else of ours, no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/int32_math.h"

// Returns where the digits of decimal text start: past leading white space and an optional sign,
// which sets `negative` when it is a minus. `text` is not null.
inline const char* decimal_digits(const char* text, bool* negative) {
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\v' || *text == '\f' ||
           *text == '\r') {
        ++text;
    }
    *negative = *text == '-';
    if (*text == '+' || *text == '-') {
        ++text;
    }
    return text;
}

// Returns the value of decimal text: leading white space skipped, an optional sign, then digits up
// to the first non-digit; 0 when there are none (or for null); digits beyond 32 bits wrap modulo
// 2^32.
inline std::int32_t decimal_to_int(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    bool negative = false;
    text = decimal_digits(text, &negative);
    // Unsigned arithmetic wraps modulo 2^32 by definition, which is the wrap the settings promise.
    std::uint32_t value = 0;
    while (*text >= '0' && *text <= '9') {
        value = value * 10u + static_cast<std::uint32_t>(*text - '0');
        ++text;
    }
    if (negative) {
        value = 0u - value;
    }
    return as_signed(value);
}
