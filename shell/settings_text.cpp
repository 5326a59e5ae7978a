// Settings text: the standard decimal conversion and the path of the settings file beside the
// executable. Portable core: no OS header.
#include "shell/settings_text.h"

#include <cstdint>
#include <limits>
#include <string>

namespace {

constexpr std::uint32_t SIGN_BIT = 0x80000000u;
const char* const SETTINGS_EXTENSION = ".ini";

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Returns the 32 bits read as two's complement, without the implementation-defined conversion of
// an out-of-range unsigned value.
std::int32_t as_signed(std::uint32_t bits) {
    if ((bits & SIGN_BIT) == 0) {
        return static_cast<std::int32_t>(bits);
    }
    return std::numeric_limits<std::int32_t>::min() + static_cast<std::int32_t>(bits & ~SIGN_BIT);
}

}  // namespace

std::int32_t decimal_to_int(const char* text) {
    if (text == nullptr) {
        return 0;
    }
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
    while (is_digit(*text)) {
        value = value * 10u + static_cast<std::uint32_t>(*text - '0');
        ++text;
    }
    if (negative) {
        value = 0u - value;
    }
    return as_signed(value);
}

std::string settings_path(const std::string& executable_path) {
    const std::size_t last_separator = executable_path.find_last_of("/\\");
    const std::size_t name_start =
        last_separator == std::string::npos ? 0 : last_separator + 1;
    // Leading dots mark a hidden file, not an extension, so the search starts after them.
    const std::size_t stem_start = executable_path.find_first_not_of('.', name_start);
    std::size_t dot = std::string::npos;
    if (stem_start != std::string::npos) {
        dot = executable_path.find_last_of('.');
        if (dot != std::string::npos && dot < stem_start) {
            dot = std::string::npos;
        }
    }
    if (dot == std::string::npos) {
        return executable_path + SETTINGS_EXTENSION;
    }
    return executable_path.substr(0, dot) + SETTINGS_EXTENSION;
}
