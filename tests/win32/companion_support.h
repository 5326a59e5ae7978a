// Helpers of the companion's end-to-end tests: the pointer's clip, the screen, the target's capture
// rectangle, the exit hotkey and the threads of the program's process.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>

#include "e2e_support.h"

RECT clip();
RECT whole_screen();
// The screen rectangle of width x height at the window's client origin.
RECT client_rectangle(HWND window, std::int32_t width, std::int32_t height);
// Waits until the clip is `wanted`; the message on failure names both.
::testing::AssertionResult clip_becomes(const RECT& wanted);

// Presses and releases Windows key + Escape as input from the keyboard would.
void press_windows_escape();
// Presses Windows key + Escape with `window` in front until `done` holds, at most a bounded number
// of times: the low-level hook sees keys only while a window of Wine has the focus, which Wine may
// give a moment late, so a press that found no focus is repeated. Returns whether `done` held.
bool press_windows_escape_until(HWND window, const std::function<bool()>& done);

// The current test's name, usable as a folder name.
std::string name_of_test();

// The identifiers of the threads that process `pid` has now.
std::set<DWORD> threads_of(DWORD pid);

// A target window and zrv5.exe with the working companion, started and given a pick at the target's
// client point (10, 10), so that the pointer is clipped to the target's client area; torn down with
// the program gone, the target destroyed and the pointer free.
class PickedTarget : public ::testing::Test {
protected:
    // With the test build whose GUI thread the test holds when `held_build`; `threads_before_pick`,
    // when given, gets the program's threads from before the pick.
    void start_and_pick(const RECT& target, const std::string& settings, bool held_build,
                        std::set<DWORD>* threads_before_pick = nullptr);
    void TearDown() override;

    HWND window = nullptr;
    std::unique_ptr<ProgramRun> run;
};
