// Cursor images on X11. X has no per-thread input state to join: the pointer image is the server's
// current one (XFIXES), read on the grab thread's own connection, so "joining" succeeds whenever a
// window was found. The standard arrow is the cursor theme's "left_ptr", or an embedded arrow when
// no theme is installed.
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/x11/x11_arrow.h"
#include "platform/x11/x11_platform.h"

namespace {

// Windows on X11 have no owning thread; every window found stands for the one input state of the
// server, which any thread may read.
constexpr std::uint32_t SERVER_INPUT_THREAD = 1;

std::atomic<std::uint32_t> next_thread_number{SERVER_INPUT_THREAD + 1};
thread_local std::uint32_t thread_number = 0;

// The pointer image the calling thread read last; it belongs to the thread, as the platform's
// current cursor belongs to the system, and is replaced by the next read.
thread_local std::unique_ptr<PlatformCursorImage> current_pointer_image;

std::once_flag arrow_loaded;
PlatformCursorImage standard_arrow;

void load_embedded_arrow(PlatformCursorImage& image) {
    image.width = EMBEDDED_ARROW_WIDTH;
    image.height = EMBEDDED_ARROW_HEIGHT;
    image.hot_x = EMBEDDED_ARROW_HOT_X;
    image.hot_y = EMBEDDED_ARROW_HOT_Y;
    image.argb.clear();
    for (const char* row : EMBEDDED_ARROW_ROWS) {
        for (std::int32_t x = 0; x < EMBEDDED_ARROW_WIDTH; ++x) {
            image.argb.push_back(embedded_arrow_pixel(row[x]));
        }
    }
}

void load_standard_arrow() {
    standard_arrow.shared = true;
    Display* display = x11_thread_display();
    XcursorImage* themed = display == nullptr
                               ? nullptr
                               : XcursorLibraryLoadImage("left_ptr", XcursorGetTheme(display),
                                                         XcursorGetDefaultSize(display));
    if (themed == nullptr) {
        load_embedded_arrow(standard_arrow);
        return;
    }
    standard_arrow.width = static_cast<std::int32_t>(themed->width);
    standard_arrow.height = static_cast<std::int32_t>(themed->height);
    standard_arrow.hot_x = static_cast<std::int32_t>(themed->xhot);
    standard_arrow.hot_y = static_cast<std::int32_t>(themed->yhot);
    standard_arrow.argb.assign(themed->pixels, themed->pixels + themed->width * themed->height);
    XcursorImageDestroy(themed);
}

}  // namespace

std::uint32_t platform_window_thread(WindowHandle window) {
    return window.value != 0 ? SERVER_INPUT_THREAD : 0;
}

std::uint32_t platform_current_thread() {
    if (thread_number == 0) {
        thread_number = next_thread_number++;
    }
    return thread_number;
}

bool platform_attach_input(std::uint32_t own_thread, std::uint32_t other_thread, bool) {
    return own_thread != 0 && other_thread != 0 && own_thread != other_thread;
}

CursorImage platform_current_cursor() {
    Display* display = x11_thread_display();
    if (display == nullptr) {
        return nullptr;
    }
    xcb_xfixes_get_cursor_image_reply_t* pointer = x11_cursor_image_reply(display);
    if (pointer == nullptr) {
        return nullptr;
    }
    auto image = std::make_unique<PlatformCursorImage>();
    image->width = pointer->width;
    image->height = pointer->height;
    image->hot_x = pointer->xhot;
    image->hot_y = pointer->yhot;
    // 32-bit premultiplied ARGB, as many as the reply holds (a well-formed one holds them all).
    const std::uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(pointer);
    const auto count = static_cast<std::size_t>(
        std::max(0, xcb_xfixes_get_cursor_image_cursor_image_length(pointer)));
    const std::size_t area = static_cast<std::size_t>(pointer->width) * pointer->height;
    image->argb.assign(area, 0);
    std::copy(pixels, pixels + std::min(count, area), image->argb.begin());
    std::free(pointer);
    image->shared = true;  // the caller copies it and never releases it
    current_pointer_image = std::move(image);
    return current_pointer_image.get();
}

CursorImage platform_copy_cursor(CursorImage image) {
    if (image == nullptr) {
        return nullptr;
    }
    auto* copy = new PlatformCursorImage(*image);
    copy->shared = false;
    return copy;
}

bool platform_cursor_info(CursorImage image, std::int32_t* hot_x, std::int32_t* hot_y,
                          BitmapHandle* colour, BitmapHandle* mask) {
    if (image == nullptr) {
        return false;
    }
    *hot_x = image->hot_x;
    *hot_y = image->hot_y;
    // The colour pixels and, as the mask, each pixel's opacity; the caller deletes both.
    auto* colour_bitmap = new PlatformBitmap;
    auto* mask_bitmap = new PlatformBitmap;
    colour_bitmap->width = mask_bitmap->width = image->width;
    colour_bitmap->height = mask_bitmap->height = image->height;
    for (std::int32_t y = image->height - 1; y >= 0; --y) {  // bottom-up, as every bitmap
        for (std::int32_t x = 0; x < image->width; ++x) {
            const std::uint32_t argb = image->argb[static_cast<std::size_t>(y * image->width + x)];
            colour_bitmap->pixels.push_back(argb & 0x00FFFFFFu);
            mask_bitmap->pixels.push_back((argb >> 24) * 0x010101u);
        }
    }
    *colour = colour_bitmap;
    *mask = mask_bitmap;
    return true;
}

void platform_release_cursor(CursorImage image) {
    if (image != nullptr && !image->shared) {
        delete image;
    }
}

CursorImage platform_standard_arrow() {
    std::call_once(arrow_loaded, load_standard_arrow);
    return &standard_arrow;
}
