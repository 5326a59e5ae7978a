// The Windows entry: WinMain hands the instance handles and the show state to the core and returns
// its exit code.
#include <windows.h>

#include "platform/win32/win32_handles.h"
#include "shell/entry.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR /*command_line*/, int show_state) {
    return zrv5_main(from_hinstance(instance), from_hinstance(previous), show_state);
}
