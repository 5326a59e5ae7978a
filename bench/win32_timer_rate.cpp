// How many ticks a period of 16 ms gives in two seconds: through the Windows backend's loop and
// its waitable timer, as zrv5 ticks, and through a plain window timer (SetTimer), as it ticked
// before. Windows rounds a window timer's period up to the system timer's resolution (15.6 ms by
// default), so there the second ticks about 64 times, the first about 125; Wine's window timers
// keep the period, and both tick about 125 times under it. Run by tools/bench-windows-timer.sh.
#include <windows.h>

#include <cstdio>

#include "platform/platform.h"

namespace {

constexpr UINT PERIOD_MS = 16;
constexpr ULONGLONG RUN_MS = 2000;
constexpr UINT_PTR WINDOW_TIMER = 2;

int ticks = 0;
ULONGLONG ends_at = 0;

LRESULT CALLBACK count_ticks(HWND window, UINT message, WPARAM first, LPARAM second) {
    if (message != WM_TIMER) {
        return DefWindowProcA(window, message, first, second);
    }
    ++ticks;
    if (GetTickCount64() >= ends_at) {
        platform_kill_timer(WindowHandle{reinterpret_cast<std::uintptr_t>(window)}, 1);
        KillTimer(window, WINDOW_TIMER);
        PostQuitMessage(0);
    }
    return 0;
}

// Counts the ticks of one timer, started by `start`, for RUN_MS, in the loop `run`.
template <typename Start, typename Run>
int count_for_two_seconds(HWND window, Start start, Run run) {
    ticks = 0;
    ends_at = GetTickCount64() + RUN_MS;
    start(window);
    run();
    return ticks;
}

void run_window_timer_loop() {
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
}

}  // namespace

int main() {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = count_ticks;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "zrv5 timer rate";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, window_class.lpszClassName, "", WS_POPUP, 0, 0, 1, 1,
                                  nullptr, nullptr, window_class.hInstance, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "zrv5_timer_rate: no window\n");
        return 1;
    }
    const int loop_ticks = count_for_two_seconds(
        window,
        [](HWND w) {
            platform_set_timer(WindowHandle{reinterpret_cast<std::uintptr_t>(w)}, 1, PERIOD_MS);
        },
        [] { platform_run_message_loop(); });
    const int window_ticks = count_for_two_seconds(
        window, [](HWND w) { SetTimer(w, WINDOW_TIMER, PERIOD_MS, nullptr); },
        run_window_timer_loop);
    std::printf("ticks in %llu ms at a period of %u ms (%llu at most):\n",
                static_cast<unsigned long long>(RUN_MS), PERIOD_MS,
                static_cast<unsigned long long>(RUN_MS / PERIOD_MS));
    std::printf("  zrv5's loop timer    %d\n", loop_ticks);
    std::printf("  a window timer       %d\n", window_ticks);
    return 0;
}
