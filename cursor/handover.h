// The hand-over of cursor images from grab threads to the frame tick.
// Portable core: no OS header.
#pragma once

#include <cstdint>

#include "vocabulary/view_state.h"

// Every grab publishes its image and hot spot as one record, so a tick never draws an image with
// another grab's hot spot. A grab that finishes after a later one has published is discarded, so
// grabs that finish out of order cannot bring back an older image. A replaced private copy is not
// released by the grab thread, which cannot know whether a tick is drawing it; it is retired, and
// the GUI thread releases retired copies between ticks.

// Forgets every record and copy without releasing anything; called once at start-up.
void reset_cursor_handover();

// Returns the number of the next grab, counting from 1; called on the GUI thread as a grab starts.
std::uint32_t next_grab_number();

// Publishes the record of grab `grab` as the current cursor, unless a later grab (or the arrow) has
// already published. `private_copy` tells whether the record's image is a copy this system must
// release. Safe on any thread.
void publish_cursor(std::uint32_t grab, CursorRecord record, bool private_copy);

// Publishes the standard arrow, which is shared and never released; GUI thread.
void publish_standard_arrow(CursorRecord record);

// Returns the current record; GUI thread.
CursorRecord current_cursor();

// Releases the copies that the current record has replaced; GUI thread, outside the cursor drawing.
void release_retired_cursors();

// Releases every copy, the current one included, and makes later publications release their own
// copy at once; called once, after the message loop ends.
void close_cursor_handover();
