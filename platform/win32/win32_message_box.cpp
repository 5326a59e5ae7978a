// The error box for the Windows backend: a plain MessageBoxA with one OK button.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

void platform_message_box(WindowHandle owner, const char* text, const char* caption) {
    MessageBoxA(to_hwnd(owner), text, caption, MB_OK);
}
