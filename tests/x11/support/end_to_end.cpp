// The end-to-end fixture: targets, runs, and the expected frames computed from the capture.
#include "x11/support/end_to_end.h"

#include <algorithm>
#include <thread>

#include "x11/support/pattern.h"

void TestTarget::command(const std::string& line) {
    process.write_line(line);
    const std::optional<std::string> done = process.read_line_starting("done " + line, START_MS);
    ASSERT_TRUE(done.has_value()) << "the target did not do: " << line;
}

namespace {

std::uint32_t channel(std::uint32_t p, int shift) { return (p >> shift) & 0xFFu; }

void paint_frame_bands(Frame& frame, int offset_x, int offset_y) {
    paint_bands(frame.width, frame.height, offset_x, offset_y,
                [&](int x, int y) { frame.set(x, y, 0); });
}

}  // namespace

Frame stretched_frame(const CaptureSource& source, int W, int H, Placement image, int offset_x,
                      int offset_y, std::uint32_t rest) {
    Frame frame(SCREEN_WIDTH, SCREEN_HEIGHT, rest);
    for (int dy = 0; dy < image.height; ++dy) {
        const int y = image.y + dy;
        if (y < 0 || y >= SCREEN_HEIGHT) {
            continue;
        }
        for (int dx = 0; dx < image.width; ++dx) {
            const int x = image.x + dx;
            if (x >= 0 && x < SCREEN_WIDTH) {
                frame.set(
                    x, y,
                    source(stretch_index(dx, image.width, W), stretch_index(dy, image.height, H)));
            }
        }
    }
    paint_frame_bands(frame, offset_x, offset_y);
    return frame;
}

Frame blended_frame(const CaptureSource& source, int W, int H, int k, int offset_x, int offset_y,
                    PairModel pair, QuadModel quad) {
    Frame frame(SCREEN_WIDTH, SCREEN_HEIGHT, 0);
    const int width = W / 2 * k;
    const int height = H / 2 * k;
    for (int y = std::max(offset_y, 0); y < std::min(offset_y + height, SCREEN_HEIGHT); ++y) {
        for (int x = std::max(offset_x, 0); x < std::min(offset_x + width, SCREEN_WIDTH); ++x) {
            frame.set(x, y, blended_pixel(source, k, x - offset_x, y - offset_y, pair, quad));
        }
    }
    paint_frame_bands(frame, offset_x, offset_y);
    return frame;
}

void draw_over(Frame& frame, int x, int y, int width, int height,
               const std::function<std::uint32_t(int, int)>& argb) {
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const int fx = x + column;
            const int fy = y + row;
            const std::uint32_t pixel = argb(column, row);
            const std::uint32_t alpha = pixel >> 24;
            if (fx < 0 || fy < 0 || fx >= frame.width || fy >= frame.height ||
                (alpha == 0 && (pixel & 0xFFFFFFu) == 0)) {
                continue;
            }
            const std::uint32_t under = frame.at(fx, fy);
            std::uint32_t out = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                const std::uint32_t value =
                    channel(pixel, shift) + (channel(under, shift) * (255 - alpha) + 127) / 255;
                out |= std::min<std::uint32_t>(value, 255) << shift;
            }
            frame.set(fx, fy, out);
        }
    }
}

void EndToEnd::SetUp() { ASSERT_TRUE(session.start()) << session.failure(); }

std::unique_ptr<TestTarget> EndToEnd::start_target(int width, int height, int x, int y, int variant,
                                                   const std::string& name) {
    auto target = std::make_unique<TestTarget>();
    const std::string geometry = std::to_string(width) + "x" + std::to_string(height) + "+" +
                                 std::to_string(x) + "+" + std::to_string(y);
    EXPECT_TRUE(target->process.start({ZRV5_TEST_TARGET, "--geometry", geometry, "--variant",
                                       std::to_string(variant), "--name", name},
                                      {"DISPLAY=" + session.name()}));
    const std::optional<std::string> ready = target->process.read_line_starting("ready ", START_MS);
    EXPECT_TRUE(ready.has_value()) << "the target did not start: " << target->process.stderr_text();
    if (ready) {
        target->window = std::stoul(ready->substr(6));
    }
    target->width = width;
    target->height = height;
    return target;
}

std::unique_ptr<Zrv5Run> EndToEnd::start_zrv5(const Zrv5Setup& setup) {
    auto run = std::make_unique<Zrv5Run>(setup);
    EXPECT_TRUE(run->start(session));
    EXPECT_TRUE(session.wait_for_pick_ready(START_MS))
        << "zrv5 did not take the pointer grab; its errors: " << run->process().stderr_text();
    return run;
}

std::unique_ptr<Zrv5Run> EndToEnd::start_and_pick(int x, int y, const Zrv5Setup& setup) {
    std::unique_ptr<Zrv5Run> run = start_zrv5(setup);
    session.click(x, y);
    return run;
}

CaptureSource EndToEnd::screen_source(const Frame& screen, int x, int y) {
    return [screen, x, y](int cx, int cy) {
        const int sx = x + cx;
        const int sy = y + cy;
        if (sx < 0 || sy < 0 || sx >= screen.width || sy >= screen.height) {
            return std::uint32_t{0};  // off the screen the capture reads black
        }
        return screen.at(sx, sy);
    };
}

CaptureSource EndToEnd::target_source(int variant) {
    return [variant](int x, int y) { return target_pixel(variant, x, y); };
}

std::string EndToEnd::test_name() const {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

void EndToEnd::expect_screen(const Frame& expected, const std::string& what, int timeout_ms) {
    const std::string difference =
        session.wait_for_screen(expected, timeout_ms, test_name() + "-" + what);
    EXPECT_EQ(difference, "") << what;
}

void EndToEnd::expect_screen_stays(const Frame& expected, const std::string& what, int reads,
                                   int interval_ms) {
    for (int i = 0; i < reads; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(interval_ms));
        const std::string difference =
            session.wait_for_screen(expected, 0, test_name() + "-" + what);
        ASSERT_EQ(difference, "") << what << ", read " << i;
    }
}
