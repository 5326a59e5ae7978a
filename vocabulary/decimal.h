// The decimal conversion every number text of the system goes through: the settings, the shared
// profile's keys and the exit request. Bottom layer: includes nothing else of ours, no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/int32_math.h"

// Returns the value of decimal text: leading white space skipped, an optional sign, then digits up
// to the first non-digit; 0 when there are none (or for null); digits beyond 32 bits wrap modulo
// 2^32.
inline std::int32_t decimal_to_int(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    const auto is_blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    while (is_blank(*text)) {
        ++text;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
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
