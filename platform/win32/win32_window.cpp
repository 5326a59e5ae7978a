// The window system for the Windows backend: the overlay's class and window, the click that picks
// (a low-level mouse hook beside the mouse capture), window lookup and geometry, the on-top
// placement, the screen's changes of size, the overlay's exclusion from screen capture and the
// pointer position.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

namespace {

constexpr const char* OVERLAY_CLASS = "ZRV5";
constexpr const char* OVERLAY_TITLE = "ZRV5";

// The display affinity that leaves a window out of screen captures while the monitor shows it
// (winuser.h of older SDKs lacks it). Windows 10 version 2004 (build 19041) is the first to
// honour it; earlier systems treat it as WDA_MONITOR, which blacks the window out of captures
// ("SetWindowDisplayAffinity function", Remarks).
constexpr DWORD AFFINITY_EXCLUDE_FROM_CAPTURE = 0x11;
constexpr DWORD AFFINITY_NONE = 0;
constexpr DWORD FIRST_BUILD_EXCLUDING_FROM_CAPTURE = 19041;

// The low-level mouse hook that stands in for the capture until the pick. SetCapture delivers
// input from over another thread's window "only if a mouse button is down", and loses the capture
// as soon as the user clicks a window of another thread ("SetCapture function"; "Mouse Input:
// Mouse Capture"), so the user's one click would go to the clicked window. A WH_MOUSE_LL hook
// sees every click on the screen; it is called on the thread that installed it, through that
// thread's message loop ("LowLevelMouseProc callback function"), which the GUI thread runs while
// it waits for the pick.
//
// Only a whole click picks: a press made before the hook was in (the second press of the
// double-click that started zrv5, say) went to its window, and so must its release, or that
// window would wait for ever for the release of a button it saw go down ("About Mouse Input").
struct PickHook {
    HHOOK hook = nullptr;
    HWND overlay = nullptr;
    // Set once a press of the left button has been swallowed: its release is the pick.
    bool pressed = false;
    // Set once the release has been handed to the overlay: clicks after it, before the pick has
    // run, pass on to their windows.
    bool released = false;
};

PickHook pick_hook;

// Gives the clicked window's top-level window the foreground that the swallowed click would have
// given it, so that the user can type in it at once. zrv5 may still set the foreground here: it
// started from the foreground process, its shown overlay holds the foreground, and it took the
// last input event ("SetForegroundWindow function", Remarks).
void give_foreground_to_clicked(POINT screen_point) {
    HWND clicked = GetAncestor(WindowFromPoint(screen_point), GA_ROOT);
    // A refusal leaves the keyboard where it was, and Windows flashes the window's taskbar button
    // instead; the program has no console, so the debugger output says so.
    if (clicked != nullptr && !SetForegroundWindow(clicked)) {
        OutputDebugStringA("zrv5: Windows refused the picked window the keyboard "
                           "(SetForegroundWindow); click it once to type in it\n");
    }
}

// Swallows the press of the left button and then its release, and turns that release into the
// overlay's WM_LBUTTONUP with the release's point in the overlay's client coordinates; everything
// else, a release whose press it did not swallow included, passes on untouched. It only posts: the
// pick may show a box or wait for a grab, and a low-level hook that keeps the mouse waiting past
// LowLevelHooksTimeout is removed by Windows without a word ("LowLevelMouseProc callback
// function").
LRESULT CALLBACK on_pick_mouse(int code, WPARAM message, LPARAM data) {
    if (code != HC_ACTION || pick_hook.released) {
        return CallNextHookEx(nullptr, code, message, data);
    }
    if (message == WM_LBUTTONDOWN) {
        pick_hook.pressed = true;
    } else if (message == WM_LBUTTONUP && pick_hook.pressed) {
        pick_hook.released = true;
        POINT point = reinterpret_cast<const MSLLHOOKSTRUCT*>(data)->pt;
        give_foreground_to_clicked(point);
        ScreenToClient(pick_hook.overlay, &point);
        PostMessageA(pick_hook.overlay, WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
    } else {
        return CallNextHookEx(nullptr, code, message, data);
    }
    // Non-zero keeps the event from the rest of the hook chain and from the window beneath.
    return 1;
}

// Gives the overlay the screen's new size, when it has one, and has the core lay the view out for
// it. A resolution or scale change, a monitor plugged, or a game that sets its own display mode
// ("WM_DISPLAYCHANGE message"; "WM_DPICHANGED message": the suggested rectangle is the overlay's
// own at the new scale, but the overlay covers the screen, which the desktop window measures).
void follow_screen(HWND overlay) {
    RECT screen{};
    RECT covered{};
    if (!GetWindowRect(GetDesktopWindow(), &screen) || !GetWindowRect(overlay, &covered) ||
        EqualRect(&screen, &covered)) {
        return;
    }
    const int width = screen.right - screen.left;
    const int height = screen.bottom - screen.top;
    SetWindowPos(overlay, nullptr, screen.left, screen.top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    zrv5_screen_changed(from_hwnd(overlay), width, height);
}

// The overlay's window procedure: its messages become the core's events. Creation, destruction
// (and a quit message sent straight here, which ends the view as destruction does), the timer and
// the left button's release, whose point comes in the overlay's client coordinates (x and y each
// a signed 16-bit half of the second parameter); the rest goes to the default handling.
LRESULT CALLBACK overlay_procedure(HWND window, UINT message, WPARAM first, LPARAM second) {
    const WindowHandle overlay = from_hwnd(window);
    switch (message) {
    case WM_CREATE:
        zrv5_overlay_created(overlay);
        return 0;
    case WM_DESTROY:
    case WM_QUIT:
        // An overlay destroyed before any pick must not leave the mouse swallowed.
        win32_remove_pick_hook();
        zrv5_overlay_destroyed(overlay);
        return DefWindowProcA(window, message, first, second);
    case WM_TIMER:
        zrv5_timer(overlay, static_cast<std::uint32_t>(first));
        return 0;
    case WM_LBUTTONUP: {
        POINT point{static_cast<std::int16_t>(LOWORD(second)),
                    static_cast<std::int16_t>(HIWORD(second))};
        ClientToScreen(window, &point);
        zrv5_pick_at(overlay, from_point(point));
        return 0;
    }
    case WIN32_EXIT_KEY_MESSAGE:
        // Windows key + Escape while the program waits for its click or shows the error box: it
        // ends as on zrv5-exit.
        win32_mask_windows_key();
        DestroyWindow(window);
        return 0;
    case WM_DISPLAYCHANGE:
        follow_screen(window);
        return DefWindowProcA(window, message, first, second);
    case WM_DPICHANGED:
        follow_screen(window);
        return 0;  // handled: the overlay keeps the size it was just given
    default:
        return DefWindowProcA(window, message, first, second);
    }
}

// Returns the build number of the running Windows. RtlGetVersion tells the truth whatever the
// manifest says; GetVersionExA answers with the newest system the manifest names.
DWORD windows_build() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto get_version = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (get_version == nullptr || get_version(&version) != 0) {
        return 0;
    }
    return version.dwBuildNumber;
}

}  // namespace

void win32_remove_pick_hook() {
    if (pick_hook.hook != nullptr) {
        UnhookWindowsHookEx(pick_hook.hook);
    }
    pick_hook = PickHook{};
    win32_stop_watching_exit_key();
}

bool win32_exclude_from_capture(HWND window) {
    using SetAffinityFn = BOOL(WINAPI*)(HWND, DWORD);
    using GetAffinityFn = BOOL(WINAPI*)(HWND, DWORD*);
    // Resolved at run time, as the layered-attributes operation is: user32 of Windows XP and
    // Vista lacks both.
    HMODULE user32 = GetModuleHandleA("user32.dll");
    const auto set_affinity = reinterpret_cast<SetAffinityFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetWindowDisplayAffinity")));
    const auto get_affinity = reinterpret_cast<GetAffinityFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetWindowDisplayAffinity")));
    if (set_affinity == nullptr || get_affinity == nullptr ||
        windows_build() < FIRST_BUILD_EXCLUDING_FROM_CAPTURE) {
        return false;
    }
    DWORD affinity = AFFINITY_NONE;
    if (set_affinity(window, AFFINITY_EXCLUDE_FROM_CAPTURE) && get_affinity(window, &affinity) &&
        affinity == AFFINITY_EXCLUDE_FROM_CAPTURE) {
        return true;
    }
    // Anything else that stuck (WDA_MONITOR would black the overlay out of its own capture, the
    // same fault the other way round) is taken back.
    set_affinity(window, AFFINITY_NONE);
    return false;
}

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
    // A tool window has no taskbar button and no Alt+Tab entry ("Extended Window Styles"): an
    // Alt+Tab to the invisible overlay would take the keyboard from the window it shows.
    HWND overlay = CreateWindowExA(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST |
                                       WS_EX_TOOLWINDOW,
                                   OVERLAY_CLASS, OVERLAY_TITLE, WS_POPUP, 0, 0, width, height,
                                   nullptr, nullptr, to_hinstance(instance), nullptr);
    return from_hwnd(overlay);
}

void platform_show_window(WindowHandle window, std::int32_t show_state) {
    HWND overlay = to_hwnd(window);
    // A launcher's minimised or hidden start ("Run: Minimized", start /min) would leave the view
    // iconic and unseen after the pick. The overlay is invisible until the pick either way, and
    // showing it active is what lets the pick hand the foreground to the clicked window.
    const bool unseen = show_state == SW_HIDE || show_state == SW_SHOWMINIMIZED ||
                        show_state == SW_MINIMIZE || show_state == SW_SHOWMINNOACTIVE ||
                        show_state == SW_FORCEMINIMIZE;
    ShowWindow(overlay, unseen ? SW_SHOW : show_state);
    // The first ShowWindow of a process started with startup information takes its show state
    // from there, whatever it is given; the next one is obeyed ("ShowWindow function", Remarks).
    if (IsIconic(overlay)) {
        ShowWindow(overlay, SW_RESTORE);
    } else if (!IsWindowVisible(overlay) && overlay != nullptr) {
        ShowWindow(overlay, SW_SHOW);
    }
    UpdateWindow(overlay);
}

bool platform_set_capture(WindowHandle window) {
    // Costs nothing; the pick comes through the hook below, which does not depend on it.
    SetCapture(to_hwnd(window));
    win32_remove_pick_hook();
    pick_hook.overlay = to_hwnd(window);
    pick_hook.hook = SetWindowsHookExA(WH_MOUSE_LL, on_pick_mouse, GetModuleHandleA(nullptr), 0);
    // Windows key + Escape ends the wait; without its hook zrv5-exit still does.
    win32_watch_exit_key(to_hwnd(window));
    return pick_hook.hook != nullptr;
}

void platform_release_capture() {
    win32_remove_pick_hook();
    ReleaseCapture();
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

TargetLook platform_look_at_target(WindowHandle overlay, WindowHandle target, Size capture) {
    TargetLook look;
    // The target's window rectangle can be read while it exists; the rectangle itself is unused.
    RECT rect{};
    if (GetWindowRect(to_hwnd(target), &rect) == 0) {
        return look;
    }
    look.exists = true;
    // Without SWP_NOACTIVATE every placement activates the overlay ("SetWindowPos function"):
    // keys would go to the overlay instead of the target, sixty times a second.
    SetWindowPos(to_hwnd(overlay), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    POINT origin{0, 0};
    ClientToScreen(to_hwnd(target), &origin);
    POINT pointer{};
    GetCursorPos(&pointer);
    look.origin = from_point(origin);
    look.pointer = from_point(pointer);
    if (capture.width > 0 && capture.height > 0) {
        look.capture = win32_capture(look.origin, capture);
    }
    return look;
}

void platform_make_opaque(LayeredAttributesOp operation, WindowHandle window) {
    // Before the overlay becomes opaque, so that no screen copy ever holds it. Where Windows
    // cannot leave it out, the plain copy stays, which leaves layered windows out on the
    // systems before the composited desktop; the program has no console, so the debugger
    // output says which it is.
    if (!win32_exclude_from_capture(to_hwnd(window))) {
        OutputDebugStringA("zrv5: the overlay cannot be excluded from screen capture "
                           "(SetWindowDisplayAffinity); the plain screen copy is used\n");
    }
    to_layered_fn(operation)(to_hwnd(window), 0, 255, LWA_ALPHA);
}

void platform_destroy_window(WindowHandle window) { DestroyWindow(to_hwnd(window)); }
