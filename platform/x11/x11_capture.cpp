// The screen as it lies beneath the overlay. A copy of the screen itself would include the opaque
// overlay, so every child of the root is redirected offscreen (Composite, automatic: the server
// still shows them) and a capture composes the windows other than the overlay, bottom to top, from
// their own pixmaps into a pixmap of ours (RENDER), which is then read back. The questions about
// the windows go out in one batch (through the connection's XCB side) and cost one round trip, not
// two per window.
//
// A capture of the same rectangle as the last reads again only the rows that damage reports (each
// composed window reports every rectangle drawn into it, as an event); what damage does not report
// (a window mapped, unmapped, moved, restacked or destroyed, the overlay exposed) makes the next
// capture whole. A capture with no damage sends nothing at all.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrender.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/x11/x11_platform.h"

namespace {

// A picture of each window composed so far; reading through a window picture with IncludeInferiors
// takes the window's children along.
struct WindowPicture {
    Picture picture = 0;
    bool has_alpha = false;
    Damage damage = 0;  // reports what is drawn into the window and its children
};

std::unordered_map<Window, WindowPicture> pictures;

// What is known of the screen since the last capture.
struct DamageState {
    bool available = false;  // the server has the DAMAGE extension
    int event_base = 0;
    int fixes_event_base = 0;
    bool whole = true;               // the next capture reads everything
    bool windows_known = false;      // the list of windows still holds
    std::vector<std::uint8_t> rows;  // the screen's rows that damage reported
    bool any = false;
    // The rectangle that the capture's memory holds, whole and current but for the damage.
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> fresh;  // the capture's rows read anew by the last capture
} damage;

Pixmap canvas = 0;  // where the capture is composed
Picture canvas_picture = 0;
// The canvas is a shared-memory pixmap over the read-back image's own memory: what the server
// composes is there once it has handled the requests, with no copy to read it back.
bool canvas_shared = false;
std::int32_t canvas_width = 0;
std::int32_t canvas_height = 0;
X11Image readback;  // the canvas read back

// Returns the visual of the screen with the given id, or null.
Visual* visual_of(VisualID id) {
    XVisualInfo wanted{};
    wanted.visualid = id;
    int count = 0;
    XVisualInfo* found = XGetVisualInfo(x11.display, VisualIDMask, &wanted, &count);
    Visual* visual = count > 0 ? found[0].visual : nullptr;
    if (found != nullptr) {
        XFree(found);
    }
    return visual;
}

// Returns the cached picture of the window, making one on first use.
const WindowPicture* picture_of(Window window, VisualID visual_id) {
    const auto found = pictures.find(window);
    if (found != pictures.end()) {
        return &found->second;
    }
    Visual* visual = visual_of(visual_id);
    if (visual == nullptr) {
        return nullptr;
    }
    XRenderPictFormat* format = XRenderFindVisualFormat(x11.display, visual);
    if (format == nullptr) {
        return nullptr;
    }
    XRenderPictureAttributes attributes{};
    attributes.subwindow_mode = IncludeInferiors;
    WindowPicture made;
    made.picture = XRenderCreatePicture(x11.display, window, format, CPSubwindowMode, &attributes);
    made.has_alpha = format->type == PictTypeDirect && format->direct.alphaMask != 0;
    if (damage.available) {
        made.damage = XDamageCreate(x11.display, window, XDamageReportRawRectangles);
    }
    return &pictures.emplace(window, made).first->second;
}

// Whether the canvas may be shared: ZRV5_SHARED_CANVAS=0 reads it back instead, as on a server
// without shared pixmaps; unset, empty or 1 shares it where the server can. Any other value is
// said once and shares it.
bool shared_canvas_allowed() {
    static const bool allowed = [] {
        const char* wanted = std::getenv("ZRV5_SHARED_CANVAS");
        const std::string value = wanted != nullptr ? wanted : "";
        if (value != "" && value != "0" && value != "1") {
            std::fprintf(stderr,
                         "zrv5: ZRV5_SHARED_CANVAS=%s is neither 0 nor 1; the capture is shared "
                         "where the server can\n",
                         value.c_str());
        }
        return value != "0";
    }();
    return allowed;
}

// Whether the server makes pixmaps over shared memory in the layout of our images (MIT-SHM's
// shared pixmaps, which many servers leave out).
bool server_shares_pixmaps() {
    if (!shared_canvas_allowed()) {
        return false;
    }
    int major = 0;
    int minor = 0;
    Bool pixmaps = False;
    return x11.shm && XShmQueryVersion(x11.display, &major, &minor, &pixmaps) && pixmaps &&
           XShmPixmapFormat(x11.display) == ZPixmap;
}

// Makes the canvas over the read-back image's memory; false (and none made) when the server
// refuses.
bool share_canvas(std::int32_t width, std::int32_t height) {
    if (!readback.shared || !server_shares_pixmaps()) {
        return false;
    }
    x11_take_error();
    canvas = XShmCreatePixmap(x11.display, x11.root, readback.image->data, &readback.segment,
                              static_cast<unsigned>(width), static_cast<unsigned>(height),
                              static_cast<unsigned>(x11.depth));
    XSync(x11.display, False);
    if (x11_take_error() != 0) {
        canvas = 0;
        return false;
    }
    return true;
}

bool ensure_canvas(std::int32_t width, std::int32_t height) {
    if (canvas != 0 && canvas_width == width && canvas_height == height) {
        return true;
    }
    if (canvas != 0) {
        XRenderFreePicture(x11.display, canvas_picture);
        XFreePixmap(x11.display, canvas);
        canvas = 0;
    }
    canvas_width = 0;
    canvas_height = 0;
    if (!x11_create_image(readback, width, height)) {
        return false;
    }
    canvas_shared = share_canvas(width, height);
    if (!canvas_shared) {
        canvas = XCreatePixmap(x11.display, x11.root, static_cast<unsigned>(width),
                               static_cast<unsigned>(height), static_cast<unsigned>(x11.depth));
    }
    canvas_picture = XRenderCreatePicture(
        x11.display, canvas, XRenderFindVisualFormat(x11.display, x11.visual), 0, nullptr);
    canvas_width = width;
    canvas_height = height;
    return true;
}

// The part of the screen a capture reads, in root coordinates (right and bottom exclusive).
struct Area {
    int left;
    int top;
    int right;
    int bottom;
};

// Composes the part of one window (its border included) that falls into the visible part of the
// capture, whose top-left corner on the screen is (x, y).
void compose_window(const TopLevel& window, const Area& visible, std::int32_t x, std::int32_t y) {
    const int border = window.border;
    // The window's outer edge, border included; its picture's (0, 0) is inside the border.
    const int left = std::max(window.x, visible.left);
    const int top = std::max(window.y, visible.top);
    const int right = std::min(window.x + window.width + 2 * border, visible.right);
    const int bottom = std::min(window.y + window.height + 2 * border, visible.bottom);
    if (left >= right || top >= bottom) {
        return;
    }
    const WindowPicture* source = picture_of(window.window, window.visual);
    if (source == nullptr) {
        return;
    }
    XRenderComposite(x11.display, source->has_alpha ? PictOpOver : PictOpSrc, source->picture, None,
                     canvas_picture, left - window.x - border, top - window.y - border, 0, 0,
                     left - x, top - y, static_cast<unsigned>(right - left),
                     static_cast<unsigned>(bottom - top));
}

// Returns the windows a capture composes: those asked for last, unless the stacking or a
// window's place or size has changed since.
const std::vector<TopLevel>& known_top_levels() {
    if (!damage.windows_known) {
        damage.windows_known = true;
        return x11_top_levels();
    }
    return x11_known_top_levels();
}

// Composes rows top .. bottom - 1 of the capture of the rectangle at (x, y) into the canvas.
void compose_rows(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t top,
                  std::int32_t bottom) {
    const XRenderColor black{0, 0, 0, 0xFFFF};
    XRenderFillRectangle(x11.display, PictOpSrc, canvas_picture, &black, 0, top,
                         static_cast<unsigned>(width), static_cast<unsigned>(bottom - top));
    // Off the screen there is nothing to see, whatever a window's pixmap holds there.
    const Area visible{std::max(x, 0), std::max(y + top, 0), std::min(x + width, x11.width),
                       std::min(y + bottom, x11.height)};
    for (const TopLevel& window : known_top_levels()) {
        compose_window(window, visible, x, y);
    }
}

// Reads rows top .. bottom - 1 of the canvas back, pad bytes and all: a stretch out of the
// read-back clears them as it copies. A shared canvas is read where it lies (after the capture's
// one round trip, finish_reading).
bool read_rows(std::int32_t top, std::int32_t bottom) {
    return canvas_shared || x11_get_image_rows(readback, canvas, top, bottom - top);
}

// Waits until the server has composed everything asked into a shared canvas, when it is read.
void finish_reading(bool read_back) {
    if (read_back && canvas_shared) {
        XSync(x11.display, False);
    }
}

// Rows apart by no more than this are read in one request: a round trip costs more than reading
// a few rows more.
constexpr std::int32_t ROWS_READ_ACROSS = 16;

// Marks the capture's rows that damage reported as fresh, and forgets the damage.
void take_damaged_rows(std::int32_t y, std::int32_t height) {
    damage.fresh.assign(static_cast<std::size_t>(height), 0);
    if (!damage.any) {
        return;
    }
    const std::int32_t first = std::max(0, -y);
    const auto last = static_cast<std::int32_t>(std::min<std::int64_t>(
        height, static_cast<std::int64_t>(damage.rows.size()) - y));  // exclusive
    for (std::int32_t row = first; row < last; ++row) {
        damage.fresh[static_cast<std::size_t>(row)] =
            damage.rows[static_cast<std::size_t>(y + row)];
    }
    std::fill(damage.rows.begin(), damage.rows.end(), std::uint8_t{0});
    damage.any = false;
}

// Composes and reads back the fresh rows, each run of them (with the short gaps between them,
// which become fresh too) in one request.
bool read_fresh_rows(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                     bool read_back) {
    std::vector<std::uint8_t>& fresh = damage.fresh;
    for (std::int32_t top = 0; top < height; ++top) {
        if (fresh[static_cast<std::size_t>(top)] == 0) {
            continue;
        }
        std::int32_t bottom = top + 1;
        for (std::int32_t next = bottom; next < height && next - bottom <= ROWS_READ_ACROSS;
             ++next) {
            if (fresh[static_cast<std::size_t>(next)] != 0) {
                bottom = next + 1;
            }
        }
        std::fill(fresh.begin() + top, fresh.begin() + bottom, std::uint8_t{1});
        compose_rows(x, y, width, top, bottom);
        if (read_back && !read_rows(top, bottom)) {
            return false;
        }
        top = bottom;
    }
    return true;
}

}  // namespace

bool x11_start_capture() {
    // Before the overlay can cover anything: from here on every top-level window has its own
    // offscreen pixmap that a capture can read.
    XCompositeRedirectSubwindows(x11.display, x11.root, CompositeRedirectAutomatic);

    // The root's own background is not in any window's pixmap: a bottom-most window with a
    // ParentRelative background holds a copy of it. Redirected manually, the server never shows it,
    // and with an empty input shape nothing ever finds it at a point.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixmap = ParentRelative;
    x11.background_window =
        XCreateWindow(x11.display, x11.root, 0, 0, static_cast<unsigned>(x11.width),
                      static_cast<unsigned>(x11.height), 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect | CWBackPixmap, &attributes);
    XSync(x11.display, False);
    if (x11_take_error() != 0) {
        return false;
    }
    XCompositeRedirectWindow(x11.display, x11.background_window, CompositeRedirectManual);
    XSync(x11.display, False);
    // Only one client may redirect a window manually, and a compositing manager (or a Wayland
    // compositor's X window manager) already redirects every child of the root so. The windows
    // then have their pixmaps already, which the capture reads as it reads its own. The manager
    // would show the background window, though, over the wallpaper it paints itself (and weston
    // over everything): there is none then, and the capture is black where no window lies.
    const int refusal = x11_take_error();
    if (refusal != 0 && refusal != BadAccess) {
        return false;
    }
    if (refusal == BadAccess) {
        x11.beside_compositing_manager = true;
        XDestroyWindow(x11.display, x11.background_window);
        x11.background_window = 0;
    } else {
        XserverRegion empty = XFixesCreateRegion(x11.display, nullptr, 0);
        XFixesSetWindowShapeRegion(x11.display, x11.background_window, ShapeInput, 0, 0, empty);
        XFixesDestroyRegion(x11.display, empty);
        XMapWindow(x11.display, x11.background_window);
        XLowerWindow(x11.display, x11.background_window);
    }

    // Destroyed windows' pictures are dropped as their destruction is reported, and any change of
    // the windows' stacking, places or sizes makes the next capture whole.
    XSelectInput(x11.display, x11.root, SubstructureNotifyMask);
    int error_base = 0;
    damage.available = XDamageQueryExtension(x11.display, &damage.event_base, &error_base) != 0;
    if (damage.available) {
        int major = 0;
        int minor = 0;
        XDamageQueryVersion(x11.display, &major, &minor);
        damage.rows.assign(static_cast<std::size_t>(std::max(x11.height, 0)), 0);
    }
    // A compositing manager that comes or goes changes how the windows reach the screen.
    XFixesQueryExtension(x11.display, &damage.fixes_event_base, &error_base);
    const std::string manager = "_NET_WM_CM_S" + std::to_string(x11.screen);
    XFixesSelectSelectionInput(
        x11.display, x11.root, XInternAtom(x11.display, manager.c_str(), False),
        XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask |
            XFixesSelectionClientCloseNotifyMask);
    XSync(x11.display, False);
    return x11_take_error() == 0;
}

namespace {

bool readback_current = false;  // the read-back memory holds the canvas

// Composes the capture of the rectangle into the canvas, all of it or the rows that damage
// reported, and reads what it composed back when asked to.
bool capture(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
             bool read_back, const std::uint8_t** fresh) {
    *fresh = nullptr;
    const bool same = damage.available && !damage.whole && canvas != 0 && x == damage.x &&
                      y == damage.y && width == damage.width && height == damage.height &&
                      (readback_current || !read_back);
    if (width <= 0 || height <= 0 || !ensure_canvas(width, height)) {
        return false;
    }
    // Until this capture has been made whole, the next one makes everything again.
    damage.whole = true;
    if (same) {
        // Damage that the tick's questions have already brought in is taken now rather than a
        // tick later: the server reported it before it answered them.
        XEvent event;
        while (XCheckTypedEvent(x11.display, damage.event_base + XDamageNotify, &event)) {
            x11_capture_note(event);
        }
        take_damaged_rows(y, height);
        if (!read_fresh_rows(x, y, width, height, read_back)) {
            return false;
        }
        finish_reading(read_back);
        *fresh = damage.fresh.data();
    } else {
        // What was damaged before a whole capture is in it.
        std::fill(damage.rows.begin(), damage.rows.end(), std::uint8_t{0});
        damage.any = false;
        damage.windows_known = false;
        compose_rows(x, y, width, 0, height);
        if (read_back && !read_rows(0, height)) {
            return false;
        }
        finish_reading(read_back);
    }
    // A shared canvas is its own read-back.
    readback_current = read_back || canvas_shared;
    damage.whole = false;
    damage.x = x;
    damage.y = y;
    damage.width = width;
    damage.height = height;
    return true;
}

}  // namespace

Pixel* x11_capture(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                   std::ptrdiff_t* stride, const std::uint8_t** fresh) {
    if (!capture(x, y, width, height, true, fresh)) {
        return nullptr;
    }
    *stride = readback.stride();
    return readback.row(0);
}

XID x11_capture_in_server(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                          const std::uint8_t** fresh) {
    return capture(x, y, width, height, false, fresh) ? canvas_picture : 0;
}

void x11_capture_note(const XEvent& event) {
    if (damage.available && event.type == damage.event_base + XDamageNotify) {
        const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
        // The area lies in the window, whose own origin (inside its border) is on the screen at
        // the geometry's place; only rows the capture's columns cross matter.
        const int left = notify.geometry.x + notify.area.x;
        const int top = notify.geometry.y + notify.area.y;
        if (left >= damage.x + damage.width || left + notify.area.width <= damage.x) {
            return;
        }
        // The rows are those of the root as the capture last measured it: damage of a root grown
        // since lies beyond them until the change is followed (x11_capture_follow_root).
        const int first = std::max(top, 0);
        const int last = static_cast<int>(std::min<std::int64_t>(
            std::int64_t{top} + notify.area.height, static_cast<std::int64_t>(damage.rows.size())));
        for (int row = first; row < last; ++row) {
            damage.rows[static_cast<std::size_t>(row)] = 1;
        }
        damage.any = damage.any || first < last;
        return;
    }
    const Window window = x11_structure_window(event);
    if (event.type == DestroyNotify) {
        // The server freed the picture and the damage together with their window; freeing them
        // again would be an error.
        pictures.erase(window);
    }
    if (window == 0) {
        if (event.type == damage.fixes_event_base + XFixesSelectionNotify) {
            x11_capture_whole();
        }
        return;
    }
    // The overlay is never composed, and only this program draws the background window.
    if (window != x11.overlay && window != x11.background_window) {
        x11_capture_whole();
    }
}

void x11_capture_follow_root() {
    if (x11.background_window != 0) {
        // The capture's root background covers the whole root, whatever its new size.
        XResizeWindow(x11.display, x11.background_window, static_cast<unsigned>(x11.width),
                      static_cast<unsigned>(x11.height));
    }
    if (damage.available &&
        damage.rows.size() != static_cast<std::size_t>(std::max(x11.height, 0))) {
        damage.rows.assign(static_cast<std::size_t>(std::max(x11.height, 0)), 0);
        damage.any = false;
        x11_capture_whole();
    }
}

void x11_capture_whole() {
    damage.whole = true;
    damage.windows_known = false;
}

void x11_stop_capture() {
    for (const auto& entry : pictures) {
        XRenderFreePicture(x11.display, entry.second.picture);
        if (entry.second.damage != 0) {
            XDamageDestroy(x11.display, entry.second.damage);
        }
    }
    pictures.clear();
    // The canvas first: a shared one lies in the read-back's memory.
    if (canvas != 0) {
        XRenderFreePicture(x11.display, canvas_picture);
        XFreePixmap(x11.display, canvas);
        canvas = 0;
        canvas_picture = 0;
    }
    x11_destroy_image(readback);
}
