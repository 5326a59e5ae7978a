// The fixture of the end-to-end tests: an X session per test, test targets, runs of zrv5, and the
// frames the program must show, computed here from what it captures.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/x11/x11_arrow.h"
#include "support/frame_model.h"
#include "x11/support/child_process.h"
#include "x11/support/x_session.h"
#include "x11/support/zrv5_run.h"

// Time limits: generous, since the tests share two cores with other suites.
constexpr int START_MS = 10000;
constexpr int FRAME_MS = 8000;
constexpr int EXIT_MS = 10000;

// A test target window run as its own process.
struct TestTarget {
    ChildProcess process;
    Window window = 0;
    int width = 0;
    int height = 0;

    void command(const std::string& line);  // waits for "done"
};

// The captured pixel at client coordinates (x, y) of the capture rectangle.
using CaptureSource = CapturePixel;

// A rectangle as the frame places it.
struct Placement {
    int x;
    int y;
    int width;
    int height;
};

// Returns the frame of a stretching copy of the W x H capture to `image`: destination pixel d takes
// source d * W / width (so a whole factor repeats each pixel exactly), then the black bands that
// the offsets give. Pixels neither in the image nor in a band are `rest`.
Frame stretched_frame(const CaptureSource& source, int W, int H, Placement image, int offset_x,
                      int offset_y, std::uint32_t rest = 0);

// Returns the frame of the blended enlargement by k/2 (k = 3 or 5) with the given kernels, placed
// at the offsets, then the bands.
Frame blended_frame(const CaptureSource& source, int W, int H, int k, int offset_x, int offset_y,
                    PairModel pair, QuadModel quad);

// The embedded standard arrow's pixel at (x, y).
inline std::uint32_t arrow_pixel(int x, int y) {
    return embedded_arrow_pixel(EMBEDDED_ARROW_ROWS[y][x]);
}

// Draws an opaque or premultiplied ARGB image over the frame, top-left at (x, y).
void draw_over(Frame& frame, int x, int y, int width, int height,
               const std::function<std::uint32_t(int, int)>& argb);

class EndToEnd : public ::testing::Test {
public:
    // The pixels of a screen read, as a capture source at the origin (x, y).
    static CaptureSource screen_source(const Frame& screen, int x, int y);
    // The test target's picture of `variant`, as a capture source.
    static CaptureSource target_source(int variant);

protected:
    void SetUp() override;

    // Starts a test target and waits until it shows its picture.
    std::unique_ptr<TestTarget> start_target(int width, int height, int x, int y, int variant = 0,
                                             const std::string& name = "zrv5 test target");
    // Starts zrv5 and waits until it is ready for the pick.
    std::unique_ptr<Zrv5Run> start_zrv5(const Zrv5Setup& setup = Zrv5Setup());
    // Starts zrv5 and picks the window at (x, y).
    std::unique_ptr<Zrv5Run> start_and_pick(int x, int y, const Zrv5Setup& setup = Zrv5Setup());

    // Checks the screen against the frame, saving both on failure under the test's name.
    void expect_screen(const Frame& expected, const std::string& what, int timeout_ms = FRAME_MS);
    // Checks that the screen keeps matching over several more ticks.
    void expect_screen_stays(const Frame& expected, const std::string& what, int reads,
                             int interval_ms);

    std::string test_name() const;

    XSession session;
};
