// Guard words around pixel memory, for the tests of code that must never read or write outside a
// surface or bitmap: the unit tests' guarded surfaces and the test platform's bitmaps.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "vocabulary/pixel.h"

// How many guard words stand on each side of the pixels, and their value (no kernel makes it from
// captured pixels, whose top byte is 0).
constexpr std::size_t GUARD_WORDS = 16;
constexpr Pixel GUARD_WORD = 0xA5C3E10Fu;

// Returns storage for `words` pixels of value `fill` with the guard words on both sides; the first
// pixel is at index GUARD_WORDS.
inline std::vector<Pixel> guarded_words(std::size_t words, Pixel fill) {
    std::vector<Pixel> storage(GUARD_WORDS + words + GUARD_WORDS, GUARD_WORD);
    std::fill_n(storage.begin() + static_cast<std::ptrdiff_t>(GUARD_WORDS), words, fill);
    return storage;
}

// The first overwritten guard word of a storage: how far from the pixels (1 is next to them), on
// which side, and what it holds; a distance of 0 when every guard word is intact.
struct GuardDamage {
    std::size_t distance = 0;
    bool before = false;
    Pixel value = 0;
};

inline GuardDamage guard_damage(const std::vector<Pixel>& storage) {
    for (std::size_t i = 0; i < storage.size(); ++i) {
        const bool before = i < GUARD_WORDS;
        if ((before || i >= storage.size() - GUARD_WORDS) && storage[i] != GUARD_WORD) {
            const std::size_t distance =
                before ? GUARD_WORDS - i : i - (storage.size() - GUARD_WORDS) + 1;
            return GuardDamage{distance, before, storage[i]};
        }
    }
    return GuardDamage{};
}
