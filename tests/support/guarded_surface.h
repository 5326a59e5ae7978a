// A surface over its own memory with guard words before and after the pixels, for the tests of
// code that must never read or write outside a surface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/guard_words.h"
#include "vocabulary/pixel.h"
#include "vocabulary/surface.h"

constexpr Pixel UNWRITTEN = 0xA5A5A5A5;  // no kernel returns this from captured pixels

class GuardedSurface {
public:
    GuardedSurface(std::int32_t width, std::int32_t height)
        : words_(guarded_words(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                               UNWRITTEN)) {
        surface.pixels = words_.data() + GUARD_WORDS;
        surface.width = width;
        surface.height = height;
        surface.stride = width;
    }
    GuardedSurface(const GuardedSurface&) = delete;
    GuardedSurface& operator=(const GuardedSurface&) = delete;

    Pixel& at(std::int32_t row, std::int32_t col) {
        return surface.pixels[std::ptrdiff_t{row} * surface.width + col];
    }
    Pixel at(std::int32_t row, std::int32_t col) const {
        return surface.pixels[std::ptrdiff_t{row} * surface.width + col];
    }
    std::size_t pixel_count() const { return words_.size() - 2 * GUARD_WORDS; }
    Pixel& pixel(std::size_t i) { return words_[GUARD_WORDS + i]; }
    // The pixels with their guards, for comparing two surfaces whole.
    const std::vector<Pixel>& words() const { return words_; }

    bool guards_intact() const { return guard_damage(words_).distance == 0; }
    bool all_unwritten() const {
        for (std::size_t i = GUARD_WORDS; i + GUARD_WORDS < words_.size(); ++i) {
            if (words_[i] != UNWRITTEN) {
                return false;
            }
        }
        return true;
    }

    Surface surface;

private:
    std::vector<Pixel> words_;
};
