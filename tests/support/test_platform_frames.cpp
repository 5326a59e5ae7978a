// The recording test platform's frames: the tick's question, the enlargement surface, the frames
// presented (drawn into the overlay as a plain reference of what a frame shows), pointer images,
// threads and band workers, and the pictures as the tests see them.
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "support/frame_model.h"
#include "support/test_platform.h"

namespace {

// A pixel value that no drawing produces, returned for points outside the screen or the overlay.
constexpr Pixel OUTSIDE = 0xFFFFFFFFu;

std::string rect_text(const Rect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

// The words of a top-down block of `rows` rows of `width` pixels, `gap` words apart, with gap words
// before the first row and after the last.
std::size_t gapped_words(std::int32_t width, std::int32_t rows, std::int32_t gap) {
    return static_cast<std::size_t>(gap) +
           static_cast<std::size_t>(rows) * static_cast<std::size_t>(width + gap);
}

// A bottom-up surface over a gapped top-down block.
Surface bottom_up_over(std::vector<Pixel>& block, std::int32_t width, std::int32_t height,
                       std::int32_t gap) {
    Surface surface;
    surface.width = width;
    surface.height = height;
    surface.stride = -static_cast<std::ptrdiff_t>(width + gap);
    surface.pixels = block.data() + gap + static_cast<std::ptrdiff_t>(height - 1) * (width + gap);
    return surface;
}

}  // namespace

// --- The tick's question ---------------------------------------------------------------------

TargetLook TestPlatform::look(WindowHandle overlay_asked, WindowHandle target, Size capture) {
    record("look " + window_name(target) + (capture.width > 0 ? " with capture" : ""));
    if (overlay_asked != overlay) {
        fail("look: not the overlay");
    }
    TargetLook answer;
    const TestWindow* found = find_window(target);
    if (found == nullptr || !found->exists) {
        return answer;
    }
    answer.exists = true;
    answer.origin = Point{found->client.x, found->client.y};
    answer.pointer = pointer;
    if (capture.width > 0 && capture.height > 0) {
        // Rows top-down with gaps, read bottom-up, as a window system's image of the screen is.
        capture_.assign(gapped_words(capture.width, capture.height, GAP_WORDS), GAP_WORD);
        answer.capture = bottom_up_over(capture_, capture.width, capture.height, GAP_WORDS);
        for (std::int32_t y = 0; y < capture.height; ++y) {
            Pixel* row = answer.capture.row(capture.height - 1 - y);
            for (std::int32_t x = 0; x < capture.width; ++x) {
                row[x] = screen_pixel(answer.origin.x + x, answer.origin.y + y);
            }
        }
    }
    return answer;
}

// --- The enlargement surface and the frames --------------------------------------------------

Surface TestPlatform::make_enlargement(std::int32_t width, std::int32_t height) {
    record("enlargement_surface " + std::to_string(width) + " " + std::to_string(height));
    enlargement_.clear();
    enlargement_surface_ = Surface{};
    if (fail_enlargement || width <= 0 || height <= 0) {
        return enlargement_surface_;
    }
    enlargement_.assign(gapped_words(width, height, GAP_WORDS), GAP_WORD);
    enlargement_surface_ = bottom_up_over(enlargement_, width, height, GAP_WORDS);
    for (std::int32_t r = 0; r < height; ++r) {
        std::fill(enlargement_surface_.row(r), enlargement_surface_.row(r) + width, Pixel{0});
    }
    return enlargement_surface_;
}

std::string TestPlatform::guard_damage() const {
    const auto width = static_cast<std::size_t>(enlargement_surface_.width);
    const std::size_t row = width + GAP_WORDS;
    for (std::size_t i = 0; i < enlargement_.size(); ++i) {
        const bool gap = i < GAP_WORDS || (i - GAP_WORDS) % row >= width;
        if (gap && enlargement_[i] != GAP_WORD) {
            return "the word " + std::to_string(i) + " outside the enlargement's rows changed";
        }
    }
    return "";
}

void TestPlatform::present(const Frame& frame) {
    std::ostringstream entry;
    entry << "present mode " << frame.mode << " image " << rect_text(frame.image) << " bands "
          << frame.bands.count;
    if (frame.cursor != nullptr) {
        entry << " cursor " << frame.cursor_at.x << " " << frame.cursor_at.y;
    }
    record(entry.str());
    frames.push_back(frame);
    auto put = [this](std::int32_t x, std::int32_t y, Pixel p) {
        if (x >= 0 && y >= 0 && x < overlay_width_ && y < overlay_height_) {
            overlay_pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(overlay_width_) +
                            static_cast<std::size_t>(x)] = p;
        }
    };
    const Rect& image = frame.image;
    if (frame.mode == 1 && frame.enlargement.pixels != nullptr) {
        if (frame.enlargement.pixels != enlargement_surface_.pixels) {
            fail("present: the enlargement is not the platform's surface");
            return;
        }
        for (std::int32_t y = 0; y < frame.enlargement.height; ++y) {
            const Pixel* row = frame.enlargement.row(frame.enlargement.height - 1 - y);
            for (std::int32_t x = 0; x < frame.enlargement.width; ++x) {
                put(image.x + x, image.y + y, row[x]);
            }
        }
    } else if ((frame.mode == 0 || frame.mode == 2) && image.width > 0 && image.height > 0) {
        // A stretching copy that repeats source pixels: destination d takes source d * W / width.
        for (std::int32_t y = std::max(0, -image.y); y < image.height; ++y) {
            for (std::int32_t x = std::max(0, -image.x); x < image.width; ++x) {
                if (image.x + x >= overlay_width_) {
                    break;
                }
                const Pixel p =
                    screen_pixel(frame.source.x + stretch_index(x, image.width, frame.source.width),
                                 frame.source.y + stretch_index(y, image.height, frame.source.height));
                if (p != OUTSIDE) {
                    put(image.x + x, image.y + y, p);
                }
            }
            if (image.y + y >= overlay_height_) {
                break;
            }
        }
    }
    for (int i = 0; i < frame.bands.count; ++i) {
        const Rect& band = frame.bands.bands[static_cast<std::size_t>(i)];
        for (std::int32_t y = std::max(band.y, 0); y < std::min(band.y + band.height, overlay_height_);
             ++y) {
            for (std::int32_t x = std::max(band.x, 0);
                 x < std::min(band.x + band.width, overlay_width_); ++x) {
                put(x, y, 0);
            }
        }
    }
    if (frame.cursor != nullptr) {
        draw_cursor(frame.cursor, frame.cursor_at);
    }
}

void TestPlatform::draw_cursor(CursorImage image, Point at) {
    if (!is_cursor(image) || image->released) {
        fail("present: the cursor image is not a live image of this platform");
        return;
    }
    for (std::int32_t y = 0; y < image->height; ++y) {
        for (std::int32_t x = 0; x < image->width; ++x) {
            const Pixel p = image->pixels[static_cast<std::size_t>(y * image->width + x)];
            const std::int64_t ox = std::int64_t{at.x} + x;
            const std::int64_t oy = std::int64_t{at.y} + y;
            if (p != CURSOR_CLEAR && ox >= 0 && oy >= 0 && ox < overlay_width_ &&
                oy < overlay_height_) {
                overlay_pixels_[static_cast<std::size_t>(oy) *
                                    static_cast<std::size_t>(overlay_width_) +
                                static_cast<std::size_t>(ox)] = p;
            }
        }
    }
}

// --- Pointer images --------------------------------------------------------------------------

CursorImage TestPlatform::make_cursor_image(std::int32_t width, std::int32_t height, Pixel colour,
                                            std::int32_t hot_x, std::int32_t hot_y) {
    return make_cursor_image(width, height,
                             std::vector<Pixel>(static_cast<std::size_t>(width * height), colour),
                             hot_x, hot_y);
}

CursorImage TestPlatform::make_cursor_image(std::int32_t width, std::int32_t height,
                                            std::vector<Pixel> pixels, std::int32_t hot_x,
                                            std::int32_t hot_y) {
    auto image = std::make_unique<PlatformCursorImage>();
    image->label = "cursor" + std::to_string(cursors_.size());
    image->width = width;
    image->height = height;
    image->pixels = std::move(pixels);
    image->hot_x = hot_x;
    image->hot_y = hot_y;
    cursors_.push_back(std::move(image));
    return cursors_.back().get();
}

void TestPlatform::set_window_cursor(WindowHandle window, CursorImage image) {
    if (TestWindow* found = find_window(window)) {
        found->cursor = image;
    }
}

void TestPlatform::set_standard_arrow(std::int32_t width, std::int32_t height, Pixel colour,
                                      std::int32_t hot_x, std::int32_t hot_y) {
    arrow_ = make_cursor_image(width, height, colour, hot_x, hot_y);
    arrow_->label = "arrow";
}

int TestPlatform::live_cursor_copies() const {
    return static_cast<int>(std::count_if(cursors_.begin(), cursors_.end(), [](const auto& c) {
        return c->is_copy && !c->released;
    }));
}

int TestPlatform::copies_made() const {
    return static_cast<int>(std::count_if(cursors_.begin(), cursors_.end(),
                                          [](const auto& c) { return c->is_copy; }));
}

bool TestPlatform::is_cursor(const PlatformCursorImage* image) const {
    return std::any_of(cursors_.begin(), cursors_.end(),
                       [image](const auto& c) { return c.get() == image; });
}

PointerImage TestPlatform::copy_pointer_image() {
    const WindowHandle window = test_window_at(pointer);
    record("copy_pointer_image " + window_name(window));
    PointerImage copied;
    if (!window) {
        return copied;
    }
    copied.found = true;
    const CursorImage shown = find_window(window)->cursor;
    if (shown == nullptr || fail_copy_cursor) {
        return copied;
    }
    CursorImage copy = make_cursor_image(shown->width, shown->height, shown->pixels, shown->hot_x,
                                         shown->hot_y);
    copy->label = shown->label + "-copy";
    copy->is_copy = true;
    copied.image = copy;
    copied.hot_x = shown->hot_x;
    copied.hot_y = shown->hot_y;
    return copied;
}

// --- Threads ---------------------------------------------------------------------------------

ThreadHandle TestPlatform::start_thread(ThreadRoutine routine, void* argument) {
    if (thread_mode == ThreadMode::FailStart) {
        return nullptr;
    }
    threads_.push_back(std::make_unique<PlatformThread>());
    PlatformThread& thread = *threads_.back();
    thread.routine = routine;
    thread.argument = argument;
    if (thread_mode == ThreadMode::Immediate) {
        run_thread(thread);
    }
    return &thread;
}

void TestPlatform::run_thread(PlatformThread& thread) {
    on_grab_thread_ = true;
    thread.routine(thread.argument);
    on_grab_thread_ = false;
    thread.finished = true;
}

bool TestPlatform::run_pending_thread(std::size_t index) {
    if (index >= threads_.size() || threads_[index]->finished) {
        return false;
    }
    run_thread(*threads_[index]);
    return true;
}

int TestPlatform::pending_threads() const {
    return static_cast<int>(std::count_if(threads_.begin(), threads_.end(),
                                          [](const auto& t) { return !t->finished; }));
}

// --- Pictures --------------------------------------------------------------------------------

void TestPlatform::paint_screen(Rect area, const PixelAt& colour_at) {
    for (std::int32_t y = std::max(area.y, 0); y < std::min(area.y + area.height, screen_height_);
         ++y) {
        for (std::int32_t x = std::max(area.x, 0); x < std::min(area.x + area.width, screen_width_);
             ++x) {
            screen_[static_cast<std::size_t>(y) * static_cast<std::size_t>(screen_width_) +
                    static_cast<std::size_t>(x)] = colour_at(x - area.x, y - area.y);
        }
    }
}

void TestPlatform::paint_screen(Rect area, Pixel colour) {
    paint_screen(area, [colour](std::int32_t, std::int32_t) { return colour; });
}

Pixel TestPlatform::screen_pixel(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= screen_width_ || y >= screen_height_) {
        return OUTSIDE;
    }
    return screen_[static_cast<std::size_t>(y) * static_cast<std::size_t>(screen_width_) +
                   static_cast<std::size_t>(x)];
}

Pixel TestPlatform::overlay_pixel(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= overlay_width_ || y >= overlay_height_) {
        return OUTSIDE;
    }
    return overlay_pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(overlay_width_) +
                           static_cast<std::size_t>(x)];
}

std::string TestPlatform::diff_overlay(Rect region, const PixelAt& expected) const {
    return image_diff(
        region, [this](std::int32_t x, std::int32_t y) { return overlay_pixel(x, y); }, expected);
}

bool TestPlatform::save_overlay(const std::string& path) const {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    std::fprintf(file, "P6\n%d %d\n255\n", overlay_width_, overlay_height_);
    for (const Pixel p : overlay_pixels_) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16),
                                      static_cast<unsigned char>(p >> 8),
                                      static_cast<unsigned char>(p)};
        std::fwrite(rgb, 1, 3, file);
    }
    return std::fclose(file) == 0;
}

std::string image_diff(Rect region, const PixelAt& got, const PixelAt& expected) {
    std::int64_t differing = 0;
    std::ostringstream first;
    for (std::int32_t y = region.y; y < region.y + region.height; ++y) {
        for (std::int32_t x = region.x; x < region.x + region.width; ++x) {
            const Pixel have = got(x, y);
            const Pixel want = expected(x, y);
            if (have != want && differing++ == 0) {
                first << "first at (" << x << ", " << y << "): got 0x" << std::hex << have
                      << ", expected 0x" << want << std::dec;
            }
        }
    }
    if (differing == 0) {
        return "";
    }
    std::ostringstream text;
    text << differing << " of " << std::int64_t{region.width} * region.height
         << " pixels differ in (" << region.x << ", " << region.y << ", " << region.width << " x "
         << region.height << "); " << first.str();
    return text.str();
}

Pixel pattern_pixel(std::int32_t x, std::int32_t y, std::uint32_t salt) {
    // A small integer hash: neighbouring pixels differ, so a shifted or repeated pixel shows.
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x9E3779B1u ^
                      static_cast<std::uint32_t>(y) * 0x85EBCA77u ^ salt * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h & 0x00FFFFFFu;
}

// --- Seam: frames, pointer images, threads ---------------------------------------------------

Surface platform_enlargement_surface(WindowHandle, std::int32_t width, std::int32_t height) {
    return test_platform.make_enlargement(width, height);
}

void platform_present(WindowHandle overlay, const Frame& frame) {
    if (overlay != test_platform.overlay) {
        test_platform.fail("present: not the overlay");
    }
    test_platform.present(frame);
}

PointerImage platform_copy_pointer_image() { return test_platform.copy_pointer_image(); }

PointerImage platform_standard_arrow() {
    test_platform.record("standard_arrow");
    const CursorImage arrow = test_platform.standard_arrow();
    return PointerImage{true, arrow, arrow->hot_x, arrow->hot_y};
}

void platform_release_cursor(CursorImage image) {
    test_platform.record("release_cursor " + (image != nullptr ? image->label : "none"));
    if (image == nullptr) {
        return;
    }
    if (!test_platform.is_cursor(image) || !image->is_copy || image->released) {
        test_platform.fail("release_cursor: " + image->label + " is not a live private copy");
        return;
    }
    image->released = true;
}

ThreadHandle platform_start_thread(ThreadRoutine routine, void* argument) {
    test_platform.record("start_thread");
    return test_platform.start_thread(routine, argument);
}

bool platform_wait_thread(ThreadHandle thread, std::uint32_t timeout_ms) {
    test_platform.record("wait_thread " + std::to_string(timeout_ms));
    test_platform.wait_timeouts.push_back(timeout_ms);
    return thread != nullptr && thread->finished;
}

void platform_close_thread(ThreadHandle thread) {
    test_platform.record("close_thread");
    if (thread != nullptr) {
        thread->closed = true;
    }
}

std::int32_t platform_band_workers() { return test_platform.band_workers; }

void platform_run_bands(BandRoutine routine, void* argument, std::int32_t count) {
    test_platform.band_runs.push_back(count);
    for (std::int32_t band = 0; band < count; ++band) {
        routine(argument, band);
    }
}
