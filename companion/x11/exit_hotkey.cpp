// Super+Escape while a view runs, for the companion on X11 (see exit_hotkey.h).
#include "companion/x11/exit_hotkey.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>

#include "platform/posix/posix_user_profile.h"
#include "vocabulary/companion_contract.h"

// The program's export, weak: loaded into a program without it, the library sees it null.
#pragma weak zrv5_request_exit

namespace {

// Returns the mask of the modifier that `keysym` is bound to, or 0 when none is.
unsigned modifier_of(Display* display, KeySym keysym) {
    const KeyCode code = XKeysymToKeycode(display, keysym);
    if (code == 0) {
        return 0;
    }
    XModifierKeymap* map = XGetModifierMapping(display);
    if (map == nullptr) {
        return 0;
    }
    unsigned mask = 0;
    for (int modifier = 0; modifier < 8 && mask == 0; ++modifier) {
        for (int k = 0; k < map->max_keypermod; ++k) {
            if (map->modifiermap[modifier * map->max_keypermod + k] == code) {
                mask = 1u << modifier;
                break;
            }
        }
    }
    XFreeModifiermap(map);
    return mask;
}

}  // namespace

void ExitHotkey::start(Display* display, Window root, bool raw_keys) {
    display_ = display;
    root_ = root;
    raw_keys_ = raw_keys && follow_modifiers();
    grab();
}

void ExitHotkey::stop() { ungrab(); }

bool ExitHotkey::take(XEvent& event) {
    if (xkb_event_base_ >= 0 && event.type == xkb_event_base_) {
        const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
        if (xkb.any.xkb_type == XkbStateNotify) {
            modifiers_ = xkb.state.mods;
        }
        return true;
    }
    if (event.type == MappingNotify && event.xmapping.request != MappingPointer) {
        // Another keymap (a layout switched; XWayland takes each Wayland keyboard's own): the
        // keys are found and grabbed anew.
        XRefreshKeyboardMapping(&event.xmapping);
        ungrab();
        grab();
        return true;
    }
    if (event.type == KeyPress && event.xkey.keycode == escape_) {
        if (!raw_keys_) {
            on_escape();
        }
        return true;
    }
    return false;
}

void ExitHotkey::raw_key_press(int key) {
    if (raw_keys_ && escape_ != 0 && key == escape_ && (modifiers_ & super_mask_) != 0) {
        on_escape();
    }
}

// Grabs Escape with the modifier Super is bound to, also with Caps Lock and Num Lock on, since a
// passive grab matches its modifiers exactly.
void ExitHotkey::grab() {
    escape_ = XKeysymToKeycode(display_, XK_Escape);
    super_mask_ = modifier_of(display_, XK_Super_L);
    if (super_mask_ == 0) {
        super_mask_ = modifier_of(display_, XK_Super_R);
    }
    if (super_mask_ == 0) {
        super_mask_ = Mod4Mask;
    }
    const unsigned num_lock = modifier_of(display_, XK_Num_Lock);
    const unsigned variants[4] = {0, LockMask, num_lock, LockMask | num_lock};
    std::copy(variants, variants + 4, grab_variants_);
    if (escape_ == 0) {
        return;
    }
    for (unsigned extra : grab_variants_) {
        // A grab another client holds fails with BadAccess; the view then goes without a hotkey.
        XGrabKey(display_, escape_, super_mask_ | extra, root_, False, GrabModeAsync,
                 GrabModeAsync);
    }
}

void ExitHotkey::ungrab() {
    if (escape_ != 0) {
        for (unsigned extra : grab_variants_) {
            XUngrabKey(display_, escape_, super_mask_ | extra, root_);
        }
    }
}

void ExitHotkey::on_escape() {
    // When the profile cannot carry the request, the program is asked directly.
    if (!user_profile_write(PROFILE_SECTION, KEY_EXIT, EXIT_REQUESTED)) {
        std::fprintf(stderr, "zrv5: %s\n", user_profile_write_failure().c_str());
        if (zrv5_request_exit != nullptr) {
            zrv5_request_exit();
        }
    }
}

// A raw key event carries no modifiers, and asking for them at the Escape would come too late
// for keys pressed and let go at once. XKB's state events come in order with the raw events, and
// also say a modifier that a Wayland compositor sets without any key (a virtual keyboard's).
bool ExitHotkey::follow_modifiers() {
    int opcode = 0;
    int error_base = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(display_, &opcode, &xkb_event_base_, &error_base, &major, &minor)) {
        xkb_event_base_ = -1;
        return false;
    }
    XkbSelectEventDetails(display_, XkbUseCoreKbd, XkbStateNotify, XkbModifierStateMask,
                          XkbModifierStateMask);
    XkbStateRec state{};
    if (XkbGetState(display_, XkbUseCoreKbd, &state) == Success) {
        modifiers_ = state.mods;
    }
    return true;
}

