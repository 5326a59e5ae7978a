// The view a companion library reads back from the shared profile: the window and the capture size
// in "W" and "H", checked before it fences the pointer in, since anyone may write the profile.
// Header only, so that both companions use it without the core's library. Includes only the bottom
// layer's headers and no OS header.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "vocabulary/companion_contract.h"
#include "vocabulary/decimal.h"

// Returns the size that the decimal `text` publishes (leading blanks and a sign allowed, digits up
// to the first non-digit), clamped to `screen_size`; 0, which confines nothing, when the value is
// not positive, does not fit in a signed 32-bit number, or the screen has no size. Computed in 64
// bits, so no text overflows it.
inline std::int32_t published_size(const char* text, std::int64_t screen_size) {
    constexpr std::int64_t LARGEST = std::numeric_limits<std::int32_t>::max();
    if (text == nullptr || screen_size <= 0) {
        return 0;
    }
    bool negative = false;
    text = decimal_digits(text, &negative);
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

// The view as a companion reads it back from the shared profile when it starts.
struct PublishedView {
    // The decimal value at the start of "HWND" (leading blanks and a sign allowed, 0 when there is
    // none), as the C library reads it into a long; each companion makes its handle from it.
    long window = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // The pointer is kept only when the profile names a window and a size.
    bool confines() const { return window != 0 && width > 0 && height > 0; }
};

// Reads the view through `read(key)`, which returns the profile's text for `key` ("0" when the key
// is missing), each size clamped to the screen's.
template <typename Read>
PublishedView published_view(Read read, std::int64_t screen_width, std::int64_t screen_height) {
    PublishedView view;
    view.window = std::strtol(std::string(read(KEY_WINDOW)).c_str(), nullptr, 10);
    view.width = published_size(std::string(read(KEY_WIDTH)).c_str(), screen_width);
    view.height = published_size(std::string(read(KEY_HEIGHT)).c_str(), screen_height);
    return view;
}
