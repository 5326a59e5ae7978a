// Tests of the choice of the view's monitor on X11, without a display: the four fallbacks in their
// order, boxes cut to the root, and how the chosen monitor is followed through a change.
#include "platform/x11/x11_monitor_choice.h"

#include <gtest/gtest.h>

namespace {

// The two monitors: 1400x1050 at the left, 1024x768 beside it, on a 2424x1050 root.
constexpr Box ROOT{0, 0, 2424, 1050};
constexpr Box LEFT{0, 0, 1400, 1050};
constexpr Box RIGHT{1400, 0, 2424, 768};
constexpr unsigned long LEFT_NAME = 301;
constexpr unsigned long RIGHT_NAME = 302;

void expect_box(const Box& actual, const Box& expected) {
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);
}

MonitorReport two_monitors(bool right_primary) {
    MonitorReport report;
    report.randr = {{LEFT_NAME, false, LEFT}, {RIGHT_NAME, right_primary, RIGHT}};
    report.xinerama = {LEFT, RIGHT};
    report.root = ROOT;
    return report;
}

TEST(MonitorChoice, FallsBackFromPrimaryToFirstMonitorToXineramaToRoot) {
    MonitorReport report = two_monitors(true);
    Monitor chosen = choose_monitor(report);
    EXPECT_EQ(chosen.source, MonitorSource::randr_primary);
    EXPECT_EQ(chosen.name, RIGHT_NAME);
    expect_box(chosen.box, RIGHT);

    report.randr[1].primary = false;
    chosen = choose_monitor(report);
    EXPECT_EQ(chosen.source, MonitorSource::randr_first);
    EXPECT_EQ(chosen.name, LEFT_NAME);
    expect_box(chosen.box, LEFT);

    // A server without RandR monitors (RandR older than 1.5, or Xinerama alone): heads in order.
    report.randr.clear();
    report.xinerama = {RIGHT, LEFT};
    chosen = choose_monitor(report);
    EXPECT_EQ(chosen.source, MonitorSource::xinerama);
    EXPECT_EQ(chosen.index, 0u);
    expect_box(chosen.box, RIGHT);

    report.xinerama.clear();
    chosen = choose_monitor(report);
    EXPECT_EQ(chosen.source, MonitorSource::root);
    expect_box(chosen.box, ROOT);
}

// Monitors can be declared with any geometry: the view keeps to the part inside the root, and a
// monitor with nothing inside it (or no size) is no monitor.
TEST(MonitorChoice, BoxesAreCutToTheRootAndEmptyOnesPassedOver) {
    MonitorReport report;
    report.root = ROOT;
    report.randr = {{1, true, Box{3000, 0, 4000, 800}},      // primary, but wholly outside
                    {2, false, Box{100, 100, 100, 900}},     // no width
                    {3, false, Box{2000, -50, 2600, 700}}};  // cut at the top and right
    Monitor chosen = choose_monitor(report);
    EXPECT_EQ(chosen.source, MonitorSource::randr_first);
    EXPECT_EQ(chosen.name, 3u);
    expect_box(chosen.box, Box{2000, 0, 2424, 700});

    report.randr.resize(2);
    report.xinerama = {Box{-10, -10, 0, 0}, LEFT};
    chosen = choose_monitor(report);
    EXPECT_EQ(chosen.source, MonitorSource::xinerama);
    EXPECT_EQ(chosen.index, 1u);
    expect_box(chosen.box, LEFT);
}

TEST(MonitorFollow, ARandrMonitorIsFoundByNameAndKeptWhileItsSizeStays) {
    const Monitor chosen = choose_monitor(two_monitors(true));
    MonitorReport now = two_monitors(false);  // another change of the primary: still there
    MonitorFollow follow = follow_monitor(chosen, now);
    EXPECT_EQ(follow.fate, MonitorFate::same);
    expect_box(follow.box, RIGHT);

    // The left monitor unplugged: the right one now starts at the root's left edge.
    now.randr = {{RIGHT_NAME, true, Box{0, 0, 1024, 768}}};
    now.root = Box{0, 0, 1024, 768};
    follow = follow_monitor(chosen, now);
    EXPECT_EQ(follow.fate, MonitorFate::moved);
    expect_box(follow.box, Box{0, 0, 1024, 768});

    now.randr = {{RIGHT_NAME, true, Box{0, 0, 800, 600}}};
    follow = follow_monitor(chosen, now);
    EXPECT_EQ(follow.fate, MonitorFate::resized);
    expect_box(follow.box, Box{0, 0, 800, 600});

    // Another monitor where the view's was, with its size, is not the view's monitor.
    now.randr = {{LEFT_NAME, true, Box{0, 0, 1024, 768}}};
    EXPECT_EQ(follow_monitor(chosen, now).fate, MonitorFate::gone);
    now.randr.clear();
    EXPECT_EQ(follow_monitor(chosen, now).fate, MonitorFate::gone);
}

TEST(MonitorFollow, AXineramaHeadByItsPlaceAndTheRootByItsSize) {
    MonitorReport report;
    report.root = ROOT;
    report.xinerama = {LEFT, RIGHT};
    const Monitor head = choose_monitor(report);
    report.xinerama = {Box{0, 10, 1400, 1060}, RIGHT};
    report.root = Box{0, 0, 2424, 1060};
    EXPECT_EQ(follow_monitor(head, report).fate, MonitorFate::moved);
    report.xinerama = {RIGHT};
    EXPECT_EQ(follow_monitor(head, report).fate, MonitorFate::resized);
    report.xinerama.clear();
    EXPECT_EQ(follow_monitor(head, report).fate, MonitorFate::gone);

    const Monitor root = choose_monitor(MonitorReport{{}, {}, ROOT});
    EXPECT_EQ(follow_monitor(root, MonitorReport{{}, {}, ROOT}).fate, MonitorFate::same);
    EXPECT_EQ(follow_monitor(root, MonitorReport{{}, {}, Box{0, 0, 1400, 1050}}).fate,
              MonitorFate::resized);
}

}  // namespace
