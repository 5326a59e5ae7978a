// The hand-over of cursor images from grab threads to the frame tick, under one lock.
// Portable core: no OS header.
#include "cursor/handover.h"

#include <mutex>
#include <vector>

#include "platform/platform.h"

namespace {

std::mutex handover_lock;
std::uint32_t grabs_started = 0;     // GUI thread only
std::uint32_t newest_published = 0;  // the grab number of the current record
bool current_is_private = false;
bool closed = false;
std::vector<CursorImage> retired;  // replaced private copies awaiting release on the GUI thread

// Moves the current record's image to the retired list when it is a private copy; lock held.
void retire_current() {
    if (current_is_private && view_state.cursor.image != nullptr) {
        retired.push_back(view_state.cursor.image);
    }
}

}  // namespace

void reset_cursor_handover() {
    std::lock_guard<std::mutex> hold(handover_lock);
    grabs_started = 0;
    newest_published = 0;
    current_is_private = false;
    closed = false;
    retired.clear();
    view_state.cursor = CursorRecord{};
}

std::uint32_t next_grab_number() { return ++grabs_started; }

void publish_cursor(std::uint32_t grab, CursorRecord record, bool private_copy) {
    bool release_now = false;
    {
        std::lock_guard<std::mutex> hold(handover_lock);
        if (closed || grab <= newest_published) {
            release_now = private_copy;
        } else {
            retire_current();
            view_state.cursor = record;
            current_is_private = private_copy;
            newest_published = grab;
        }
    }
    if (release_now) {
        platform_release_cursor(record.image);
    }
}

void publish_standard_arrow(CursorRecord record) {
    std::lock_guard<std::mutex> hold(handover_lock);
    retire_current();
    view_state.cursor = record;
    current_is_private = false;
    // Grabs already started may not replace the arrow later.
    newest_published = grabs_started;
}

CursorRecord current_cursor() {
    std::lock_guard<std::mutex> hold(handover_lock);
    return view_state.cursor;
}

void release_retired_cursors() {
    std::vector<CursorImage> to_release;
    {
        std::lock_guard<std::mutex> hold(handover_lock);
        to_release.swap(retired);
    }
    for (CursorImage image : to_release) {
        platform_release_cursor(image);
    }
}

void close_cursor_handover() {
    std::vector<CursorImage> to_release;
    {
        std::lock_guard<std::mutex> hold(handover_lock);
        retire_current();
        view_state.cursor = CursorRecord{};
        current_is_private = false;
        closed = true;
        to_release.swap(retired);
    }
    for (CursorImage image : to_release) {
        platform_release_cursor(image);
    }
}
