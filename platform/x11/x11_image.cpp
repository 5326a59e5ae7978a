// Client-side 32-bit images on the GUI thread's connection: in shared memory (MIT-SHM) when the
// server can attach it, else in ordinary memory sent with each request.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <cstdlib>
#include <cstring>

#include <sys/ipc.h>
#include <sys/shm.h>

#include "platform/x11/x11_platform.h"

namespace {

bool create_shared(X11Image& out, std::int32_t width, std::int32_t height) {
    XImage* image =
        XShmCreateImage(x11.display, x11.visual, static_cast<unsigned>(x11.depth), ZPixmap, nullptr,
                        &out.segment, static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (image == nullptr) {
        return false;
    }
    const auto bytes =
        static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height);
    out.segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (out.segment.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    void* memory = shmat(out.segment.shmid, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) {
        shmctl(out.segment.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        return false;
    }
    out.segment.shmaddr = image->data = static_cast<char*>(memory);
    out.segment.readOnly = False;
    x11_take_error();
    XShmAttach(x11.display, &out.segment);
    XSync(x11.display, False);
    // Marked for removal at once: the segment then goes away with the last detach, also when the
    // process is killed.
    shmctl(out.segment.shmid, IPC_RMID, nullptr);
    if (x11_take_error() != 0) {  // a server on another machine cannot attach our memory
        shmdt(out.segment.shmaddr);
        image->data = nullptr;
        XDestroyImage(image);
        return false;
    }
    out.image = image;
    out.shared = true;
    return true;
}

bool create_plain(X11Image& out, std::int32_t width, std::int32_t height) {
    const std::size_t bytes =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    char* data = static_cast<char*>(std::calloc(bytes == 0 ? 1 : bytes, 1));
    if (data == nullptr) {
        return false;
    }
    out.image =
        XCreateImage(x11.display, x11.visual, static_cast<unsigned>(x11.depth), ZPixmap, 0, data,
                     static_cast<unsigned>(width), static_cast<unsigned>(height), 32, width * 4);
    if (out.image == nullptr) {
        std::free(data);
        return false;
    }
    out.shared = false;
    return true;
}

}  // namespace

bool x11_create_image(X11Image& image, std::int32_t width, std::int32_t height) {
    x11_destroy_image(image);
    if (width <= 0 || height <= 0) {
        return false;
    }
    if (!(x11.shm && create_shared(image, width, height)) && !create_plain(image, width, height)) {
        return false;
    }
    image.width = width;
    image.height = height;
    std::memset(
        image.image->data, 0,
        static_cast<std::size_t>(image.image->bytes_per_line) * static_cast<std::size_t>(height));
    return true;
}

void x11_destroy_image(X11Image& image) {
    if (image.image == nullptr) {
        return;
    }
    if (image.shared) {
        XShmDetach(x11.display, &image.segment);
        XSync(x11.display, False);
        shmdt(image.segment.shmaddr);
        image.image->data = nullptr;
    }
    XDestroyImage(image.image);  // frees the plain image's memory too
    image = X11Image{};
}

bool x11_put_image(X11Image& image, Drawable drawable, GC gc, std::int32_t x, std::int32_t y,
                   std::int32_t to_x, std::int32_t to_y, std::int32_t width, std::int32_t height,
                   bool announce) {
    if (image.image == nullptr || width <= 0 || height <= 0) {
        return false;
    }
    const auto w = static_cast<unsigned>(width);
    const auto h = static_cast<unsigned>(height);
    if (image.shared) {
        XShmPutImage(x11.display, drawable, gc, image.image, x, y, to_x, to_y, w, h,
                     announce ? True : False);
        return announce;
    }
    XPutImage(x11.display, drawable, gc, image.image, x, y, to_x, to_y, w, h);
    return false;
}

bool x11_get_image_rows(X11Image& image, Drawable drawable, std::int32_t top, std::int32_t rows) {
    if (image.image == nullptr || top < 0 || rows <= 0 || top + rows > image.height) {
        return false;
    }
    if (image.shared) {
        // The request reads into the segment at the image's data offset, for the image's height:
        // a header over just these rows reads them into their place.
        XImage part = *image.image;
        part.data = image.image->data + static_cast<std::ptrdiff_t>(top) * part.bytes_per_line;
        part.height = rows;
        return XShmGetImage(x11.display, drawable, &part, 0, top, AllPlanes) != 0;
    }
    return XGetSubImage(x11.display, drawable, 0, top, static_cast<unsigned>(image.width),
                        static_cast<unsigned>(rows), AllPlanes, ZPixmap, image.image, 0,
                        top) != nullptr;
}
