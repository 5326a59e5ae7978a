// The companion's work on Windows, on a thread of its own (the hook thread) that MySetHook starts
// and MyEndHook ends. While the view runs, ClipCursor holds the pointer inside the capture
// rectangle: the target's client origin and the published W x H; the hook thread looks at the
// target and the clip every few milliseconds and clips again when the target has moved or
// something else (another program, the system on a desktop switch) changed the clip. A low-level
// keyboard hook on the same thread turns Windows key + Escape into "EXIT" = "1" in the shared
// profile, which ends the view at the next tick, and swallows that Escape so that no window below
// sees it. The hook thread never waits on the GUI thread: that one blocks for up to 10 s in a
// cursor grab, and Windows silently removes a low-level hook that keeps the keyboard waiting.
#include "companion/win32/view_keeper.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "companion/published_size.h"
#include "vocabulary/companion_contract.h"
#include "vocabulary/exit_key.h"

namespace {

constexpr DWORD PROFILE_TEXT_SIZE = 260;
// How often the clip is checked: short enough that a moved target or a reset clip is caught
// within a frame or two, long enough to cost nothing.
constexpr DWORD LOOK_INTERVAL_MS = 15;
// A virtual key code that Windows leaves unassigned.
constexpr WORD UNASSIGNED_KEY = 0xE8;
// How long MySetHook waits for the hook thread to have its hook and clip in place, and MyEndHook
// for it to end. The thread waits on nothing but its own stop event, so this only stops a hang.
constexpr DWORD HOOK_THREAD_BOUND_MS = 5000;

// The hook thread's own state: the keyboard hook and what its callback has seen. It stands apart
// from the keeper, since the system calls a low-level hook with nothing of ours to find it by.
struct KeyWatch {
    HHOOK keyboard_hook = nullptr;
    // Its press is set by the callback and acted on by the thread's loop once the callback has
    // returned. Only the hook thread touches it: the system calls the callback on the thread that
    // installed it.
    ExitKeyWatch exit_key;
};

KeyWatch keys;
// Whether a clip of ours may be in force; read at process end, when the hook thread is gone.
std::atomic<bool> clip_in_force{false};

std::string profile_text(const char* key) {
    char text[PROFILE_TEXT_SIZE] = {};
    GetProfileStringA(PROFILE_SECTION, key, "0", text, PROFILE_TEXT_SIZE);
    return text;
}

HMODULE this_module() {
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&this_module), &self);
    return self;
}

void lift_clip() {
    ClipCursor(nullptr);
    clip_in_force = false;
}

class ViewKeeper {
public:
    bool running() const { return running_; }
    // Reads the view from the shared profile, starts the hook thread and returns once its hook and
    // clip are in place; watches the calling (GUI) thread for the quit message that ends its loop.
    void start();
    void stop();

private:
    static DWORD WINAPI hook_thread(LPVOID self);
    void run();
    // Returns the rectangle on the screen, false when the target is gone.
    bool capture_rectangle(RECT* rectangle) const;
    // Clips the pointer to the rectangle unless it already is; lifts the clip for good once the
    // target is gone, since the view ends at its next tick.
    void keep_clip();

    bool running_ = false;
    HWND target_ = nullptr;
    LONG width_ = 0;
    LONG height_ = 0;
    bool clipping_ = false;
    HANDLE thread_ = nullptr;
    HANDLE ready_ = nullptr;
    HANDLE stop_ = nullptr;
    // A hook on the GUI thread that sees the quit message which ends its loop (see watch_quit).
    HHOOK quit_watch_ = nullptr;
};

ViewKeeper keeper;

bool ViewKeeper::capture_rectangle(RECT* rectangle) const {
    POINT origin{0, 0};
    if (!IsWindow(target_) || !ClientToScreen(target_, &origin)) {
        return false;
    }
    *rectangle = RECT{origin.x, origin.y, origin.x + width_, origin.y + height_};
    return true;
}

void ViewKeeper::keep_clip() {
    if (!clipping_) {
        return;
    }
    RECT wanted{};
    if (!capture_rectangle(&wanted)) {
        lift_clip();
        clipping_ = false;
        return;
    }
    // A minimised target sits at (-32000, -32000): a clip there would pin the pointer to a screen
    // edge. The clip is lifted while it is minimised and set again once it is restored.
    if (IsIconic(GetAncestor(target_, GA_ROOT))) {
        if (clip_in_force) {
            lift_clip();
        }
        return;
    }
    RECT now{};
    if (!GetClipCursor(&now) || !EqualRect(&now, &wanted)) {
        clip_in_force = true;
        ClipCursor(&wanted);
    }
}

// Sends a press and release of a virtual key that nothing is bound to. The shell opens the Start
// menu when the Windows key goes up with no other key seen since it went down, and the swallowed
// Escape is not seen; this key is.
void mask_windows_key() {
    INPUT presses[2] = {};
    for (INPUT& key : presses) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = UNASSIGNED_KEY;
    }
    presses[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, presses, sizeof(INPUT));
}

// The low-level keyboard hook: decides and records, nothing more, so the keyboard never waits on
// it for longer than a few comparisons. The profile write and the masking key follow in the
// thread's loop.
LRESULT CALLBACK on_key(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
        const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        if (keys.exit_key.take(key->vkCode, down)) {
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, message, data);
}

// Runs the hook's calls (they arrive as sent messages) and anything posted to this thread.
void pump_messages() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
    }
}

DWORD WINAPI ViewKeeper::hook_thread(LPVOID self) {
    static_cast<ViewKeeper*>(self)->run();
    return 0;
}

// The hook thread: installs the keyboard hook and sets the clip, tells MySetHook it is ready,
// then keeps the clip and acts on the exit key until the stop event; ends by removing the hook
// and lifting the clip.
void ViewKeeper::run() {
    keys = KeyWatch{};
    keys.keyboard_hook = SetWindowsHookExA(WH_KEYBOARD_LL, on_key, this_module(), 0);
    keep_clip();
    SetEvent(ready_);
    for (;;) {
        const DWORD woke =
            MsgWaitForMultipleObjects(1, &stop_, FALSE, LOOK_INTERVAL_MS, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) {
            break;
        }
        pump_messages();
        if (keys.exit_key.pressed) {
            keys.exit_key.pressed = false;
            WriteProfileStringA(PROFILE_SECTION, KEY_EXIT, EXIT_REQUESTED);
            mask_windows_key();
        }
        keep_clip();
    }
    if (keys.keyboard_hook != nullptr) {
        UnhookWindowsHookEx(keys.keyboard_hook);
    }
    if (clipping_) {
        lift_clip();
    }
}

// On the GUI thread: the loop ends on a quit message that no destruction preceded when another
// program posts it, and then MyEndHook never comes. Seeing that message taken from the queue, the
// companion ends its work here, on the GUI thread, instead of under the loader lock at process end.
LRESULT CALLBACK watch_quit(int code, WPARAM removal, LPARAM data) {
    const LRESULT result = CallNextHookEx(nullptr, code, removal, data);
    if (code == HC_ACTION && removal == PM_REMOVE &&
        reinterpret_cast<const MSG*>(data)->message == WM_QUIT) {
        keeper.stop();
    }
    return result;
}

void close_handle(HANDLE* handle) {
    if (*handle != nullptr) {
        CloseHandle(*handle);
        *handle = nullptr;
    }
}

void ViewKeeper::start() {
    running_ = true;
    // "HWND" holds the handle's 32 bits read as signed; window handles fit in 32 bits and widen
    // with their sign, as LongToHandle does.
    // The size is bounded by the whole virtual screen, not the primary monitor: a target wider
    // than the primary monitor on a larger secondary one is reached to its right edge.
    const PublishedView view = published_view(profile_text, GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                              GetSystemMetrics(SM_CYVIRTUALSCREEN));
    target_ = reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(view.window)));
    width_ = view.width;
    height_ = view.height;
    clipping_ = view.confines();

    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (ready_ != nullptr && stop_ != nullptr) {
        thread_ = CreateThread(nullptr, 0, hook_thread, this, 0, nullptr);
    }
    if (thread_ != nullptr) {
        WaitForSingleObject(ready_, HOOK_THREAD_BOUND_MS);
    }
    quit_watch_ = SetWindowsHookExA(WH_GETMESSAGE, watch_quit, this_module(), GetCurrentThreadId());
}

void ViewKeeper::stop() {
    if (!running_) {
        return;
    }
    running_ = false;
    if (quit_watch_ != nullptr) {
        UnhookWindowsHookEx(quit_watch_);
        quit_watch_ = nullptr;
    }
    if (thread_ != nullptr) {
        SetEvent(stop_);
        if (WaitForSingleObject(thread_, HOOK_THREAD_BOUND_MS) != WAIT_OBJECT_0) {
            // A thread that does not end in time must not keep the pointer; it keeps its handles.
            lift_clip();
            return;
        }
        close_handle(&thread_);
    }
    close_handle(&ready_);
    close_handle(&stop_);
}

}  // namespace

void view_keeper_start() {
    if (keeper.running()) {
        return;
    }
    keeper = ViewKeeper{};
    keeper.start();
}

void view_keeper_stop() { keeper.stop(); }

void view_keeper_unload() {
    // Reached with a clip in force only when the process ends without its loop having taken a
    // quit message (abort(), or ExitProcess called by anything in the process), and then nowhere
    // else is left: every other thread is gone already. So this one user32 call stays under the
    // loader lock. It is a plain call into the window manager: it sends no message, loads no
    // library and waits for no thread, and user32 is still initialised (this library imports it,
    // so it is detached after this one). Leaving the clip would hold the pointer until
    // Ctrl+Alt+Del.
    if (clip_in_force) {
        ClipCursor(nullptr);
    }
}
