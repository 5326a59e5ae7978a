// What the test target shows and the pointer shapes it can set, shared by the target client and the
// tests that compute expected frames from them. Pixels are 0x00RRGGBB.
#pragma once

#include <cstdint>

// The target's picture: neighbouring pixels differ in every channel, so a pixel taken from the
// wrong row or column shows; `variant` gives other windows other pictures.
constexpr std::uint32_t target_pixel(int variant, int x, int y) {
    const auto r = static_cast<std::uint32_t>(x * 3 + y + variant * 85) & 0xFFu;
    const auto g = static_cast<std::uint32_t>(x + y * 5 + variant * 40) & 0xFFu;
    const auto b = static_cast<std::uint32_t>((x ^ y) * 7 + variant * 29) & 0xFFu;
    return (r << 16) | (g << 8) | b;
}

// The target's own pointer shapes: opaque, each pixel distinct, with a hot spot inside.
struct TestPointerShape {
    int width;
    int height;
    int hot_x;
    int hot_y;
    int variant;
};

constexpr TestPointerShape TEST_POINTER_SHAPES[] = {
    {9, 11, 3, 4, 1},
    {14, 6, 10, 2, 2},
    {64, 64, 32, 32, 3},  // large, so that a leaked copy per tick shows in the soak
    {16, 16, 8, 8, 4},    // translucent: every opacity from 0 to 255, as shadows have
};

constexpr int TRANSLUCENT_POINTER_SHAPE = 3;

// Returns the premultiplied ARGB pixel of a pointer shape: fully opaque, but for the translucent
// shape, whose colour channels never exceed its opacity.
constexpr std::uint32_t test_pointer_pixel(const TestPointerShape& shape, int x, int y) {
    if (shape.variant == 4) {
        const auto alpha = static_cast<std::uint32_t>(x * 16 + y) & 0xFFu;
        const auto red = alpha * static_cast<std::uint32_t>((x * 37 + 11) & 0xFF) / 255;
        const auto green = alpha * static_cast<std::uint32_t>((y * 53 + 7) & 0xFF) / 255;
        const auto blue = alpha * static_cast<std::uint32_t>((x * y * 13) & 0xFF) / 255;
        return alpha << 24 | red << 16 | green << 8 | blue;
    }
    return 0xFF000000u | (static_cast<std::uint32_t>(shape.variant * 0x40 + x * 16) & 0xFFu) << 16 |
           (static_cast<std::uint32_t>(y * 20) & 0xFFu) << 8 |
           (static_cast<std::uint32_t>(0x80 + x * y) & 0xFFu);
}
