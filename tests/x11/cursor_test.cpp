// End-to-end cursor modes: the image drawn over the frame with its hot spot on the enlarged
// pointer position, taken from the target's own pointer shape (modes 0 and 1), the standard arrow
// (mode 2), or none (mode 3).
#include <gtest/gtest.h>

#include <unistd.h>

#include "x11/support/end_to_end.h"
#include "x11/support/pattern.h"

namespace {

using Cursors = EndToEnd;

// The typical run's frame: a 640x480 target doubled at (60, 45).
Frame typical_frame(int variant = 0) {
    return stretched_frame(EndToEnd::target_source(variant), 640, 480, Placement{60, 45, 1280, 960},
                           60, 45);
}

// Draws test pointer shape `which` for the pointer at client (cx, cy) of the doubled target.
Frame with_shape(Frame frame, int which, int cx, int cy) {
    const TestPointerShape& shape = TEST_POINTER_SHAPES[which];
    draw_over(frame, 60 + 2 * cx - shape.hot_x, 45 + 2 * cy - shape.hot_y, shape.width,
              shape.height, [&](int x, int y) { return test_pointer_pixel(shape, x, y); });
    return frame;
}

constexpr int TARGET_X = 200;
constexpr int TARGET_Y = 150;

TEST_F(Cursors, Mode2DrawsTheEmbeddedArrowWithoutATheme) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    target->command("cursor 0");  // the arrow is drawn whatever the real pointer shape
    char empty_theme_folder[] = "/tmp/zrv5-no-theme-XXXXXX";
    ASSERT_NE(mkdtemp(empty_theme_folder), nullptr);
    Zrv5Setup setup;
    setup.settings = "[Zarvo5]\nmouse_trs=2\ntime=50\n";
    setup.environment = {std::string("XCURSOR_PATH=") + empty_theme_folder};
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);

    Frame expected = typical_frame();
    draw_over(expected, 60 + 200 - EMBEDDED_ARROW_HOT_X, 45 + 100 - EMBEDDED_ARROW_HOT_Y,
              EMBEDDED_ARROW_WIDTH, EMBEDDED_ARROW_HEIGHT, arrow_pixel);
    expect_screen(expected, "arrow");

    // Outside the target the pointer is clamped to its nearest pixel, (639, 0).
    session.move_pointer(TARGET_X + 700, TARGET_Y - 100);
    Frame clamped = typical_frame();
    draw_over(clamped, 60 + 2 * 639, 45, EMBEDDED_ARROW_WIDTH, EMBEDDED_ARROW_HEIGHT, arrow_pixel);
    expect_screen(clamped, "arrow-clamped");
    rmdir(empty_theme_folder);
}

TEST_F(Cursors, Mode1FollowsThePointerShapeTheTargetSets) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    target->command("cursor 0");
    Zrv5Setup setup;
    setup.settings = "[Zarvo5]\nmouse_trs=1\ntime=50\n";
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
    expect_screen(with_shape(typical_frame(), 0, 100, 50), "shape-0");

    target->command("cursor 1");
    expect_screen(with_shape(typical_frame(), 1, 100, 50), "shape-1");

    session.move_pointer(TARGET_X + 321, TARGET_Y + 222);
    expect_screen(with_shape(typical_frame(), 1, 321, 222), "shape-1-moved");
}

// Each tick's grab thread reads through the one connection that grab threads share, kept open:
// whenever it is looked at, the program has its own connection and that one, where a connection
// opened and closed by every grab would be there only during the grab.
TEST_F(Cursors, Mode1GrabsThroughOneConnectionKeptOpen) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    target->command("cursor 0");
    const int before = session.client_count();
    Zrv5Setup setup;
    setup.settings = "[Zarvo5]\nmouse_trs=1\ntime=20\n";
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
    expect_screen(with_shape(typical_frame(), 0, 100, 50), "grabbing");
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(session.client_count(), before + 2) << "look " << i;
        usleep(30000);
    }
}

TEST_F(Cursors, Mode0KeepsTheShapeOfThePick) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    target->command("cursor 0");
    Zrv5Setup setup;
    setup.settings = "[Zarvo5]\nmouse_trs=0\ntime=50\n";
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
    expect_screen(with_shape(typical_frame(), 0, 100, 50), "pick-shape");

    target->command("cursor 1");
    session.move_pointer(TARGET_X + 10, TARGET_Y + 400);
    expect_screen(with_shape(typical_frame(), 0, 10, 400), "pick-shape-kept");
}

TEST_F(Cursors, Mode3DrawsNoCursor) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    target->command("cursor 0");
    Zrv5Setup setup;
    setup.settings = "[Zarvo5]\nmouse_trs=3\ntime=50\n";
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
    expect_screen(typical_frame(), "no-cursor");
    session.move_pointer(TARGET_X + 300, TARGET_Y + 300);
    expect_screen_stays(typical_frame(), "no-cursor-moved", 3, 150);
}

}  // namespace
