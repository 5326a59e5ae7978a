// A memory drawing context over a DIB section of its own, for the in-process GDI tests.
#include "memory_canvas.h"

#include <cstddef>

MemoryCanvas::MemoryCanvas(std::int32_t width, std::int32_t height, Pixel fill) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: rows stored bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    context_ = CreateCompatibleDC(nullptr);
    if (bitmap_ == nullptr || context_ == nullptr || bits == nullptr) {
        return;
    }
    previous_ = SelectObject(context_, bitmap_);
    surface_ = Surface{static_cast<Pixel*>(bits), width, height, width};
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i) {
        surface_.pixels[i] = fill;
    }
}

MemoryCanvas::~MemoryCanvas() {
    if (context_ != nullptr) {
        SelectObject(context_, previous_);
        DeleteDC(context_);
    }
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
    }
}

Pixel MemoryCanvas::at(std::int32_t x, std::int32_t y) const {
    // Bottom-up storage: window row y is storage row height - 1 - y.
    GdiFlush();
    return surface_.row(surface_.height - 1 - y)[x];
}

void MemoryCanvas::set(std::int32_t x, std::int32_t y, Pixel value) {
    surface_.row(surface_.height - 1 - y)[x] = value;
}
