// Pointer images for the Windows backend: a copy of the cursor shown under the pointer with its
// hot spot, and the standard arrow. No input state is joined: AttachThreadInput resets the key
// state of the joined threads ("AttachThreadInput function", Remarks), so a join every tick of
// cursor mode 1 would drop a key the user holds in the target. GetCursorInfo gives the cursor that
// is shown, whatever thread set it ("GetCursor function" points to it for this).
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

namespace {

// Reads the image's hot spot and releases the two bitmaps that the read hands out, the colour one
// first ("GetIconInfo function": the caller owns them); a failed read gives hot spot (0, 0).
void read_hot_spot(HICON image, PointerImage* pointer) {
    ICONINFO info{};
    if (GetIconInfo(image, &info) == 0) {
        pointer->hot_x = 0;
        pointer->hot_y = 0;
        return;
    }
    pointer->hot_x = static_cast<std::int32_t>(info.xHotspot);
    pointer->hot_y = static_cast<std::int32_t>(info.yHotspot);
    if (info.hbmColor != nullptr) {
        DeleteObject(info.hbmColor);
    }
    if (info.hbmMask != nullptr) {
        DeleteObject(info.hbmMask);
    }
}

}  // namespace

PointerImage platform_copy_pointer_image() {
    PointerImage copied;
    POINT position{};
    GetCursorPos(&position);
    // A window with no thread (none under the pointer) finds nothing, so the previous image stays.
    HWND window = WindowFromPoint(position);
    if (window == nullptr || GetWindowThreadProcessId(window, nullptr) == 0) {
        return copied;
    }
    copied.found = true;
    CURSORINFO info{};
    info.cbSize = sizeof info;
    // A hidden cursor (flags 0) is drawn as none, as the screen shows none.
    if (!GetCursorInfo(&info) || (info.flags & CURSOR_SHOWING) == 0) {
        return copied;
    }
    HICON copy = CopyIcon(info.hCursor);
    if (copy != nullptr) {
        copied.image = from_hicon(copy);
        read_hot_spot(copy, &copied);
    }
    return copied;
}

PointerImage platform_standard_arrow() {
    PointerImage arrow;
    arrow.found = true;
    HICON image = LoadCursorA(nullptr, IDC_ARROW);
    arrow.image = from_hicon(image);
    read_hot_spot(image, &arrow);
    return arrow;
}

void platform_release_cursor(CursorImage image) {
    if (image != nullptr) {
        DestroyIcon(to_hicon(image));
    }
}
