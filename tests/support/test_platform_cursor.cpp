// The recording test platform's cursor images, joined input states and threads: images made by the
// test, private copies counted until released, the shared arrow, and grab threads that run at
// once, fail to start, or run late when the test says so.
#include <algorithm>

#include "support/test_platform.h"

namespace {

std::string cursor_name(const PlatformCursorImage* image) {
    if (image == nullptr) {
        return "none";
    }
    return test_platform.is_cursor(image) ? image->label : std::string("unknown-cursor");
}

}  // namespace

// --- Cursor images ---------------------------------------------------------------------------

PlatformCursorImage* TestPlatform::new_cursor(const std::string& label) {
    auto image = std::make_unique<PlatformCursorImage>();
    image->label = label;
    known_cursors_.insert(image.get());
    cursors_.push_back(std::move(image));
    return cursors_.back().get();
}

bool TestPlatform::is_cursor(const PlatformCursorImage* image) const {
    return known_cursors_.count(image) != 0;
}

CursorImage TestPlatform::make_cursor_image(std::int32_t width, std::int32_t height, Pixel colour,
                                            std::int32_t hot_x, std::int32_t hot_y) {
    const auto words = static_cast<std::size_t>(std::max(width, 0)) *
                       static_cast<std::size_t>(std::max(height, 0));
    return make_cursor_image(width, height, std::vector<Pixel>(words, colour), hot_x, hot_y);
}

CursorImage TestPlatform::make_cursor_image(std::int32_t width, std::int32_t height,
                                            std::vector<Pixel> pixels, std::int32_t hot_x,
                                            std::int32_t hot_y) {
    const auto words = static_cast<std::size_t>(std::max(width, 0)) *
                       static_cast<std::size_t>(std::max(height, 0));
    if (pixels.size() != words) {
        fail("make_cursor_image: " + std::to_string(pixels.size()) + " words for " +
             std::to_string(width) + " x " + std::to_string(height));
        pixels.resize(words, CURSOR_CLEAR);
    }
    const auto made = std::count_if(cursors_.begin(), cursors_.end(),
                                    [](const auto& c) { return !c->is_copy && !c->is_arrow; });
    PlatformCursorImage* image = new_cursor("cursor" + std::to_string(made + 1));
    image->width = std::max(width, 0);
    image->height = std::max(height, 0);
    image->pixels = std::move(pixels);
    image->hot_x = hot_x;
    image->hot_y = hot_y;
    return image;
}

void TestPlatform::set_window_cursor(WindowHandle window, CursorImage image) {
    const TestWindow* found = find_window(window);
    if (found == nullptr) {
        fail("set_window_cursor: unknown window");
        return;
    }
    thread_cursors_[found->owner_thread] = image;
}

CursorImage TestPlatform::thread_cursor(std::uint32_t thread) const {
    const auto found = thread_cursors_.find(thread);
    return found == thread_cursors_.end() ? nullptr : found->second;
}

void TestPlatform::set_standard_arrow(std::int32_t width, std::int32_t height, Pixel colour,
                                      std::int32_t hot_x, std::int32_t hot_y) {
    if (arrow_ == nullptr) {
        arrow_ = new_cursor("arrow");
        arrow_->is_arrow = true;
    }
    arrow_->width = std::max(width, 0);
    arrow_->height = std::max(height, 0);
    arrow_->pixels.assign(
        static_cast<std::size_t>(arrow_->width) * static_cast<std::size_t>(arrow_->height), colour);
    arrow_->hot_x = hot_x;
    arrow_->hot_y = hot_y;
}

int TestPlatform::copies_made() const { return copies_made_count; }

int TestPlatform::live_cursor_copies() const { return live_copies_count; }

// --- Threads ---------------------------------------------------------------------------------

PlatformThread* TestPlatform::new_thread(ThreadRoutine routine, void* argument) {
    auto thread = std::make_unique<PlatformThread>();
    thread->index = static_cast<std::int32_t>(threads_.size());
    thread->id = FIRST_GRAB_THREAD + static_cast<std::uint32_t>(threads_.size());
    thread->routine = routine;
    thread->argument = argument;
    known_threads_.insert(thread.get());
    threads_.push_back(std::move(thread));
    return threads_.back().get();
}

bool TestPlatform::is_thread(const PlatformThread* thread) const {
    return known_threads_.count(thread) != 0;
}

void TestPlatform::run_thread(PlatformThread& thread) {
    const std::uint32_t caller = current_thread_;
    current_thread_ = thread.id;
    record("thread " + std::to_string(thread.index) + " begins");
    if (thread.routine != nullptr) {
        thread.routine(thread.argument);
    }
    record("thread " + std::to_string(thread.index) + " ends");
    thread.finished = true;
    current_thread_ = caller;
}

bool TestPlatform::run_pending_thread(std::int32_t index) {
    record("external run thread " + std::to_string(index));
    if (index < 0 || static_cast<std::size_t>(index) >= threads_.size() ||
        threads_[static_cast<std::size_t>(index)]->finished) {
        return false;
    }
    run_thread(*threads_[static_cast<std::size_t>(index)]);
    return true;
}

int TestPlatform::pending_threads() const {
    return static_cast<int>(std::count_if(threads_.begin(), threads_.end(),
                                          [](const auto& t) { return !t->finished; }));
}

// --- Seam: cursor images ---------------------------------------------------------------------

std::uint32_t platform_window_thread(WindowHandle window) {
    TestPlatform& tp = test_platform;
    tp.record("window_thread " + tp.window_name(window));
    const TestWindow* found = tp.find_window(window);
    return found != nullptr && found->exists ? found->owner_thread : 0u;
}

std::uint32_t platform_current_thread() {
    test_platform.record("current_thread");
    return test_platform.current_thread();
}

bool platform_attach_input(std::uint32_t own_thread, std::uint32_t other_thread, bool attach) {
    TestPlatform& tp = test_platform;
    tp.record("attach_input " + std::to_string(own_thread) + " " + std::to_string(other_thread) +
              (attach ? " 1" : " 0"));
    if (tp.current_thread() == GUI_THREAD) {
        tp.fail("attach_input: input states are joined by the grab thread, never the GUI thread");
    }
    if (own_thread != tp.current_thread()) {
        tp.fail("attach_input: " + std::to_string(own_thread) + " is not the calling thread " +
                std::to_string(tp.current_thread()));
    }
    auto& attached = tp.attached_inputs;
    if (attach) {
        if (other_thread == 0 || other_thread == own_thread ||
            tp.unjoinable_threads.count(other_thread) != 0) {
            return false;
        }
        attached[own_thread] = other_thread;
        return true;
    }
    const auto joined = attached.find(own_thread);
    if (joined == attached.end() || joined->second != other_thread) {
        return false;
    }
    attached.erase(joined);
    return true;
}

CursorImage platform_current_cursor() {
    TestPlatform& tp = test_platform;
    tp.record("current_cursor");
    const auto joined = tp.attached_inputs.find(tp.current_thread());
    return tp.thread_cursor(joined == tp.attached_inputs.end() ? tp.current_thread()
                                                               : joined->second);
}

CursorImage platform_copy_cursor(CursorImage image) {
    TestPlatform& tp = test_platform;
    tp.record("copy_cursor " + cursor_name(image));
    if (image == nullptr || tp.fail_copy_cursor) {
        return nullptr;
    }
    if (!tp.is_cursor(image)) {
        tp.fail("copy_cursor: not a cursor image of this platform");
        return nullptr;
    }
    if (image->released) {
        tp.fail("copy_cursor: " + image->label + " was already released");
        return nullptr;
    }
    PlatformCursorImage* copy =
        tp.new_cursor(image->label + ".copy" + std::to_string(tp.copies_made() + 1));
    copy->width = image->width;
    copy->height = image->height;
    copy->pixels = image->pixels;
    copy->hot_x = image->hot_x;
    copy->hot_y = image->hot_y;
    copy->monochrome = image->monochrome;
    copy->is_copy = true;
    ++tp.copies_made_count;
    ++tp.live_copies_count;
    return copy;
}

bool platform_cursor_info(CursorImage image, std::int32_t* hot_x, std::int32_t* hot_y,
                          BitmapHandle* colour, BitmapHandle* mask) {
    TestPlatform& tp = test_platform;
    tp.record("cursor_info " + cursor_name(image));
    if (image == nullptr || tp.fail_cursor_info) {
        return false;
    }
    if (!tp.is_cursor(image)) {
        tp.fail("cursor_info: not a cursor image of this platform");
        return false;
    }
    if (image->released) {
        tp.fail("cursor_info: " + image->label + " was already released");
        return false;
    }
    if (hot_x == nullptr || hot_y == nullptr || colour == nullptr || mask == nullptr) {
        tp.fail("cursor_info: every output is required");
        return false;
    }
    *hot_x = image->hot_x;
    *hot_y = image->hot_y;
    *colour = image->monochrome ? nullptr : tp.new_bitmap(0, 0, true);
    *mask = tp.new_bitmap(0, 0, true);
    return true;
}

void platform_release_cursor(CursorImage image) {
    TestPlatform& tp = test_platform;
    tp.record("release_cursor " + cursor_name(image));
    if (image == nullptr) {
        return;
    }
    if (!tp.is_cursor(image)) {
        tp.fail("release_cursor: not a cursor image of this platform");
    } else if (image->is_arrow) {
        tp.fail("release_cursor: the shared standard arrow is never released");
    } else if (!image->is_copy) {
        tp.fail("release_cursor: " + image->label + " is not a copy made by copy_cursor");
    } else if (image->released) {
        tp.fail("release_cursor: " + image->label + " released twice");
    } else {
        image->released = true;
        --tp.live_copies_count;
    }
}

CursorImage platform_standard_arrow() {
    test_platform.record("standard_arrow");
    return test_platform.standard_arrow();
}

// --- Seam: threads ---------------------------------------------------------------------------

ThreadHandle platform_start_thread(ThreadRoutine routine, void* argument) {
    TestPlatform& tp = test_platform;
    tp.record("start_thread");
    if (tp.thread_mode == ThreadMode::FailStart) {
        return nullptr;
    }
    PlatformThread* thread = tp.new_thread(routine, argument);
    if (tp.thread_mode == ThreadMode::Immediate) {
        tp.run_thread(*thread);
    }
    return thread;
}

bool platform_wait_thread(ThreadHandle thread, std::uint32_t timeout_ms) {
    TestPlatform& tp = test_platform;
    tp.record("wait_thread " + std::to_string(timeout_ms));
    tp.wait_timeouts.push_back(timeout_ms);
    if (thread == nullptr || !tp.is_thread(thread)) {
        tp.fail("wait_thread: not a thread started by start_thread");
        return false;
    }
    if (thread->closed) {
        tp.fail("wait_thread: thread " + std::to_string(thread->index) + " was closed before");
        return false;
    }
    // A late thread has not ended: the wait runs out its bound.
    return thread->finished;
}

void platform_close_thread(ThreadHandle thread) {
    TestPlatform& tp = test_platform;
    tp.record("close_thread");
    if (thread == nullptr || !tp.is_thread(thread)) {
        tp.fail("close_thread: not a thread started by start_thread");
        return;
    }
    if (thread->closed) {
        tp.fail("close_thread: thread " + std::to_string(thread->index) + " closed twice");
        return;
    }
    thread->closed = true;
}

std::int32_t platform_band_workers() { return test_platform.band_workers; }

void platform_run_bands(BandRoutine routine, void* argument, std::int32_t count) {
    test_platform.band_runs.push_back(count);
    for (std::int32_t band = 0; band < count; ++band) {
        routine(argument, band);
    }
}
