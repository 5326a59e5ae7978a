// Cursor images for the Windows backend: joining input states with the window's thread, copying
// its pointer image, reading hot spots, and the standard arrow.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_handles.h"

std::uint32_t platform_window_thread(WindowHandle window) {
    return GetWindowThreadProcessId(to_hwnd(window), nullptr);
}

std::uint32_t platform_current_thread() { return GetCurrentThreadId(); }

bool platform_attach_input(std::uint32_t own_thread, std::uint32_t other_thread, bool attach) {
    return AttachThreadInput(own_thread, other_thread, attach ? TRUE : FALSE) != 0;
}

CursorImage platform_current_cursor() { return from_hicon(GetCursor()); }

CursorImage platform_copy_cursor(CursorImage image) {
    return from_hicon(CopyIcon(to_hicon(image)));
}

bool platform_cursor_info(CursorImage image, std::int32_t* hot_x, std::int32_t* hot_y,
                          BitmapHandle* colour, BitmapHandle* mask) {
    ICONINFO info{};
    if (GetIconInfo(to_hicon(image), &info) == 0) {
        return false;
    }
    *hot_x = static_cast<std::int32_t>(info.xHotspot);
    *hot_y = static_cast<std::int32_t>(info.yHotspot);
    *colour = from_hbitmap(info.hbmColor);
    *mask = from_hbitmap(info.hbmMask);
    return true;
}

void platform_release_cursor(CursorImage image) {
    if (image == nullptr) {
        return;
    }
    DestroyIcon(to_hicon(image));
}

CursorImage platform_standard_arrow() { return from_hicon(LoadCursorA(nullptr, IDC_ARROW)); }
