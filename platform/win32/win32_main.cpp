// The Windows entry: WinMain hands the instance handles and the show state to the core and returns
// its exit code.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR /*command_line*/, int show_state) {
    // The GUI thread may wait up to 10 s for a cursor grab without pumping messages; after 5 s
    // Windows would call the overlay hung and put a ghost window in its place that takes the
    // user's clicks ("DisableProcessWindowsGhosting function").
    DisableProcessWindowsGhosting();
    return zrv5_main(from_hinstance(instance), from_hinstance(previous), show_state);
}
