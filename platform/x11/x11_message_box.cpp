// The error box on X11: a small modal window with a caption, one line of text and an OK button,
// said on standard error too. Enter, Escape, a click on the button and the window manager's close
// all dismiss it; so do Super+Escape and zrv5-exit, which end the program under it (the core's
// poll of the exit request runs on). Other events and timers that come meanwhile are handled as
// usual.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <poll.h>

#include <cstdio>
#include <cstring>

#include "platform/x11/x11_platform.h"

namespace {

constexpr int BOX_WIDTH = 240;
constexpr int BOX_HEIGHT = 110;
constexpr int BUTTON_WIDTH = 80;
constexpr int BUTTON_HEIGHT = 26;
constexpr int BUTTON_TOP = 66;
constexpr unsigned long FACE_COLOUR = 0xF0F0F0;
constexpr unsigned long TEXT_COLOUR = 0x000000;
constexpr unsigned long EDGE_COLOUR = 0x707070;

struct ButtonArea {
    int x = (BOX_WIDTH - BUTTON_WIDTH) / 2;
    int y = BUTTON_TOP;
    bool contains(int px, int py) const {
        return px >= x && px < x + BUTTON_WIDTH && py >= y && py < y + BUTTON_HEIGHT;
    }
};

void draw_centred(Display* display, Window window, GC gc, XFontStruct* font, const char* text,
                  int centre_x, int baseline) {
    const int length = static_cast<int>(std::strlen(text));
    const int width = font != nullptr ? XTextWidth(font, text, length) : 6 * length;
    XDrawString(display, window, gc, centre_x - width / 2, baseline, text, length);
}

void draw_box(Display* display, Window window, GC gc, XFontStruct* font, const char* text) {
    const ButtonArea button;
    XSetForeground(display, gc, FACE_COLOUR);
    XFillRectangle(display, window, gc, 0, 0, BOX_WIDTH, BOX_HEIGHT);
    XSetForeground(display, gc, TEXT_COLOUR);
    draw_centred(display, window, gc, font, text, BOX_WIDTH / 2, 38);
    XSetForeground(display, gc, EDGE_COLOUR);
    XDrawRectangle(display, window, gc, button.x, button.y, BUTTON_WIDTH - 1, BUTTON_HEIGHT - 1);
    XSetForeground(display, gc, TEXT_COLOUR);
    draw_centred(display, window, gc, font, "OK", BOX_WIDTH / 2, button.y + 17);
    XFlush(display);
}

bool closes_box(Display* display, const XEvent& event, Atom delete_message) {
    switch (event.type) {
    case KeyPress: {
        XKeyEvent key = event.xkey;
        const KeySym symbol = XLookupKeysym(&key, 0);
        return symbol == XK_Return || symbol == XK_KP_Enter || symbol == XK_Escape;
    }
    case ButtonRelease:
        return event.xbutton.button == Button1 &&
               ButtonArea{}.contains(event.xbutton.x, event.xbutton.y);
    case ClientMessage:
        return event.xclient.format == 32 &&
               static_cast<Atom>(event.xclient.data.l[0]) == delete_message;
    default:
        (void)display;
        return false;
    }
}

}  // namespace

void platform_message_box(WindowHandle owner, const char* text, const char* caption) {
    std::fprintf(stderr, "zrv5: %s: %s\n", caption, text);
    Display* display = x11.display;
    XSetWindowAttributes attributes{};
    attributes.background_pixel = FACE_COLOUR;
    attributes.event_mask =
        ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;
    // At the centre of the view's monitor, where the user looks.
    const Box monitor = x11_monitor_box();
    const int x = monitor.left + (monitor.right - monitor.left - BOX_WIDTH) / 2;
    const int y = monitor.top + (monitor.bottom - monitor.top - BOX_HEIGHT) / 2;
    const Window box =
        XCreateWindow(display, x11.root, x, y, BOX_WIDTH, BOX_HEIGHT, 1, x11.depth, InputOutput,
                      x11.visual, CWBackPixel | CWEventMask, &attributes);
    XStoreName(display, box, caption);
    XClassHint hint{};
    hint.res_name = const_cast<char*>("zrv5");
    hint.res_class = const_cast<char*>("ZRV5");
    XSetClassHint(display, box, &hint);
    // A fixed size at the centre of the screen, as a dialog of the overlay.
    XSizeHints size{};
    size.flags = PPosition | PMinSize | PMaxSize;
    size.x = x;
    size.y = y;
    size.min_width = size.max_width = BOX_WIDTH;
    size.min_height = size.max_height = BOX_HEIGHT;
    XSetWMNormalHints(display, box, &size);
    if (owner.value != 0) {
        XSetTransientForHint(display, box, static_cast<Window>(owner.value));
    }
    const Atom dialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(display, box, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&dialog), 1);
    Atom delete_message = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, box, &delete_message, 1);

    GC gc = XCreateGC(display, box, 0, nullptr);
    XFontStruct* font = XQueryFont(display, XGContextFromGC(gc));
    XMapRaised(display, box);
    x11_hold_exit_key(true);

    bool open = true;
    while (open && x11.overlay != 0) {
        if (XPending(display) == 0) {
            if (!x11_run_due_timer()) {
                pollfd wait{ConnectionNumber(display), POLLIN, 0};
                poll(&wait, 1, x11_loop_wait_ms());
            }
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.xany.window != box) {
            x11_handle_event(event);
            continue;
        }
        if (event.type == Expose && event.xexpose.count == 0) {
            draw_box(display, box, gc, font, text);
        } else if (event.type == MapNotify) {
            // Keyboard input goes to the box, and back to the pointer's window when it closes.
            XSetInputFocus(display, box, RevertToPointerRoot, CurrentTime);
        } else if (event.type == DestroyNotify) {
            open = false;
        } else {
            open = !closes_box(display, event, delete_message);
        }
    }
    if (font != nullptr) {
        XFreeFontInfo(nullptr, font, 1);
    }
    XFreeGC(display, gc);
    XDestroyWindow(display, box);
    x11_hold_exit_key(false);
    XSync(display, False);
}
