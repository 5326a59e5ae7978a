// The grab thread's start, bounded wait and close through the backend.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "platform/platform.h"

namespace {

struct Work {
    HANDLE release = nullptr;  // the routine waits for it before it ends
    std::atomic<DWORD> thread_id{0};
    std::atomic<int> runs{0};
};

void routine(void* argument) {
    Work* work = static_cast<Work*>(argument);
    work->thread_id = GetCurrentThreadId();
    if (work->release != nullptr) {
        WaitForSingleObject(work->release, INFINITE);
    }
    ++work->runs;
}

TEST(GrabThread, RunsTheRoutineWithItsArgumentOnAnotherThreadAndEndsWithZero) {
    Work work;
    ThreadHandle thread = platform_start_thread(routine, &work);
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(platform_wait_thread(thread, 10000));
    EXPECT_EQ(work.runs.load(), 1);
    EXPECT_NE(work.thread_id.load(), GetCurrentThreadId());
    DWORD exit_code = 99;
    EXPECT_NE(GetExitCodeThread(reinterpret_cast<HANDLE>(thread), &exit_code), 0);
    EXPECT_EQ(exit_code, 0u);
    platform_close_thread(thread);
}

TEST(GrabThread, WaitReportsARunningThreadAndCloseLetsItGoOn) {
    Work work;
    work.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(work.release, nullptr);
    ThreadHandle thread = platform_start_thread(routine, &work);
    ASSERT_NE(thread, nullptr);
    // The routine cannot end before the event is set, so a zero wait must say "still running".
    EXPECT_FALSE(platform_wait_thread(thread, 0));

    // Watch the thread through a handle of our own, then close the backend's while it runs.
    // The thread cannot end before the event is set, so its identifier stays valid meanwhile.
    while (work.thread_id.load() == 0) {
        Sleep(1);
    }
    HANDLE watch = OpenThread(SYNCHRONIZE, FALSE, work.thread_id.load());
    ASSERT_NE(watch, nullptr);
    platform_close_thread(thread);
    SetEvent(work.release);
    EXPECT_EQ(WaitForSingleObject(watch, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(work.runs.load(), 1);
    CloseHandle(watch);
    CloseHandle(work.release);
}

}  // namespace
