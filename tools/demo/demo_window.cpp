// The demo's sample window: a small landscape with a house, a sun, a colour bar, a checkerboard
// and a caption, drawn for whatever size it is given, so the magnified frames are easy to judge.
//   zrv5_demo_window --geometry WxH+X+Y
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using Pixel = std::uint32_t;

Pixel rgb(int r, int g, int b) {
    return static_cast<Pixel>((r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF));
}

Pixel mix(Pixel a, Pixel b, double t) {
    auto channel = [&](int shift) {
        const double ca = (a >> shift) & 0xFF;
        const double cb = (b >> shift) & 0xFF;
        return static_cast<int>(ca + (cb - ca) * t);
    };
    return rgb(channel(16), channel(8), channel(0));
}

// Paints the scene into pixels of width x height; coordinates are fractions of the size.
void paint(std::vector<Pixel>& pixels, int width, int height) {
    const Pixel sky_top = rgb(40, 90, 200);
    const Pixel sky_low = rgb(170, 215, 255);
    for (int y = 0; y < height; ++y) {
        const double fy = static_cast<double>(y) / height;
        for (int x = 0; x < width; ++x) {
            const double fx = static_cast<double>(x) / width;
            Pixel p = mix(sky_top, sky_low, fy / 0.6);
            const double hill = 0.62 + 0.06 * std::sin(fx * 7.0) + 0.03 * std::sin(fx * 23.0);
            if (fy > hill) {
                p = mix(rgb(60, 160, 60), rgb(20, 90, 30), (fy - hill) / (1.0 - hill));
            }
            const double sun = std::hypot(fx - 0.82, (fy - 0.18) * height / width);
            if (sun < 0.07) {
                p = rgb(255, 215, 40);
            }
            // The house: walls, roof, door and window.
            if (fx > 0.2 && fx < 0.42 && fy > 0.48 && fy < 0.78) {
                p = rgb(235, 225, 200);
                if (fx > 0.29 && fx < 0.33 && fy > 0.62) {
                    p = rgb(120, 70, 30);
                }
                if (fx > 0.23 && fx < 0.27 && fy > 0.55 && fy < 0.62) {
                    p = (x + y) % 2 == 0 ? rgb(80, 160, 230) : rgb(255, 255, 255);
                }
            }
            const double roof = 0.48 - (0.11 - std::fabs(fx - 0.31));
            if (fx > 0.18 && fx < 0.44 && fy <= 0.48 && fy > roof + 0.02) {
                p = rgb(180, 40, 40);
            }
            // A colour bar and a one-pixel checkerboard along the bottom.
            if (fy > 0.86 && fy < 0.92) {
                const int band = static_cast<int>(fx * 8);
                const Pixel bars[8] = {rgb(255, 255, 255), rgb(255, 255, 0), rgb(0, 255, 255),
                                       rgb(0, 255, 0),     rgb(255, 0, 255), rgb(255, 0, 0),
                                       rgb(0, 0, 255),     rgb(0, 0, 0)};
                p = bars[band];
            }
            if (fy >= 0.93 && fy < 0.98) {
                p = (x + y) % 2 == 0 ? rgb(0, 0, 0) : rgb(255, 255, 255);
            }
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                   static_cast<std::size_t>(x)] = p;
        }
    }
}

void draw(Display* display, Window window, GC gc, XFontStruct* font, int width, int height) {
    std::vector<Pixel> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    paint(pixels, width, height);
    XImage* image =
        XCreateImage(display, DefaultVisual(display, DefaultScreen(display)), 24, ZPixmap, 0,
                     reinterpret_cast<char*>(pixels.data()), static_cast<unsigned>(width),
                     static_cast<unsigned>(height), 32, width * 4);
    XPutImage(display, window, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    image->data = nullptr;
    XDestroyImage(image);
    static const char caption[] = "zrv5 demo - magnified pixels";
    XSetForeground(display, gc, 0xFFFFFF);
    const int length = static_cast<int>(std::strlen(caption));
    const int ascent = font != nullptr ? font->ascent : 10;
    XDrawString(display, window, gc, 12, 12 + ascent, caption, length);
    XFlush(display);
}

}  // namespace

int main(int argc, char** argv) {
    int width = 640;
    int height = 480;
    int x = 100;
    int y = 100;
    if (argc == 3 && std::strcmp(argv[1], "--geometry") == 0) {
        std::sscanf(argv[2], "%dx%d+%d+%d", &width, &height, &x, &y);
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "demo window: no display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.event_mask = ExposureMask | StructureNotifyMask;
    const Window window =
        XCreateWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, 24, InputOutput,
                      DefaultVisual(display, screen), CWBackPixel | CWEventMask, &attributes);
    XStoreName(display, window, "zrv5 demo");
    Atom close_message = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &close_message, 1);
    GC gc = XCreateGC(display, window, 0, nullptr);
    XFontStruct* font = XLoadQueryFont(display, "9x15bold");
    if (font == nullptr) {
        font = XLoadQueryFont(display, "fixed");
    }
    if (font != nullptr) {
        XSetFont(display, gc, font->fid);
    }
    XMapWindow(display, window);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == Expose && event.xexpose.count == 0) {
            draw(display, window, gc, font, width, height);
        } else if (event.type == ConfigureNotify) {
            width = event.xconfigure.width;
            height = event.xconfigure.height;
        } else if (event.type == ClientMessage &&
                   static_cast<Atom>(event.xclient.data.l[0]) == close_message) {
            break;
        }
    }
    XCloseDisplay(display);
    return 0;
}
