// End-to-end frames of a capture that reads again only what damage reports: small changes, windows
// mapped, unmapped and moved over the target, the target moved and resized, the pointer shape
// changed, the overlay exposed, and the first change after a long still period in each stretch
// mode. Every frame is compared whole, pixel for pixel, with what the tick defines.
#include <gtest/gtest.h>

#include <thread>

#include "x11/support/end_to_end.h"
#include "x11/support/pattern.h"

namespace {

using DamageFrames = EndToEnd;

constexpr int TARGET_X = 200;
constexpr int TARGET_Y = 150;
const Placement DOUBLED{60, 45, 1280, 960};

// The target's picture of `variant` with rectangles of one colour over it, as "fill" draws them.
struct Filled {
    int x;
    int y;
    int width;
    int height;
    std::uint32_t colour;
};

CaptureSource filled_source(int variant, std::vector<Filled> fills) {
    return [variant, fills](int x, int y) -> std::uint32_t {
        std::uint32_t pixel = target_pixel(variant, x, y);
        for (const Filled& f : fills) {
            if (x >= f.x && x < f.x + f.width && y >= f.y && y < f.y + f.height) {
                pixel = f.colour;
            }
        }
        return pixel;
    };
}

std::string fill_command(const Filled& f) {
    char text[96];
    std::snprintf(text, sizeof text, "fill %d %d %d %d %06x", f.x, f.y, f.width, f.height,
                  f.colour);
    return text;
}

Frame doubled(const CaptureSource& source) {
    return stretched_frame(source, 640, 480, DOUBLED, 60, 45);
}

// The capture of the 640x480 target with a 300x200 cover window of variant 3 at (cx, cy) over it.
CaptureSource covered_source(int cx, int cy) {
    return [cx, cy](int x, int y) -> std::uint32_t {
        const int sx = TARGET_X + x;
        const int sy = TARGET_Y + y;
        if (sx >= cx && sx < cx + 300 && sy >= cy && sy < cy + 200) {
            return target_pixel(3, sx - cx, sy - cy);
        }
        return target_pixel(0, x, y);
    };
}

struct At {
    int x;
    int y;
};

void wait_still(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST_F(DamageFrames, OnePixelAndThenACaretSizedChangeShowAlone) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(doubled(target_source(0)), "before");
    const Filled pixel{321, 123, 1, 1, 0xff00ff};
    target->command(fill_command(pixel));
    expect_screen(doubled(filled_source(0, {pixel})), "one-pixel");
    // A caret blinking: on at the first line's end, then off as the picture is redrawn.
    const Filled caret{633, 0, 16, 16, 0x10e020};
    target->command(fill_command(caret));
    expect_screen(doubled(filled_source(0, {pixel, caret})), "caret-on");
    target->command("picture 0");
    expect_screen(doubled(target_source(0)), "caret-off");
    const Filled low{5, 470, 16, 16, 0x2040ff};  // the last rows, cut by the target's edge
    target->command(fill_command(low));
    expect_screen_stays(doubled(filled_source(0, {low})), "caret-low", 4, 100);
}

TEST_F(DamageFrames, AWindowMovedOverTheTargetAndAwayShowsWhereItLies) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    auto cover = start_target(300, 200, 1050, 800, 3, "cover");
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(doubled(target_source(0)), "alone");
    cover->command("move 500 400");
    expect_screen(doubled(covered_source(500, 400)), "covered");
    cover->command("move 420 130");
    expect_screen(doubled(covered_source(420, 130)), "moved-over");
    cover->command("move 1050 800");
    expect_screen_stays(doubled(target_source(0)), "away", 4, 100);
}

TEST_F(DamageFrames, AWindowUnmappedOverTheTargetLeavesTheTargetsPicture) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    auto cover = start_target(300, 200, 500, 400, 3, "cover");
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(doubled(covered_source(500, 400)), "covered");
    cover->command("unmap");
    expect_screen(doubled(target_source(0)), "unmapped");
    cover->command("map");
    expect_screen(doubled(covered_source(500, 400)), "mapped-again");
}

// Moved, the capture follows the target; resized smaller, the capture shows beside it what lay
// there (the root's background and the cover); resized back, the whole picture again.
TEST_F(DamageFrames, TheTargetMovedAndResizedIsFollowed) {
    auto cover = start_target(300, 200, 600, 450, 3, "cover");
    const Frame beneath = session.read_screen();  // what lies beside the target when it shrinks
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    cover->command("raise");
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(doubled(covered_source(600, 450)), "before");
    target->command("move 230 170");
    const CaptureSource moved = [](int x, int y) -> std::uint32_t {
        const int sx = 230 + x;
        const int sy = 170 + y;
        if (sx >= 600 && sx < 900 && sy >= 450 && sy < 650) {
            return target_pixel(3, sx - 600, sy - 450);
        }
        return target_pixel(0, x, y);
    };
    expect_screen(doubled(moved), "moved");
    target->command("move 200 150");
    target->command("resize 320 240");
    const CaptureSource shrunk = [&beneath](int x, int y) -> std::uint32_t {
        return x < 320 && y < 240 ? target_pixel(0, x, y) : beneath.at(TARGET_X + x, TARGET_Y + y);
    };
    expect_screen(doubled(shrunk), "shrunk");
    target->command("resize 640 480");
    expect_screen(doubled(covered_source(600, 450)), "resized-back");
}

// Cursor mode 1 on a still picture: the shape changes, to a smaller one and back, and each frame
// holds the picture where the larger shape was.
TEST_F(DamageFrames, ThePointerShapeChangedOnAStillPicture) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    target->command("cursor 2");
    Zrv5Setup setup;
    setup.settings = "[Zarvo5]\nmouse_trs=1\ntime=20\n";
    auto with_shape = [](int which) {
        Frame frame = doubled(target_source(0));
        const TestPointerShape& shape = TEST_POINTER_SHAPES[which];
        draw_over(frame, 60 + 2 * 100 - shape.hot_x, 45 + 2 * 50 - shape.hot_y, shape.width,
                  shape.height, [&](int x, int y) { return test_pointer_pixel(shape, x, y); });
        return frame;
    };
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
    expect_screen(with_shape(2), "large");
    target->command("cursor 0");
    expect_screen(with_shape(0), "small");
    target->command("cursor 2");
    expect_screen_stays(with_shape(2), "large-again", 4, 100);
}

// A pointer shape of every opacity lands over the image and the bands as the client's blend puts
// it, where the whole factor is drawn by the server and where the client draws (aspect fit); and
// where it was, the frame comes back when it moves.
TEST_F(DamageFrames, ATranslucentPointerShapeBlendsExactlyInEachDrawing) {
    const TestPointerShape& shape = TEST_POINTER_SHAPES[TRANSLUCENT_POINTER_SHAPE];
    const auto pixel = [&shape](int x, int y) { return test_pointer_pixel(shape, x, y); };
    for (const bool fit : {false, true}) {
        SCOPED_TRACE(fit ? "aspect fit" : "whole factor");
        auto target = start_target(640, fit ? 400 : 480, TARGET_X, TARGET_Y);
        target->command("cursor " + std::to_string(TRANSLUCENT_POINTER_SHAPE));
        Zrv5Setup setup;
        setup.settings = fit ? "[Zarvo5]\nstretch=2\nmouse_trs=1\ntime=20\n"
                             : "[Zarvo5]\nmouse_trs=1\ntime=20\n";
        auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
        // The enlarged pointer position of client (cx, cy), and the frame without a cursor.
        const auto place = [fit](int cx, int cy) {
            return fit ? At{cx * 1400 / 640, 87 + cy * 875 / 400} : At{60 + 2 * cx, 45 + 2 * cy};
        };
        const Frame image =
            fit ? stretched_frame(target_source(0), 640, 400, Placement{0, 87, 1400, 875}, 0, 87)
                : doubled(target_source(0));
        Frame over_image = image;
        const At first = place(100, 50);
        draw_over(over_image, first.x - shape.hot_x, first.y - shape.hot_y, shape.width,
                  shape.height, pixel);
        expect_screen(over_image, fit ? "fit-image" : "whole-image");
        // At the client's top-left corner the shape lies half over the top band.
        session.move_pointer(TARGET_X, TARGET_Y);
        Frame over_band = image;
        const At corner = place(0, 0);
        draw_over(over_band, corner.x - shape.hot_x, corner.y - shape.hot_y, shape.width,
                  shape.height, pixel);
        expect_screen_stays(over_band, fit ? "fit-band" : "whole-band", 3, 100);
        target->command("close");
    }
}

// A window raised over the overlay lies on it until the next tick raises the overlay again; the
// part it covered comes back exactly, though nothing changed beneath.
TEST_F(DamageFrames, TheOverlayExposedShowsTheSameFrame) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    auto above = start_target(300, 200, 1000, 700, 3, "above");
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50);
    const Frame frame = doubled(target_source(0));
    expect_screen(frame, "before");
    for (int i = 0; i < 3; ++i) {
        above->command("raise");
        above->command("unmap");
        above->command("map");
    }
    expect_screen_stays(frame, "exposed", 4, 100);
}

// A still view raises the overlay only when the server reports that a window may lie above it:
// lowered beneath the target by another client, or with the target raised over it, it comes back
// over all of them at the next tick.
TEST_F(DamageFrames, TheOverlayLoweredOrCoveredWhileStillComesBackOnTop) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50);
    const Frame frame = doubled(target_source(0));
    expect_screen(frame, "before");
    const Window overlay = session.find_window("ZRV5");
    ASSERT_NE(overlay, 0u);
    Display* display = session.display();
    wait_still(500);
    XLowerWindow(display, overlay);
    XSync(display, False);
    expect_screen(frame, "lowered");
    expect_screen_stays(frame, "lowered-stays", 3, 100);
    wait_still(500);
    target->command("raise");
    expect_screen(frame, "target-raised");
    expect_screen_stays(frame, "target-raised-stays", 3, 100);
}

// The first change after many still ticks is shown whole, in each stretch mode, and then a caret
// on and off again shows alone.
struct StillMode {
    const char* name;
    const char* settings;
    int width;
    int height;
};

void PrintTo(const StillMode& mode, std::ostream* out) { *out << mode.name; }

class FirstChangeAfterStill : public EndToEnd, public ::testing::WithParamInterface<StillMode> {};

TEST_P(FirstChangeAfterStill, IsShownWhole) {
    const StillMode mode = GetParam();
    auto target = start_target(mode.width, mode.height, TARGET_X, TARGET_Y);
    Zrv5Setup setup;
    setup.settings = mode.settings;
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
    auto expected = [&](int variant) {
        const CaptureSource source = target_source(variant);
        if (std::string(mode.name) == "blended") {  // 800x600 by 3/2 at (100, 75)
            return blended_frame(source, 800, 600, 3, 100, 75, exact_pair, exact_quad);
        }
        if (std::string(mode.name) == "fit") {  // 640x400 to 1400x875 at (0, 87)
            return stretched_frame(source, 640, 400, Placement{0, 87, 1400, 875}, 0, 87);
        }
        return doubled(source);
    };
    expect_screen(expected(0), "first");
    wait_still(1500);
    target->command("picture 2");
    expect_screen(expected(2), "after-still");
    const Filled caret{17, 33, 16, 16, 0xe0e0e0};
    target->command(fill_command(caret));
    const Frame with_caret = [&] {
        if (std::string(mode.name) == "blended") {
            return blended_frame(filled_source(2, {caret}), 800, 600, 3, 100, 75, exact_pair,
                                 exact_quad);
        }
        if (std::string(mode.name) == "fit") {
            return stretched_frame(filled_source(2, {caret}), 640, 400, Placement{0, 87, 1400, 875},
                                   0, 87);
        }
        return doubled(filled_source(2, {caret}));
    }();
    expect_screen(with_caret, "caret");
    // The caret off again: the blocks it touched are made again from the picture beneath.
    target->command("picture 2");
    expect_screen(expected(2), "caret-off");
}

INSTANTIATE_TEST_SUITE_P(
    EachStretchMode, FirstChangeAfterStill,
    ::testing::Values(StillMode{"whole", "[Zarvo5]\nstretch=0\ntime=20\n", 640, 480},
                      StillMode{"blended", "[Zarvo5]\nstretch=1\nsmoothness=1\ntime=20\n", 800,
                                600},
                      StillMode{"fit", "[Zarvo5]\nstretch=2\ntime=20\n", 640, 400}),
    [](const ::testing::TestParamInfo<StillMode>& param) { return std::string(param.param.name); });

}  // namespace
