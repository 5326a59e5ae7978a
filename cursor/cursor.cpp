// Cursor image acquisition: the grab routine on its own thread, the protocol that starts, waits
// for and closes it, and the standard arrow. Portable core: no OS header.
#include "cursor/cursor.h"

#include "cursor/handover.h"
#include "platform/platform.h"

namespace {

// Reads the hot spot of the record's image into the record and releases the two bitmaps that the
// read hands out; a failed read (or no image) gives hot spot (0, 0).
void read_hot_spot(CursorRecord& record) {
    BitmapHandle colour = nullptr;
    BitmapHandle mask = nullptr;
    if (record.image != nullptr &&
        platform_cursor_info(record.image, &record.hot_x, &record.hot_y, &colour, &mask)) {
        platform_delete_bitmap(colour);
        platform_delete_bitmap(mask);
    } else {
        record.hot_x = 0;
        record.hot_y = 0;
    }
}

// Copies the pointer image of the window under the pointer, with its hot spot, and publishes the
// two as one record. Runs on the grab thread; `argument` carries the grab's number.
void grab_routine(void* argument) {
    const auto grab = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(argument));

    const Point pointer = platform_cursor_position();
    const WindowHandle window = platform_window_from_point(pointer);
    const std::uint32_t owner_thread = platform_window_thread(window);
    const std::uint32_t own_thread = platform_current_thread();

    // The pointer image is readable only through the input state of the window's thread; when it
    // cannot be joined (no window there, among others) the previous image stays.
    if (!platform_attach_input(own_thread, owner_thread, true)) {
        return;
    }

    CursorRecord record;
    record.image = platform_copy_cursor(platform_current_cursor());
    read_hot_spot(record);
    // A failed copy publishes no image: the tick then draws no cursor until a later grab succeeds.
    publish_cursor(grab, record, record.image != nullptr);

    platform_attach_input(own_thread, owner_thread, false);
}

}  // namespace

void run_cursor_grab() {
    const std::uint32_t grab = next_grab_number();
    ThreadHandle thread = platform_start_thread(
        grab_routine, reinterpret_cast<void*>(static_cast<std::uintptr_t>(grab)));
    if (thread == nullptr) {
        return;
    }
    platform_wait_thread(thread, GRAB_WAIT_MS);
    platform_close_thread(thread);
}

void set_up_standard_arrow() {
    CursorRecord record;
    record.image = platform_standard_arrow();
    // Nothing else needs the arrow's information bitmaps: they go at once.
    read_hot_spot(record);
    publish_standard_arrow(record);
}

void prepare_cursor_at_pick(std::int32_t mouse_trs) {
    if (mouse_trs == CURSOR_GRAB_AT_PICK) {
        run_cursor_grab();
    } else if (mouse_trs == CURSOR_STANDARD_ARROW) {
        set_up_standard_arrow();
    }
}
