// The overlay's exclusion from screen capture: where Windows honours it the affinity reads back as
// excluded from capture; anywhere else it is none, never the affinity that blacks a window out of
// every capture (which would put a black screen in each frame).
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"

namespace {

constexpr DWORD EXCLUDE_FROM_CAPTURE = 0x11;
constexpr DWORD NONE = 0;

using GetAffinityFn = BOOL(WINAPI*)(HWND, DWORD*);

TEST(CaptureAffinity, TheWindowIsExcludedFromCaptureOrKeepsNoAffinity) {
    HWND window = CreateWindowExA(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST, "STATIC",
                                  "affinity", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    const bool excluded = win32_exclude_from_capture(window);

    const auto get_affinity = reinterpret_cast<GetAffinityFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "GetWindowDisplayAffinity")));
    DWORD affinity = 0xFFFFFFFF;
    if (get_affinity != nullptr && get_affinity(window, &affinity)) {
        EXPECT_EQ(affinity, excluded ? EXCLUDE_FROM_CAPTURE : NONE);
    } else {
        EXPECT_FALSE(excluded) << "excluded, but the affinity cannot be read back";
    }
    // Wine keeps no display affinity: record which way this system went.
    RecordProperty("excluded_from_capture", excluded ? "yes" : "no");
    DestroyWindow(window);
}

}  // namespace
