// The recording test platform's pictures as the tests see them: painting the screen, reading the
// screen and the overlay, the image diff, test patterns and the saved overlay picture.
#include <cstdio>
#include <sstream>

#include "support/test_platform.h"

namespace {

// A pixel value that no drawing produces, returned for points outside the screen or the overlay.
constexpr Pixel OUTSIDE = 0xFFFFFFFFu;

}  // namespace

void TestPlatform::paint_screen(Rect area, const PixelAt& colour_at) {
    for (std::int32_t y = std::max(area.y, 0); y < std::min(area.y + area.height, screen_height_);
         ++y) {
        for (std::int32_t x = std::max(area.x, 0); x < std::min(area.x + area.width, screen_width_);
             ++x) {
            screen_[static_cast<std::size_t>(y) * static_cast<std::size_t>(screen_width_) +
                    static_cast<std::size_t>(x)] = colour_at(x - area.x, y - area.y);
        }
    }
}

void TestPlatform::paint_screen(Rect area, Pixel colour) {
    paint_screen(area, [colour](std::int32_t, std::int32_t) { return colour; });
}

Pixel TestPlatform::screen_pixel(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= screen_width_ || y >= screen_height_) {
        return OUTSIDE;
    }
    return screen_[static_cast<std::size_t>(y) * static_cast<std::size_t>(screen_width_) +
                   static_cast<std::size_t>(x)];
}

Pixel TestPlatform::overlay_pixel(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= overlay_width_ || y >= overlay_height_) {
        return OUTSIDE;
    }
    return overlay_pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(overlay_width_) +
                           static_cast<std::size_t>(x)];
}

std::string TestPlatform::diff_overlay(Rect region, const PixelAt& expected) const {
    return image_diff(
        region, [this](std::int32_t x, std::int32_t y) { return overlay_pixel(x, y); }, expected);
}

bool TestPlatform::save_overlay(const std::string& path) const {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    std::fprintf(file, "P6\n%d %d\n255\n", overlay_width_, overlay_height_);
    std::vector<unsigned char> row;
    for (std::int32_t y = 0; y < overlay_height_; ++y) {
        row.clear();
        for (std::int32_t x = 0; x < overlay_width_; ++x) {
            const Pixel p = overlay_pixel(x, y);
            row.push_back(static_cast<unsigned char>((p >> 16) & 0xFFu));
            row.push_back(static_cast<unsigned char>((p >> 8) & 0xFFu));
            row.push_back(static_cast<unsigned char>(p & 0xFFu));
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    return std::fclose(file) == 0;
}

std::string image_diff(Rect region, const PixelAt& got, const PixelAt& expected) {
    std::int64_t differing = 0;
    std::ostringstream first;
    for (std::int32_t y = region.y; y < region.y + region.height; ++y) {
        for (std::int32_t x = region.x; x < region.x + region.width; ++x) {
            const Pixel have = got(x, y);
            const Pixel want = expected(x, y);
            if (have != want) {
                if (differing == 0) {
                    first << std::hex << "first at (" << std::dec << x << ", " << y << "): got 0x"
                          << std::hex << have << ", expected 0x" << want;
                }
                ++differing;
            }
        }
    }
    if (differing == 0) {
        return "";
    }
    std::ostringstream text;
    text << differing << " of " << std::int64_t{region.width} * region.height
         << " pixels differ in (" << region.x << ", " << region.y << ", " << region.width << " x "
         << region.height << "); " << first.str();
    return text.str();
}

Pixel pattern_pixel(std::int32_t x, std::int32_t y, std::uint32_t salt) {
    // A small integer hash: neighbouring pixels differ, so a shifted or repeated pixel shows.
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x9E3779B1u ^
                      static_cast<std::uint32_t>(y) * 0x85EBCA77u ^ salt * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h & 0x00FFFFFFu;
}
