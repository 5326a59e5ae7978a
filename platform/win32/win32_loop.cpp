// The GUI thread's message loop for the Windows backend: GetMessageA and dispatch until the quit
// message, the default window procedure and posting the quit message.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

std::int32_t platform_run_message_loop() {
    MSG message{};
    // GetMessageA returns -1 on an error; only 0 (the quit message) ends the loop.
    while (GetMessageA(&message, nullptr, 0, 0) != 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // A quit posted from elsewhere ends the loop with the pick still awaited.
    win32_remove_pick_hook();
    return static_cast<std::int32_t>(message.wParam);
}

std::intptr_t platform_default_procedure(WindowHandle window, std::uint32_t message,
                                         std::uintptr_t first, std::intptr_t second) {
    return static_cast<std::intptr_t>(DefWindowProcA(
        to_hwnd(window), message, static_cast<WPARAM>(first), static_cast<LPARAM>(second)));
}

void platform_post_quit(std::int32_t code) { PostQuitMessage(code); }
