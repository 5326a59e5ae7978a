// A surface over its own memory with guard words before and after the pixels, for the tests of
// code that must never read or write outside a surface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/surface.h"
#include "vocabulary/pixel.h"

constexpr std::size_t GUARD_WORDS = 16;
constexpr Pixel GUARD = 0xDEADBEEF;
constexpr Pixel UNWRITTEN = 0xA5A5A5A5;  // no kernel returns this from captured pixels

class GuardedSurface {
public:
    GuardedSurface(std::int32_t width, std::int32_t height)
        : words_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) +
                     2 * GUARD_WORDS,
                 UNWRITTEN) {
        for (std::size_t i = 0; i < GUARD_WORDS; ++i) {
            words_[i] = GUARD;
            words_[words_.size() - 1 - i] = GUARD;
        }
        surface.pixels = words_.data() + GUARD_WORDS;
        surface.width = width;
        surface.height = height;
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

    bool guards_intact() const {
        for (std::size_t i = 0; i < GUARD_WORDS; ++i) {
            if (words_[i] != GUARD || words_[words_.size() - 1 - i] != GUARD) {
                return false;
            }
        }
        return true;
    }
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
