// A memory drawing context over a 32-bit bottom-up DIB section, with pixel access in window
// coordinates (row 0 at the top), for the in-process GDI tests.
#pragma once

#include <windows.h>

#include <cstdint>

#include "vocabulary/surface.h"

class MemoryCanvas {
public:
    // Creates a width x height canvas, every pixel set to `fill`.
    MemoryCanvas(std::int32_t width, std::int32_t height, Pixel fill);
    ~MemoryCanvas();
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;

    HDC hdc() const { return context_; }
    // Its pixels as a bottom-up surface.
    const Surface& surface() const { return surface_; }
    std::int32_t width() const { return surface_.width; }
    std::int32_t height() const { return surface_.height; }
    bool valid() const { return surface_.pixels != nullptr && context_ != nullptr; }

    // The pixel at window coordinates (x, y), y counted from the top.
    Pixel at(std::int32_t x, std::int32_t y) const;
    void set(std::int32_t x, std::int32_t y, Pixel value);

private:
    HBITMAP bitmap_ = nullptr;
    HDC context_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    Surface surface_;
};
