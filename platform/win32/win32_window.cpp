// The window system for the Windows backend: the overlay's class and window, mouse capture,
// window lookup and geometry and the pointer position.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_handles.h"

namespace {

constexpr const char* OVERLAY_CLASS = "ZRV5";
constexpr const char* OVERLAY_TITLE = "ZRV5";

// Forwards every message of the overlay to the core's window procedure.
LRESULT CALLBACK overlay_procedure(HWND window, UINT message, WPARAM first, LPARAM second) {
    return static_cast<LRESULT>(overlay_window_procedure(from_hwnd(window), message,
                                                         static_cast<std::uintptr_t>(first),
                                                         static_cast<std::intptr_t>(second)));
}

}  // namespace

LayeredAttributesOp platform_resolve_layered_attributes() {
    // Resolved at run time because the exe must also start where user32 lacks it.
    HMODULE user32 = LoadLibraryA("user32.dll");
    if (user32 == nullptr) {
        return nullptr;
    }
    return from_layered_fn(GetProcAddress(user32, "SetLayeredWindowAttributes"));
}

Box platform_screen_box() {
    RECT rect{};
    GetWindowRect(GetDesktopWindow(), &rect);
    return from_rect(rect);
}

bool platform_register_class(InstanceHandle instance) {
    WNDCLASSA window_class{};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = overlay_procedure;
    window_class.cbClsExtra = 0;
    window_class.cbWndExtra = 0;
    window_class.hInstance = to_hinstance(instance);
    window_class.hIcon = nullptr;
    window_class.hCursor = nullptr;
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    window_class.lpszMenuName = nullptr;
    window_class.lpszClassName = OVERLAY_CLASS;
    return RegisterClassA(&window_class) != 0;
}

WindowHandle platform_create_overlay(InstanceHandle instance, std::int32_t width,
                                     std::int32_t height) {
    HWND overlay = CreateWindowExA(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST, OVERLAY_CLASS,
                                   OVERLAY_TITLE, WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                                   to_hinstance(instance), nullptr);
    return from_hwnd(overlay);
}

void platform_show_window(WindowHandle window, std::int32_t show_state) {
    ShowWindow(to_hwnd(window), show_state);
    UpdateWindow(to_hwnd(window));
}

void platform_set_capture(WindowHandle window) { SetCapture(to_hwnd(window)); }

void platform_release_capture() { ReleaseCapture(); }

Point platform_client_to_screen(WindowHandle window, Point point) {
    POINT converted = to_point(point);
    ClientToScreen(to_hwnd(window), &converted);
    return from_point(converted);
}

Point platform_screen_to_client(WindowHandle window, Point point) {
    POINT converted = to_point(point);
    ScreenToClient(to_hwnd(window), &converted);
    return from_point(converted);
}

WindowHandle platform_window_from_point(Point point) {
    return from_hwnd(WindowFromPoint(to_point(point)));
}

Box platform_client_box(WindowHandle window) {
    // GetClientRect leaves the rectangle untouched when it fails, so a gone window reads all zero.
    RECT rect{};
    GetClientRect(to_hwnd(window), &rect);
    return from_rect(rect);
}

bool platform_window_exists(WindowHandle window) {
    RECT rect{};
    return GetWindowRect(to_hwnd(window), &rect) != 0;
}

void platform_keep_on_top(WindowHandle window) {
    SetWindowPos(to_hwnd(window), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void platform_make_opaque(LayeredAttributesOp operation, WindowHandle window) {
    to_layered_fn(operation)(to_hwnd(window), 0, 255, LWA_ALPHA);
}

void platform_destroy_window(WindowHandle window) { DestroyWindow(to_hwnd(window)); }

Point platform_cursor_position() {
    POINT position{};
    GetCursorPos(&position);
    return from_point(position);
}
