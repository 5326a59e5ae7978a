// Creating the offscreen surfaces of the blended mode through the platform seam.
// Portable core: no OS header.
#include "render/surface_creation.h"

#include <cstring>

#include "platform/platform.h"

void create_surface(Surface& surface, DrawContext reference, std::int32_t width,
                    std::int32_t height) {
    surface.width = width;
    surface.height = height;
    surface.pixels = nullptr;
    surface.bitmap = platform_create_bitmap(reference, width, height, &surface.pixels);
    surface.context = platform_create_memory_context(reference);
    platform_select_bitmap(surface.context, surface.bitmap);
    if (surface.pixels != nullptr && width > 0 && height > 0) {
        std::memset(
            surface.pixels, 0,
            static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * sizeof(Pixel));
    }
}
