// The end-to-end fixture: targets, runs, and the expected frames computed from the capture.
#include "x11/support/end_to_end.h"

#include <thread>

#include "x11/support/pattern.h"

void TestTarget::command(const std::string& line) {
    process.write_line(line);
    const std::optional<std::string> done = process.read_line_starting("done " + line, START_MS);
    ASSERT_TRUE(done.has_value()) << "the target did not do: " << line;
}

namespace {

void paint_bands(Frame& frame, int offset_x, int offset_y) {
    auto fill = [&](int x, int y, int width, int height) {
        if (width <= 0 || height <= 0) {
            return;  // a band of negative size is left out
        }
        for (int row = std::max(y, 0); row < std::min(y + height, frame.height); ++row) {
            for (int column = std::max(x, 0); column < std::min(x + width, frame.width); ++column) {
                frame.set(column, row, 0);
            }
        }
    };
    if (offset_x != 0) {
        fill(0, 0, offset_x, frame.height);
        fill(frame.width - offset_x, 0, offset_x, frame.height);
    }
    if (offset_y != 0) {
        fill(0, 0, frame.width, offset_y);
        fill(0, frame.height - offset_y, frame.width, offset_y);
    }
}

std::uint32_t channel(std::uint32_t p, int shift) { return (p >> shift) & 0xFFu; }

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
                frame.set(x, y,
                          source(static_cast<int>(static_cast<long long>(dx) * W / image.width),
                                 static_cast<int>(static_cast<long long>(dy) * H / image.height)));
            }
        }
    }
    paint_bands(frame, offset_x, offset_y);
    return frame;
}

Frame blended_frame(const CaptureSource& source, int W, int H, int k, int offset_x, int offset_y,
                    PairKernel pair, QuadKernel quad) {
    Frame frame(SCREEN_WIDTH, SCREEN_HEIGHT, 0);
    // Blocks of 2 x 2 screen rows and columns; the block tables read the same top-down, and these
    // kernels do not depend on the order of their arguments.
    for (int sy = 0; sy < H; sy += 2) {
        for (int sx = 0; sx < W; sx += 2) {
            const std::uint32_t tl = source(sx, sy);
            const std::uint32_t tr = source(sx + 1, sy);
            const std::uint32_t bl = source(sx, sy + 1);
            const std::uint32_t br = source(sx + 1, sy + 1);
            const std::uint32_t block3[3][3] = {
                {tl, pair(tl, tr), tr},
                {pair(tl, bl), quad(tl, bl, tr, br), pair(tr, br)},
                {bl, pair(bl, br), br},
            };
            // Which row or column of the 3 x 3 block each of the k fills.
            const int pick3[3] = {0, 1, 2};
            const int pick5[5] = {0, 0, 1, 2, 2};
            const int* pick = k == 3 ? pick3 : pick5;
            for (int by = 0; by < k; ++by) {
                for (int bx = 0; bx < k; ++bx) {
                    const int x = offset_x + sx / 2 * k + bx;
                    const int y = offset_y + sy / 2 * k + by;
                    if (x >= 0 && x < SCREEN_WIDTH && y >= 0 && y < SCREEN_HEIGHT) {
                        frame.set(x, y, block3[pick[by]][pick[bx]]);
                    }
                }
            }
        }
    }
    paint_bands(frame, offset_x, offset_y);
    return frame;
}

std::uint32_t exact_pair(std::uint32_t a, std::uint32_t b) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        out |= ((channel(a, shift) + channel(b, shift)) / 2) << shift;
    }
    return out;
}

std::uint32_t exact_quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        out |= ((channel(a, shift) + channel(b, shift) + channel(c, shift) + channel(d, shift)) / 4)
               << shift;
    }
    return out;
}

std::uint32_t fast_pair(std::uint32_t a, std::uint32_t b) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        out |= (channel(a, shift) / 2 + channel(b, shift) / 2) << shift;
    }
    return out;
}

std::uint32_t fast_quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        out |= (channel(a, shift) / 4 + channel(b, shift) / 4 + channel(c, shift) / 4 +
                channel(d, shift) / 4)
               << shift;
    }
    return out;
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
    return [variant](int x, int y) {
        return target_pixel(variant, x, y);
    };
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
