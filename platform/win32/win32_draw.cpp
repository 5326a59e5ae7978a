// Drawing for the Windows backend: device contexts of the overlay and the screen, the stretching
// and plain copies, black fills, cursor drawing and the 32-bit device-independent bitmaps.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

namespace {

// The bitmap description of a surface: the 40-byte header and the three colour masks.
struct SurfaceBitmapInfo {
    BITMAPINFOHEADER header;
    DWORD colour_masks[3];
};

constexpr DWORD RED_MASK = 0x00FF0000;
constexpr DWORD GREEN_MASK = 0x0000FF00;
constexpr DWORD BLUE_MASK = 0x000000FF;
constexpr WORD BITS_PER_PIXEL = 32;
constexpr DWORD BYTES_PER_PIXEL = 4;

}  // namespace

DrawContext platform_get_context(WindowHandle window) {
    // GetDC(NULL) is the whole screen; a plain SRCCOPY from it leaves layered windows out, so it
    // reads what lies beneath the overlay.
    return from_hdc(GetDC(to_hwnd(window)));
}

void platform_release_context(WindowHandle window, DrawContext context) {
    ReleaseDC(to_hwnd(window), to_hdc(context));
}

void platform_stretch_copy(DrawContext destination, Rect to, DrawContext source, Rect from) {
    // The default stretching mode repeats source pixels; SRCCOPY without CAPTUREBLT keeps layered
    // windows out of a screen copy.
    StretchBlt(to_hdc(destination), to.x, to.y, to.width, to.height, to_hdc(source), from.x, from.y,
               from.width, from.height, SRCCOPY);
}

void platform_copy(DrawContext destination, Point to, DrawContext source, Point from,
                   std::int32_t width, std::int32_t height) {
    BitBlt(to_hdc(destination), to.x, to.y, width, height, to_hdc(source), from.x, from.y, SRCCOPY);
    // A copy into a surface is read through its pixel memory next; GDI may still hold the copy in
    // its batch, so it is flushed first ("CreateDIBSection function", Remarks; "GdiFlush").
    GdiFlush();
}

void platform_fill_black(DrawContext destination, Rect area) {
    BitBlt(to_hdc(destination), area.x, area.y, area.width, area.height, nullptr, 0, 0, BLACKNESS);
}

void platform_draw_cursor(DrawContext destination, Point at, CursorImage image) {
    if (image == nullptr) {
        return;
    }
    // At the image's own size: DrawIcon, and DrawIconEx with DI_DEFAULTSIZE, draw at the system
    // icon size (SM_CXICON), which squeezes a large or high-DPI pointer off its hot spot; width
    // and height 0 without that flag take the image's real size ("DrawIconEx function").
    DrawIconEx(to_hdc(destination), at.x, at.y, to_hicon(image), 0, 0, 0, nullptr, DI_NORMAL);
}

BitmapHandle platform_create_bitmap(DrawContext reference, std::int32_t width, std::int32_t height,
                                    Pixel** pixels) {
    SurfaceBitmapInfo info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;  // positive: rows stored bottom-up
    info.header.biPlanes = 1;
    info.header.biBitCount = BITS_PER_PIXEL;
    info.header.biCompression = BI_RGB;
    info.header.biSizeImage =
        static_cast<DWORD>(width) * static_cast<DWORD>(height) * BYTES_PER_PIXEL;
    info.header.biXPelsPerMeter = 0;
    info.header.biYPelsPerMeter = 0;
    info.header.biClrUsed = 0;
    info.header.biClrImportant = 0;
    info.colour_masks[0] = RED_MASK;
    info.colour_masks[1] = GREEN_MASK;
    info.colour_masks[2] = BLUE_MASK;

    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(to_hdc(reference), reinterpret_cast<BITMAPINFO*>(&info),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    *pixels = bitmap != nullptr ? static_cast<Pixel*>(bits) : nullptr;
    return from_hbitmap(bitmap);
}

DrawContext platform_create_memory_context(DrawContext reference) {
    return from_hdc(CreateCompatibleDC(to_hdc(reference)));
}

void platform_delete_memory_context(DrawContext context) {
    if (context != nullptr) {
        DeleteDC(to_hdc(context));
    }
}

void platform_select_bitmap(DrawContext context, BitmapHandle bitmap) {
    SelectObject(to_hdc(context), to_hbitmap(bitmap));
}

// GDI copies every pixel of every copy: nothing to keep.
void platform_note_written(DrawContext, std::int32_t, std::int32_t) {}

void platform_delete_bitmap(BitmapHandle bitmap) {
    if (bitmap == nullptr) {
        return;
    }
    DeleteObject(to_hbitmap(bitmap));
}
