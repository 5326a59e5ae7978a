// Cursor image acquisition: the grab routine on its own thread, the protocol that starts, waits
// for and closes it, and the standard arrow. Portable core: no OS header.
#include "cursor/cursor.h"

#include "cursor/handover.h"
#include "platform/platform.h"

namespace {

// Copies the pointer image of the window under the pointer, with its hot spot, and publishes the
// two as one record. Runs on the grab thread; `argument` carries the grab's number.
void grab_routine(void* argument) {
    const auto grab = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(argument));
    const PointerImage pointer = platform_copy_pointer_image();
    // With no window under the pointer (or none whose image can be reached) the previous image
    // stays; a failed copy publishes no image, and the tick then draws no cursor until a later
    // grab succeeds.
    if (!pointer.found) {
        return;
    }
    publish_cursor(grab, CursorRecord{pointer.image, pointer.hot_x, pointer.hot_y},
                   pointer.image != nullptr);
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
    const PointerImage arrow = platform_standard_arrow();
    publish_standard_arrow(CursorRecord{arrow.image, arrow.hot_x, arrow.hot_y});
}

void prepare_cursor_at_pick(std::int32_t mouse_trs) {
    if (mouse_trs == CURSOR_GRAB_AT_PICK) {
        run_cursor_grab();
    } else if (mouse_trs == CURSOR_STANDARD_ARROW) {
        set_up_standard_arrow();
    }
}
