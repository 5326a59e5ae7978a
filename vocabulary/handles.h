// Opaque handle types the core passes back and forth through the platform seam without looking
// inside. Each backend gives them meaning; the core only stores, compares and hands them back.
// Bottom layer: includes nothing else of ours and no OS header.
#pragma once

#include <cstdint>

// A window of the window system. The value is the platform's own handle or id; 0 is "none".
struct WindowHandle {
    std::uintptr_t value = 0;
    explicit operator bool() const { return value != 0; }
    friend bool operator==(WindowHandle a, WindowHandle b) { return a.value == b.value; }
    friend bool operator!=(WindowHandle a, WindowHandle b) { return a.value != b.value; }
};

struct PlatformCursorImage;
struct PlatformLayeredOp;

// A cursor or icon image that can be drawn.
using CursorImage = PlatformCursorImage*;
// The layered-attributes operation, resolved at start-up; null when the platform lacks it.
using LayeredAttributesOp = PlatformLayeredOp*;

// The process's instance handles as the entry receives them; opaque to the core.
struct PlatformInstance;
using InstanceHandle = PlatformInstance*;

// A thread started through the seam.
struct PlatformThread;
using ThreadHandle = PlatformThread*;
