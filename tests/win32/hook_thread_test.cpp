// The companion's hook thread, with a test build of zrv5.exe whose GUI thread the test holds: the
// exit hotkey works while the GUI thread is held in a tick, and the hook thread is gone and the
// pointer free once the loop has ended, by MyEndHook or by a quit message from elsewhere, while
// the process is still there.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "companion_support.h"
#include "e2e_support.h"

namespace {

constexpr std::int32_t TARGET_X = 150;
constexpr std::int32_t TARGET_Y = 110;
constexpr std::int32_t TARGET_WIDTH = 320;
constexpr std::int32_t TARGET_HEIGHT = 240;

class HookThread : public PickedTarget {
protected:
    void SetUp() override {
        std::set<DWORD> before;
        // Cursor mode 3: no grab threads come and go beside the hook thread.
        start_and_pick(RECT{TARGET_X, TARGET_Y, TARGET_X + TARGET_WIDTH, TARGET_Y + TARGET_HEIGHT},
                       "[Zarvo5]\nmouse_trs=3\n", true, &before);
        if (HasFatalFailure()) {
            return;
        }
        for (DWORD thread : threads_of(run->process_id())) {
            if (before.count(thread) == 0) {
                started.insert(thread);
            }
        }
        ASSERT_EQ(started.size(), 1u) << "MySetHook starts one thread, the hook thread";
    }
    void TearDown() override {
        DeleteFileA(path("tick.hold").c_str());
        DeleteFileA(path("end.hold").c_str());
        PickedTarget::TearDown();
    }

    std::string path(const char* file) const { return run->folder() + "\\" + file; }
    void create_file(const char* file) const {
        CloseHandle(CreateFileA(path(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    bool file_exists(const char* file) const {
        return GetFileAttributesA(path(file).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // After the loop has ended and while the process is held: the hook thread has ended and the
    // pointer is free, so neither waited for the library's unloading.
    void expect_companion_ended_before_process_end(const char* how) {
        ASSERT_TRUE(eventually([&] { return file_exists("end.held"); })) << how;
        ASSERT_TRUE(run->running());
        const std::set<DWORD> now = threads_of(run->process_id());
        EXPECT_EQ(now.count(*started.begin()), 0u) << "the hook thread still runs after " << how;
        EXPECT_TRUE(clip_becomes(whole_screen())) << "after " << how;
        DeleteFileA(path("end.hold").c_str());
    }

    std::set<DWORD> started;
};

// The GUI thread is held at a tick for at least 3 s and until the exit key has been recorded: the
// press is handled on the hook thread meanwhile, and the view ends after the tick goes on.
TEST_F(HookThread, TheExitKeyWorksWhileTheGuiThreadIsHeldInATick) {
    create_file("tick.hold");
    ASSERT_TRUE(eventually([&] { return file_exists("tick.held"); })) << "no tick was held";
    EXPECT_TRUE(press_windows_escape_until(window, [] { return profile_value("EXIT") == "1"; }))
        << "the exit key was not recorded while the GUI thread was held";
    ASSERT_TRUE(file_exists("tick.hold")) << "the GUI thread was held throughout";

    create_file("end.hold");
    DeleteFileA(path("tick.hold").c_str());
    expect_companion_ended_before_process_end("MyEndHook");
    EXPECT_EQ(run->wait_for_exit(), 0);
}

// A quit message from elsewhere ends the loop without MyEndHook; the companion still ends its work
// on the GUI thread, not under the loader lock at process end.
TEST_F(HookThread, AQuitFromElsewhereEndsTheHookThreadBeforeTheProcessEnds) {
    create_file("end.hold");
    run->post_quit();
    expect_companion_ended_before_process_end("a quit posted from elsewhere");
    EXPECT_EQ(run->wait_for_exit(), 0);
}

}  // namespace
