// Cursor images for the Windows backend: the global cursor shown under the pointer, copying it,
// reading hot spots, and the standard arrow. No input state is joined: AttachThreadInput resets
// the key state of the joined threads ("AttachThreadInput function", Remarks), so a join every
// tick of cursor mode 1 would drop a key the user holds in the target. GetCursorInfo gives the
// cursor that is shown, whatever thread set it ("GetCursor function" points to it for this).
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

std::uint32_t platform_window_thread(WindowHandle window) {
    return GetWindowThreadProcessId(to_hwnd(window), nullptr);
}

std::uint32_t platform_current_thread() { return GetCurrentThreadId(); }

// Nothing to join: the global cursor is readable from any thread. A window with no thread (none
// under the pointer) still fails, so that the previous image stays.
bool platform_attach_input(std::uint32_t, std::uint32_t other_thread, bool) {
    return other_thread != 0;
}

CursorImage platform_current_cursor() {
    CURSORINFO info{};
    info.cbSize = sizeof info;
    // A hidden cursor (flags 0) is drawn as none, as the screen shows none.
    if (!GetCursorInfo(&info) || (info.flags & CURSOR_SHOWING) == 0) {
        return nullptr;
    }
    return from_hicon(info.hCursor);
}

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
