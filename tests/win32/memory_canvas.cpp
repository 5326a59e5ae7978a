// A memory drawing context over a backend-made bitmap, for the in-process GDI tests.
#include "memory_canvas.h"

#include <cstddef>

MemoryCanvas::MemoryCanvas(std::int32_t width, std::int32_t height, Pixel fill) {
    surface_.width = width;
    surface_.height = height;
    surface_.bitmap = platform_create_bitmap(nullptr, width, height, &surface_.pixels);
    surface_.context = platform_create_memory_context(nullptr);
    platform_select_bitmap(surface_.context, surface_.bitmap);
    if (surface_.pixels != nullptr) {
        const std::size_t count =
            static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        for (std::size_t i = 0; i < count; ++i) {
            surface_.pixels[i] = fill;
        }
    }
}

MemoryCanvas::~MemoryCanvas() {
    if (surface_.context != nullptr) {
        DeleteDC(hdc());
    }
    platform_delete_bitmap(surface_.bitmap);
}

Pixel MemoryCanvas::at(std::int32_t x, std::int32_t y) const {
    // Bottom-up storage: window row y is storage row height - 1 - y.
    const std::int32_t row = surface_.height - 1 - y;
    return surface_
        .pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(surface_.width) +
                static_cast<std::size_t>(x)];
}

void MemoryCanvas::set(std::int32_t x, std::int32_t y, Pixel value) {
    const std::int32_t row = surface_.height - 1 - y;
    surface_.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(surface_.width) +
                    static_cast<std::size_t>(x)] = value;
}
