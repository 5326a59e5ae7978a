// The recording test platform's drawing: contexts over the screen, the overlay and guarded
// bottom-up bitmaps; copies, stretching copies, black fills and cursor drawing.
#include <algorithm>
#include <sstream>

#include "support/test_platform.h"

namespace {

// No bitmap larger than this is created; it stands for the allocation failure of a real system.
constexpr std::int64_t MAX_BITMAP_WORDS = std::int64_t{1} << 26;

// A drawing context's pixels: the context's (x, y) is the buffer's (origin_x + x, origin_y + y),
// valid inside both the context's extent and the buffer; bottom-up buffers store the top image
// row last.
struct Canvas {
    Pixel* data = nullptr;
    std::int32_t buffer_width = 0;
    std::int32_t buffer_height = 0;
    bool bottom_up = false;
    std::int32_t origin_x = 0;
    std::int32_t origin_y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool on_screen = false;

    Pixel* at(std::int64_t x, std::int64_t y) const {
        if (data == nullptr || x < 0 || y < 0 || x >= width || y >= height) {
            return nullptr;
        }
        const std::int64_t bx = origin_x + x;
        const std::int64_t by = origin_y + y;
        if (bx < 0 || by < 0 || bx >= buffer_width || by >= buffer_height) {
            return nullptr;
        }
        const std::int64_t row = bottom_up ? buffer_height - 1 - by : by;
        return data + (row * buffer_width + bx);
    }
};

// The log names of objects; a pointer this platform never handed out is not read.
std::string context_name(const PlatformDrawContext* context) {
    if (context == nullptr) {
        return "none";
    }
    return test_platform.is_context(context) ? context->label : std::string("unknown-context");
}

std::string bitmap_name(const PlatformBitmap* bitmap) {
    if (bitmap == nullptr) {
        return "none";
    }
    return test_platform.is_bitmap(bitmap) ? bitmap->label : std::string("unknown-bitmap");
}

std::string cursor_name(const PlatformCursorImage* image) {
    if (image == nullptr) {
        return "none";
    }
    return test_platform.is_cursor(image) ? image->label : std::string("unknown-cursor");
}

std::string numbers(std::initializer_list<std::int32_t> values) {
    std::string text;
    for (const std::int32_t value : values) {
        text += " " + std::to_string(value);
    }
    return text;
}

// Returns the pixels that `context` reaches, recording a misuse of the seam; the canvas is empty
// when there is nothing to reach.
Canvas canvas_of(DrawContext context, bool writing, const char* operation) {
    TestPlatform& tp = test_platform;
    Canvas canvas;
    if (context == nullptr) {
        return canvas;
    }
    if (!tp.is_context(context)) {
        tp.fail(std::string(operation) + ": not a context of this platform");
        return canvas;
    }
    if (context->released) {
        tp.fail(std::string(operation) + ": " + context->label + " was already given back");
        return canvas;
    }
    switch (context->kind) {
    case PlatformDrawContext::Kind::Memory: {
        PlatformBitmap* bitmap = context->bitmap;
        if (bitmap == nullptr) {
            return canvas;
        }
        if (bitmap->deleted) {
            tp.fail(std::string(operation) + ": " + bitmap->label + " was deleted");
            return canvas;
        }
        canvas.data = bitmap->pixels;
        canvas.buffer_width = canvas.width = bitmap->width;
        canvas.buffer_height = canvas.height = bitmap->height;
        canvas.bottom_up = true;
        return canvas;
    }
    case PlatformDrawContext::Kind::Screen:
        canvas.data = tp.screen_buffer().data();
        canvas.buffer_width = canvas.width = tp.screen_width();
        canvas.buffer_height = canvas.height = tp.screen_height();
        canvas.on_screen = true;
        break;
    case PlatformDrawContext::Kind::Window: {
        const TestWindow* window = tp.find_window(context->window);
        if (window == nullptr || !window->exists) {
            return canvas;
        }
        if (window->is_overlay) {
            canvas.data = tp.overlay_buffer().data();
            canvas.buffer_width = canvas.width = tp.overlay_width();
            canvas.buffer_height = canvas.height = tp.overlay_height();
            return canvas;
        }
        // Another program's window: its client area as the screen shows it.
        canvas.data = tp.screen_buffer().data();
        canvas.buffer_width = tp.screen_width();
        canvas.buffer_height = tp.screen_height();
        canvas.origin_x = window->client.x;
        canvas.origin_y = window->client.y;
        canvas.width = window->client.width;
        canvas.height = window->client.height;
        canvas.on_screen = true;
        break;
    }
    }
    if (writing) {
        // The system only ever draws into its overlay and its own surfaces.
        tp.fail(std::string(operation) + ": draws on the screen through " + context->label);
    }
    return canvas;
}

// Copies `from` of the source into `to` of the destination: destination offset d takes source
// offset d * source size / destination size, so whole factors repeat each pixel exactly; both
// sides are clipped to their contexts.
void transfer(const Canvas& destination, Rect to, Canvas source, Rect from) {
    if (to.width <= 0 || to.height <= 0 || from.width <= 0 || from.height <= 0 ||
        destination.data == nullptr || source.data == nullptr) {
        return;
    }
    std::vector<Pixel> snapshot;
    if (source.data == destination.data) {
        // Overlapping copies read the pixels as they were before the copy began.
        const auto words = static_cast<std::size_t>(source.buffer_width) *
                           static_cast<std::size_t>(source.buffer_height);
        snapshot.assign(source.data, source.data + words);
        source.data = snapshot.data();
    }
    const std::int64_t first_x = std::max<std::int64_t>(0, -std::int64_t{to.x});
    const std::int64_t end_x =
        std::min<std::int64_t>(to.width, std::int64_t{destination.width} - to.x);
    const std::int64_t first_y = std::max<std::int64_t>(0, -std::int64_t{to.y});
    const std::int64_t end_y =
        std::min<std::int64_t>(to.height, std::int64_t{destination.height} - to.y);
    for (std::int64_t dy = first_y; dy < end_y; ++dy) {
        const std::int64_t sy = from.y + dy * from.height / to.height;
        for (std::int64_t dx = first_x; dx < end_x; ++dx) {
            const std::int64_t sx = from.x + dx * from.width / to.width;
            const Pixel* read = source.at(sx, sy);
            Pixel* write = destination.at(to.x + dx, to.y + dy);
            if (read != nullptr && write != nullptr) {
                *write = *read;
            }
        }
    }
}

}  // namespace

// --- Objects ---------------------------------------------------------------------------------

DrawContext TestPlatform::new_context(PlatformDrawContext::Kind kind, WindowHandle window) {
    auto context = std::make_unique<PlatformDrawContext>();
    context->kind = kind;
    context->window = window;
    if (kind == PlatformDrawContext::Kind::Memory) {
        context->label = "memory" + std::to_string(++memory_contexts_made_);
    } else if (kind == PlatformDrawContext::Kind::Screen) {
        context->label = "screen";
    } else {
        context->label = window_name(window);
    }
    known_contexts_.insert(context.get());
    if (kind == PlatformDrawContext::Kind::Memory) {
        memory_contexts_.push_back(context.get());
    }
    contexts_.push_back(std::move(context));
    return contexts_.back().get();
}

PlatformBitmap* TestPlatform::new_bitmap(std::int32_t width, std::int32_t height,
                                         bool from_cursor_info) {
    auto bitmap = std::make_unique<PlatformBitmap>();
    bitmap->label = "bitmap" + std::to_string(bitmaps_.size() + 1);
    bitmap->width = width;
    bitmap->height = height;
    bitmap->from_cursor_info = from_cursor_info;
    const auto words = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    bitmap->storage = guarded_words(words, FRESH_BITMAP_WORD);
    bitmap->pixels = words == 0 ? nullptr : bitmap->storage.data() + GUARD_WORDS;
    known_bitmaps_.insert(bitmap.get());
    bitmaps_.push_back(std::move(bitmap));
    return bitmaps_.back().get();
}

bool TestPlatform::is_bitmap(const PlatformBitmap* bitmap) const {
    return known_bitmaps_.count(bitmap) != 0;
}

const PlatformDrawContext* TestPlatform::holder_of(const PlatformBitmap* bitmap) const {
    for (const PlatformDrawContext* context : memory_contexts_) {
        if (context->bitmap == bitmap) {
            return context;
        }
    }
    return nullptr;
}

bool TestPlatform::is_context(const PlatformDrawContext* context) const {
    return known_contexts_.count(context) != 0;
}

std::vector<PlatformBitmap*> TestPlatform::bitmaps() const {
    std::vector<PlatformBitmap*> all;
    for (const auto& bitmap : bitmaps_) {
        all.push_back(bitmap.get());
    }
    return all;
}

std::string TestPlatform::guard_damage() const {
    for (const auto& bitmap : bitmaps_) {
        const GuardDamage damage = ::guard_damage(bitmap->storage);
        if (damage.distance != 0) {
            std::ostringstream text;
            text << bitmap->label << " (" << bitmap->width << " x " << bitmap->height << "): word "
                 << damage.distance << (damage.before ? " before" : " after")
                 << " the pixels was overwritten with 0x" << std::hex << damage.value;
            return text.str();
        }
    }
    return "";
}

int TestPlatform::outstanding_contexts() const {
    return static_cast<int>(std::count_if(contexts_.begin(), contexts_.end(), [](const auto& c) {
        return c->kind != PlatformDrawContext::Kind::Memory && !c->released;
    }));
}

int TestPlatform::live_info_bitmaps() const {
    return static_cast<int>(std::count_if(bitmaps_.begin(), bitmaps_.end(), [](const auto& b) {
        return b->from_cursor_info && !b->deleted;
    }));
}

// --- Seam: drawing ---------------------------------------------------------------------------

DrawContext platform_get_context(WindowHandle window) {
    TestPlatform& tp = test_platform;
    tp.record("get_context " + (window ? tp.window_name(window) : std::string("screen")));
    if (!window) {
        return tp.new_context(PlatformDrawContext::Kind::Screen, window);
    }
    const TestWindow* found = tp.find_window(window);
    if (found == nullptr || !found->exists) {
        return nullptr;
    }
    return tp.new_context(PlatformDrawContext::Kind::Window, window);
}

void platform_release_context(WindowHandle window, DrawContext context) {
    TestPlatform& tp = test_platform;
    tp.record("release_context " + (window ? tp.window_name(window) : std::string("screen")));
    if (context == nullptr) {
        return;
    }
    if (!tp.is_context(context) || context->kind == PlatformDrawContext::Kind::Memory) {
        tp.fail("release_context: " + context_name(context) + " was not taken by get_context");
        return;
    }
    if (context->released) {
        tp.fail("release_context: " + context->label + " given back twice");
        return;
    }
    if (context->window != window) {
        tp.fail("release_context: " + context->label + " given back with window " +
                tp.window_name(window));
    }
    context->released = true;
}

void platform_stretch_copy(DrawContext destination, Rect to, DrawContext source, Rect from) {
    test_platform.record("stretch_copy " + context_name(destination) +
                         numbers({to.x, to.y, to.width, to.height}) + " <- " +
                         context_name(source) + numbers({from.x, from.y, from.width, from.height}));
    const Canvas write = canvas_of(destination, true, "stretch_copy");
    const Canvas read = canvas_of(source, false, "stretch_copy");
    transfer(write, to, read, from);
}

void platform_copy(DrawContext destination, Point to, DrawContext source, Point from,
                   std::int32_t width, std::int32_t height) {
    test_platform.record("copy " + context_name(destination) + numbers({to.x, to.y}) + " <- " +
                         context_name(source) + numbers({from.x, from.y, width, height}));
    const Canvas write = canvas_of(destination, true, "copy");
    const Canvas read = canvas_of(source, false, "copy");
    transfer(write, Rect{to.x, to.y, width, height}, read, Rect{from.x, from.y, width, height});
}

void platform_fill_black(DrawContext destination, Rect area) {
    test_platform.record("fill_black " + context_name(destination) +
                         numbers({area.x, area.y, area.width, area.height}));
    const Canvas write = canvas_of(destination, true, "fill_black");
    // A rectangle of negative size paints nothing here (Wine would paint leftwards or upwards).
    for (std::int64_t y = 0; y < area.height; ++y) {
        for (std::int64_t x = 0; x < area.width; ++x) {
            if (Pixel* pixel = write.at(area.x + x, area.y + y)) {
                *pixel = 0u;
            }
        }
    }
}

void platform_draw_cursor(DrawContext destination, Point at, CursorImage image) {
    TestPlatform& tp = test_platform;
    tp.record("draw_cursor " + context_name(destination) + numbers({at.x, at.y}) + " " +
              cursor_name(image));
    if (image == nullptr) {
        return;
    }
    if (!tp.is_cursor(image)) {
        tp.fail("draw_cursor: not a cursor image of this platform");
        return;
    }
    if (image->released) {
        tp.fail("draw_cursor: " + image->label + " was already released");
        return;
    }
    const Canvas write = canvas_of(destination, true, "draw_cursor");
    for (std::int32_t y = 0; y < image->height; ++y) {
        for (std::int32_t x = 0; x < image->width; ++x) {
            const Pixel colour = image->pixels[static_cast<std::size_t>(y * image->width + x)];
            Pixel* pixel = write.at(std::int64_t{at.x} + x, std::int64_t{at.y} + y);
            if (colour != CURSOR_CLEAR && pixel != nullptr) {
                *pixel = colour;
            }
        }
    }
}

BitmapHandle platform_create_bitmap(DrawContext reference, std::int32_t width, std::int32_t height,
                                    Pixel** pixels) {
    TestPlatform& tp = test_platform;
    tp.record("create_bitmap " + std::to_string(width) + " " + std::to_string(height));
    if (reference != nullptr && !tp.is_context(reference)) {
        tp.fail("create_bitmap: the reference is not a context of this platform");
    }
    if (pixels == nullptr) {
        tp.fail("create_bitmap: no place for the pixel pointer");
        return nullptr;
    }
    *pixels = nullptr;
    if (tp.fail_create_bitmap || width <= 0 || height <= 0 ||
        std::int64_t{width} * height > MAX_BITMAP_WORDS) {
        return nullptr;
    }
    PlatformBitmap* bitmap = tp.new_bitmap(width, height, false);
    *pixels = bitmap->pixels;
    return bitmap;
}

DrawContext platform_create_memory_context(DrawContext reference) {
    TestPlatform& tp = test_platform;
    tp.record("create_memory_context " + context_name(reference));
    if (reference != nullptr && !tp.is_context(reference)) {
        tp.fail("create_memory_context: the reference is not a context of this platform");
    }
    if (tp.fail_memory_context) {
        return nullptr;
    }
    return tp.new_context(PlatformDrawContext::Kind::Memory, WindowHandle{});
}

void platform_delete_memory_context(DrawContext context) {
    TestPlatform& tp = test_platform;
    tp.record("delete_memory_context " + context_name(context));
    if (context == nullptr) {
        return;
    }
    if (!tp.is_context(context) || context->kind != PlatformDrawContext::Kind::Memory ||
        context->released) {
        tp.fail("delete_memory_context: " + context_name(context) + " is not a live memory context");
        return;
    }
    // Its bitmap is no longer selected anywhere, and may be deleted.
    context->bitmap = nullptr;
    context->released = true;
}

void platform_select_bitmap(DrawContext context, BitmapHandle bitmap) {
    TestPlatform& tp = test_platform;
    tp.record("select_bitmap " + context_name(context) + " " + bitmap_name(bitmap));
    if (context == nullptr || bitmap == nullptr) {
        return;
    }
    if (!tp.is_context(context) || context->kind != PlatformDrawContext::Kind::Memory) {
        tp.fail("select_bitmap: " + context_name(context) + " is not a memory context");
        return;
    }
    if (!tp.is_bitmap(bitmap) || bitmap->deleted || bitmap->from_cursor_info) {
        tp.fail("select_bitmap: " + bitmap_name(bitmap) + " is not a live surface bitmap");
        return;
    }
    const PlatformDrawContext* holder = tp.holder_of(bitmap);
    if (holder != nullptr && holder != context) {
        // A bitmap can be selected into one memory context at a time.
        tp.fail("select_bitmap: " + bitmap->label + " is already selected into " + holder->label);
        return;
    }
    context->bitmap = bitmap;
}

void platform_note_written(DrawContext context, std::int32_t first, std::int32_t count) {
    TestPlatform& tp = test_platform;
    tp.record("note_written " + context_name(context) + " " + std::to_string(first) + " " +
              std::to_string(count));
    if (!tp.is_context(context) || context->kind != PlatformDrawContext::Kind::Memory ||
        context->bitmap == nullptr) {
        tp.fail("note_written: " + context_name(context) + " holds no surface bitmap");
        return;
    }
    if (first < 0 || count < 0 || first + count > context->bitmap->height) {
        tp.fail("note_written: rows " + std::to_string(first) + " + " + std::to_string(count) +
                " lie outside " + context->bitmap->label);
    }
}

void platform_delete_bitmap(BitmapHandle bitmap) {
    TestPlatform& tp = test_platform;
    tp.record("delete_bitmap " + bitmap_name(bitmap));
    if (bitmap == nullptr) {
        return;
    }
    if (!tp.is_bitmap(bitmap)) {
        tp.fail("delete_bitmap: not a bitmap of this platform");
        return;
    }
    if (bitmap->deleted) {
        tp.fail("delete_bitmap: " + bitmap->label + " deleted twice");
        return;
    }
    if (const PlatformDrawContext* holder = tp.holder_of(bitmap)) {
        // The window system refuses to delete a bitmap that a context still holds.
        tp.fail("delete_bitmap: " + bitmap->label + " is still selected into " + holder->label);
        return;
    }
    bitmap->deleted = true;
}
