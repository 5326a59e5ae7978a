// Frames for the Windows backend: the blended mode's two surfaces (32-bit bottom-up DIB sections,
// each with a memory context), the capture into the first, and the present of one frame by the
// design's sequence: the overlay's context, then the screen's, the stretching copy or the blended
// copy, the bands after the image, the cursor last, both contexts given back in that order.
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

// A surface over a DIB section, with the memory context that copies reach it through.
struct DibSurface {
    HBITMAP bitmap = nullptr;
    HDC context = nullptr;
    HGDIOBJ previous = nullptr;  // the context's own bitmap, selected back before it goes
    Surface surface;
};

DibSurface capture_dib;      // the blended mode's capture source, W x H
DibSurface enlargement_dib;  // its enlargement, which the frames are shown from

void free_dib(DibSurface& dib) {
    // The context first: a bitmap still selected into a context cannot be deleted ("DeleteObject
    // function").
    if (dib.context != nullptr) {
        SelectObject(dib.context, dib.previous);
        DeleteDC(dib.context);
    }
    if (dib.bitmap != nullptr) {
        DeleteObject(dib.bitmap);
    }
    dib = DibSurface{};
}

// Makes a black width x height bottom-up DIB section compatible with `reference` and a memory
// context holding it; the surface's pixels stay null when either cannot be made.
void make_dib(DibSurface& dib, HDC reference, std::int32_t width, std::int32_t height) {
    free_dib(dib);
    SurfaceBitmapInfo info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;  // positive: rows stored bottom-up
    info.header.biPlanes = 1;
    info.header.biBitCount = BITS_PER_PIXEL;
    info.header.biCompression = BI_RGB;
    info.header.biSizeImage =
        static_cast<DWORD>(width) * static_cast<DWORD>(height) * BYTES_PER_PIXEL;
    info.colour_masks[0] = RED_MASK;
    info.colour_masks[1] = GREEN_MASK;
    info.colour_masks[2] = BLUE_MASK;
    void* bits = nullptr;
    dib.bitmap = CreateDIBSection(reference, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                  &bits, nullptr, 0);
    dib.context = CreateCompatibleDC(reference);
    if (dib.bitmap == nullptr || dib.context == nullptr || bits == nullptr) {
        free_dib(dib);
        return;
    }
    dib.previous = SelectObject(dib.context, dib.bitmap);
    dib.surface = Surface{static_cast<Pixel*>(bits), width, height, width};
    ZeroMemory(bits, info.header.biSizeImage);
}

}  // namespace

Surface platform_enlargement_surface(WindowHandle overlay, std::int32_t width,
                                     std::int32_t height) {
    free_dib(enlargement_dib);
    if (width > 0 && height > 0) {
        HDC reference = GetDC(to_hwnd(overlay));
        make_dib(enlargement_dib, reference, width, height);
        ReleaseDC(to_hwnd(overlay), reference);
    }
    return enlargement_dib.surface;
}

Surface win32_capture(Point origin, Size size) {
    // GetDC(NULL) is the whole screen; a plain SRCCOPY from it leaves layered windows out, so it
    // reads what lies beneath the overlay.
    HDC screen = GetDC(nullptr);
    if (capture_dib.surface.width != size.width || capture_dib.surface.height != size.height) {
        make_dib(capture_dib, screen, size.width, size.height);
    }
    if (capture_dib.context != nullptr) {
        BitBlt(capture_dib.context, 0, 0, size.width, size.height, screen, origin.x, origin.y,
               SRCCOPY);
    }
    ReleaseDC(nullptr, screen);
    // The capture is read through its pixel memory next; GDI may still hold the copy in its
    // batch, so it is flushed first ("CreateDIBSection function", Remarks; "GdiFlush function").
    GdiFlush();
    return capture_dib.surface;
}

void win32_present_in(HDC overlay, HDC screen, const Frame& frame) {
    const Rect& to = frame.image;
    if (frame.mode == 0 || frame.mode == 2) {
        // The default stretching mode repeats source pixels; SRCCOPY without CAPTUREBLT keeps
        // layered windows out of a screen copy.
        StretchBlt(overlay, to.x, to.y, to.width, to.height, screen, frame.source.x,
                   frame.source.y, frame.source.width, frame.source.height, SRCCOPY);
    } else if (frame.mode == 1 && frame.enlargement.pixels != nullptr &&
               frame.enlargement.pixels == enlargement_dib.surface.pixels) {
        BitBlt(overlay, to.x, to.y, to.width, to.height, enlargement_dib.context, 0, 0, SRCCOPY);
    }
    for (int i = 0; i < frame.bands.count; ++i) {
        const Rect& band = frame.bands.bands[static_cast<std::size_t>(i)];
        BitBlt(overlay, band.x, band.y, band.width, band.height, nullptr, 0, 0, BLACKNESS);
    }
    if (frame.cursor != nullptr) {
        // At the image's own size: DrawIcon, and DrawIconEx with DI_DEFAULTSIZE, draw at the
        // system icon size (SM_CXICON), which squeezes a large or high-DPI pointer off its hot
        // spot; width and height 0 without that flag take the image's real size ("DrawIconEx
        // function").
        DrawIconEx(overlay, frame.cursor_at.x, frame.cursor_at.y, to_hicon(frame.cursor), 0, 0, 0,
                   nullptr, DI_NORMAL);
    }
}

void platform_present(WindowHandle overlay, const Frame& frame) {
    HDC overlay_context = GetDC(to_hwnd(overlay));
    HDC screen_context = GetDC(nullptr);
    win32_present_in(overlay_context, screen_context, frame);
    ReleaseDC(to_hwnd(overlay), overlay_context);
    ReleaseDC(nullptr, screen_context);
}
