// The program's entry, shared by every backend's main or WinMain.
// Portable core: no OS header.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Starts the system, runs its message loop and returns the exit code: 0 when the window class
// cannot be registered, else the parameter of the quit message that ends the loop (0 after a view,
// 1 after a refused pick). `previous` is the previous-instance handle (none on every platform but
// old Windows); `show_state` is the entry's initial show state.
std::int32_t zrv5_main(InstanceHandle instance, InstanceHandle previous, std::int32_t show_state);
