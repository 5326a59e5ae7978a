// Cursor mode 1 for 2 000 ticks at `time` 10, the whole program in this process with a target of
// this process under the pointer, so that every tick's grab really copies a pointer image (Wine
// cannot copy another process's cursor). The process's GDI objects and the cursor copies still
// valid must stay flat: a grab or a tick that leaks shows here.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

#include "companion_stub.h"
#include "cursor/handover.h"
#include "gui_objects.h"
#include "platform/platform.h"
#include "shell/settings_text.h"

namespace {

constexpr int WARM_UP_TICKS = 100;
constexpr int SOAK_TICKS = 2000;
// Objects that may come and go between two samples without a leak (a context, a few bitmaps).
constexpr std::int64_t GDI_SLACK = 8;

struct Soak {
    HWND target = nullptr;
    HWND overlay = nullptr;
    WNDPROC overlay_procedure = nullptr;
    int ticks = 0;
    GdiCount gdi_after_warm_up;
    GdiCount gdi_at_end;
    std::set<HICON> images_seen;
    int images_still_valid = -1;
};

Soak soak;

bool image_is_valid(HICON image) {
    ICONINFO info{};
    if (!GetIconInfo(image, &info)) {
        return false;
    }
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return true;
}

// Runs on the GUI thread around the program's own handling of each message of the overlay.
LRESULT CALLBACK counting_procedure(HWND window, UINT message, WPARAM first, LPARAM second) {
    const LRESULT result = CallWindowProcA(soak.overlay_procedure, window, message, first, second);
    if (message != WM_TIMER || soak.target == nullptr) {
        return result;
    }
    ++soak.ticks;
    if (soak.ticks > WARM_UP_TICKS) {
        soak.images_seen.insert(reinterpret_cast<HICON>(current_cursor().image));
    }
    if (soak.ticks == WARM_UP_TICKS) {
        soak.gdi_after_warm_up = count_gdi_objects();
    } else if (soak.ticks == WARM_UP_TICKS + SOAK_TICKS) {
        soak.gdi_at_end = count_gdi_objects();
        soak.images_still_valid = 0;
        for (HICON image : soak.images_seen) {
            soak.images_still_valid += image != nullptr && image_is_valid(image) ? 1 : 0;
        }
        // The next tick finds the target gone and ends the view.
        DestroyWindow(soak.target);
        soak.target = nullptr;
    }
    return result;
}

// Waits for the overlay, puts the counting procedure in front of the program's, then picks.
DWORD WINAPI pick_when_ready(LPVOID) {
    for (int attempt = 0; attempt < 1500 && soak.overlay == nullptr; ++attempt) {
        soak.overlay = FindWindowA("ZRV5", "ZRV5");
        Sleep(20);
    }
    if (soak.overlay == nullptr) {
        return 1;
    }
    soak.overlay_procedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        soak.overlay, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(counting_procedure)));
    POINT point{160, 120};
    ClientToScreen(soak.target, &point);
    PostMessageA(soak.overlay, WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
    return 0;
}

void write_settings() {
    const std::string path = settings_path(platform_executable_path());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fputs("[Zarvo5]\r\ntime=10\r\nmouse_trs=1\r\nstretch=0\r\n", file);
    std::fclose(file);
}

TEST(Soak, GrabEveryTickFor2000TicksKeepsObjectCountsFlat) {
    // The measure must be able to fail: fifty bitmaps must show as fifty more objects.
    const GdiCount before = count_gdi_objects();
    ASSERT_TRUE(before.available) << before.how;
    HBITMAP probes[50];
    for (HBITMAP& probe : probes) {
        probe = CreateBitmap(4, 4, 1, 32, nullptr);
    }
    const GdiCount with_probes = count_gdi_objects();
    for (HBITMAP probe : probes) {
        DeleteObject(probe);
    }
    ASSERT_EQ(with_probes.objects - before.objects, 50) << "GDI count by " << before.how;
    ASSERT_EQ(count_gdi_objects().objects, before.objects);
    std::printf("GDI objects counted through %s\n", before.how.c_str());

    write_settings();
    WNDCLASSA target_class{};
    target_class.lpfnWndProc = DefWindowProcA;
    target_class.hInstance = GetModuleHandleA(nullptr);
    target_class.hCursor = LoadCursorA(nullptr, IDC_CROSS);
    target_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    target_class.lpszClassName = "Zrv5SoakTarget";
    ASSERT_NE(RegisterClassA(&target_class), 0);
    soak.target =
        CreateWindowExA(0, "Zrv5SoakTarget", "soak target", WS_POPUP | WS_VISIBLE, 100, 100, 320,
                        240, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(soak.target, nullptr);
    SetCursorPos(260, 220);
    SetCursor(LoadCursorA(nullptr, IDC_CROSS));

    HANDLE picker = CreateThread(nullptr, 0, pick_when_ready, nullptr, 0, nullptr);
    ASSERT_NE(picker, nullptr);
    const std::int32_t exit_code =
        zrv5_main(reinterpret_cast<InstanceHandle>(GetModuleHandleA(nullptr)), nullptr, SW_SHOW);
    WaitForSingleObject(picker, INFINITE);
    DWORD picker_code = 1;
    GetExitCodeThread(picker, &picker_code);
    CloseHandle(picker);

    ASSERT_EQ(picker_code, 0u) << "the overlay never appeared";
    EXPECT_EQ(exit_code, 0);
    ASSERT_GE(soak.ticks, WARM_UP_TICKS + SOAK_TICKS);
    EXPECT_EQ(companion_calls.set_hook, 1);
    EXPECT_EQ(companion_calls.end_hook, 1);

    // Each tick's grab made a new private copy, so the soak really exercised the releases.
    EXPECT_GT(soak.images_seen.size(), static_cast<std::size_t>(SOAK_TICKS / 2))
        << "the grabs copied no pointer images";
    EXPECT_LE(soak.images_still_valid, 2)
        << "of " << soak.images_seen.size() << " cursor copies, these were never released";
    ASSERT_TRUE(soak.gdi_after_warm_up.available && soak.gdi_at_end.available);
    EXPECT_LE(soak.gdi_at_end.objects - soak.gdi_after_warm_up.objects, GDI_SLACK)
        << "GDI objects after " << WARM_UP_TICKS << " ticks: " << soak.gdi_after_warm_up.objects
        << ", after " << SOAK_TICKS << " more: " << soak.gdi_at_end.objects << " ("
        << soak.gdi_at_end.how << ")";
}

}  // namespace
