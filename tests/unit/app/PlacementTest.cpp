// Keeping a window in view: the least move onto the screen, and which screen.
#include "app/Placement.h"

#include <gtest/gtest.h>

using namespace lvx;

namespace {
// A 1920 x 1040 area below a 40-pixel top panel.
const QRect kArea(0, 40, 1920, 1040);
const QSize kWindow(426, 510);
} // namespace

TEST(KeepInside, AWindowInsideStaysWhereItIs) {
    EXPECT_EQ(KeepInside(QRect(QPoint(300, 200), kWindow), kArea), QPoint(300, 200));
    // Touching the edges is inside.
    EXPECT_EQ(KeepInside(QRect(QPoint(0, 40), kWindow), kArea), QPoint(0, 40));
    EXPECT_EQ(KeepInside(QRect(QPoint(1920 - 426, 1080 - 510), kWindow), kArea), QPoint(1494, 570));
}

TEST(KeepInside, EachEdgeMovesTheWindowOnlyAcrossThatEdge) {
    // Right: the right edge comes to the area's; the top stays.
    EXPECT_EQ(KeepInside(QRect(QPoint(1700, 300), kWindow), kArea), QPoint(1494, 300));
    // Left.
    EXPECT_EQ(KeepInside(QRect(QPoint(-135, 300), kWindow), kArea), QPoint(0, 300));
    // Top: below the panel, not at the screen's top.
    EXPECT_EQ(KeepInside(QRect(QPoint(500, 10), kWindow), kArea), QPoint(500, 40));
    // Bottom.
    EXPECT_EQ(KeepInside(QRect(QPoint(500, 900), kWindow), kArea), QPoint(500, 570));
    // One pixel over is one pixel back.
    EXPECT_EQ(KeepInside(QRect(QPoint(1495, 571), kWindow), kArea), QPoint(1494, 570));
}

TEST(KeepInside, ACornerMovesBothWays) {
    EXPECT_EQ(KeepInside(QRect(QPoint(1800, 1000), kWindow), kArea), QPoint(1494, 570));
    EXPECT_EQ(KeepInside(QRect(QPoint(-50, -50), kWindow), kArea), QPoint(0, 40));
    // Far away, as after a screen was unplugged.
    EXPECT_EQ(KeepInside(QRect(QPoint(5000, -3000), kWindow), kArea), QPoint(1494, 40));
}

TEST(KeepInside, AWindowLargerThanTheAreaKeepsItsTitleBarInReach) {
    // The Multi-COM size on a small laptop screen: top left at the area's corner.
    const QRect laptop(0, 0, 1024, 600);
    EXPECT_EQ(KeepInside(QRect(QPoint(300, 200), QSize(1158, 817)), laptop), QPoint(0, 0));
    // Too wide only: the left edge goes to the area's, the top still moves the least.
    EXPECT_EQ(KeepInside(QRect(QPoint(300, 100), QSize(1158, 300)), laptop), QPoint(0, 100));
    EXPECT_EQ(KeepInside(QRect(QPoint(300, 500), QSize(1158, 300)), laptop), QPoint(0, 300));
}

TEST(KeepInside, NoAreaLeavesTheWindowAlone) {
    EXPECT_EQ(KeepInside(QRect(QPoint(-50, 7000), kWindow), QRect()), QPoint(-50, 7000));
}

TEST(AreaFor, TheScreenHoldingMostOfTheWindow) {
    const QRect left(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1280, 1024);
    // Mostly on the right screen.
    EXPECT_EQ(AreaFor(QRect(1800, 100, 426, 510), {left, right}), right);
    // Mostly on the left one.
    EXPECT_EQ(AreaFor(QRect(1700, 100, 426, 510), {left, right}), left);
}

TEST(AreaFor, AWindowOnNoScreenGoesToTheNearest) {
    const QRect left(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1280, 1024);
    EXPECT_EQ(AreaFor(QRect(3500, 200, 426, 510), {left, right}), right);
    EXPECT_EQ(AreaFor(QRect(-900, 200, 426, 510), {left, right}), left);
    // Below the shorter right screen, beside nothing: the right one is still nearer.
    EXPECT_EQ(AreaFor(QRect(2600, 1100, 426, 510), {left, right}), right);
    EXPECT_EQ(AreaFor(QRect(0, 0, 10, 10), {}), QRect());
}

// The Commander beside the main window: a 1366 x 768 laptop area below a 32-pixel panel, a
// main window frame 480 x 500 and a Commander frame 470 x 512, 8 pixels apart.
namespace {
const QRect kLaptop(0, 32, 1366, 736);
const QSize kCommander(470, 512);
constexpr int kGap = 8;
} // namespace

TEST(PlaceBeside, RightOfTheAnchorWhenItFitsExactly) {
    // Plenty of room: 8 pixels right of the anchor's frame, tops aligned.
    const QRect anchor(QPoint(100, 60), QSize(480, 500));
    SideBySide p = PlaceBeside(anchor, kCommander, kLaptop, kGap);
    EXPECT_EQ(p.window, QPoint(588, 60));
    EXPECT_EQ(p.anchor, anchor.topLeft());
    // With the anchor at 408 the Commander's frame ends on the area's last column,
    // 408 + 480 + 8 + 470 - 1 = 1365: still right.
    p = PlaceBeside(QRect(QPoint(408, 60), QSize(480, 500)), kCommander, kLaptop, kGap);
    EXPECT_EQ(p.window, QPoint(896, 60));
    EXPECT_EQ(p.window.x() + kCommander.width() - 1, kLaptop.right());
    EXPECT_EQ(p.anchor, QPoint(408, 60));
}

TEST(PlaceBeside, OnePixelOverGoesLeftOfTheAnchor) {
    const QRect anchor(QPoint(409, 60), QSize(480, 500));
    const SideBySide p = PlaceBeside(anchor, kCommander, kLaptop, kGap);
    // Left: 409 - 8 - 470 = -69 does not fit either; the pair (958 wide) does: the Commander
    // at the right edge, the main window moved left of it by one pixel.
    EXPECT_EQ(p.window, QPoint(1366 - 470, 60));
    EXPECT_EQ(p.anchor, QPoint(1366 - 470 - 8 - 480, 60));
    EXPECT_EQ(p.anchor.x(), 408);
}

TEST(PlaceBeside, LeftOfAnAnchorAtTheRightEdge) {
    // The main window against the right edge: the Commander goes left, nothing else moves.
    const QRect anchor(QPoint(886, 100), QSize(480, 500));
    const SideBySide p = PlaceBeside(anchor, kCommander, kLaptop, kGap);
    EXPECT_EQ(p.window, QPoint(886 - 8 - 470, 100));
    EXPECT_EQ(p.anchor, anchor.topLeft());
    // Left fitting exactly: the Commander's left edge on the area's first column.
    const QRect tight(QPoint(478, 100), QSize(888, 500));
    EXPECT_EQ(PlaceBeside(tight, kCommander, kLaptop, kGap).window, QPoint(0, 100));
}

TEST(PlaceBeside, ScreenLeftOfTheMainWindow) {
    // Two screens: the main window on the right one at its right edge; the area passed is
    // the right screen's, so the Commander stays on that screen, left of the main window.
    const QRect rightScreen(1920, 0, 1280, 1024);
    const QRect anchor(QPoint(3200 - 480, 200), QSize(480, 500));
    const SideBySide p = PlaceBeside(anchor, kCommander, rightScreen, kGap);
    EXPECT_EQ(p.window, QPoint(3200 - 480 - 8 - 470, 200));
    EXPECT_TRUE(rightScreen.contains(QRect(p.window, kCommander)));
}

TEST(PlaceBeside, TopsAlignedAndKeptInsideVertically) {
    const QRect low(QPoint(100, 600), QSize(480, 150));
    const SideBySide p = PlaceBeside(low, kCommander, kLaptop, kGap);
    EXPECT_EQ(p.window, QPoint(588, 768 - 512));
}

TEST(PlaceBeside, TooNarrowForTheTwoCoversTheLeastOfTheAnchor) {
    // 1024 wide: 480 + 8 + 470 = 958 fits; with a 600-pixel main window it does not.
    const QRect small(0, 0, 1024, 768);
    const QRect anchor(QPoint(300, 0), QSize(600, 500));
    const SideBySide p = PlaceBeside(anchor, kCommander, small, kGap);
    EXPECT_EQ(p.anchor, anchor.topLeft());
    // More room left (292) than right (116): left, kept inside at x = 0.
    EXPECT_EQ(p.window, QPoint(0, 0));
}

TEST(FitInside, TheMultiComPageOnSmallScreens) {
    const QSize page(1154, 787);
    const QSize frame(10, 36);
    // Large enough: as asked.
    EXPECT_EQ(FitInside(page, frame, QRect(0, 0, 2560, 1440)), page);
    // Exactly enough, then one pixel short in each direction.
    EXPECT_EQ(FitInside(page, frame, QRect(0, 0, 1164, 823)), page);
    EXPECT_EQ(FitInside(page, frame, QRect(0, 0, 1163, 822)), QSize(1153, 786));
    // 1366 x 768 with a 32-pixel panel; scale 2 on 2560 x 1440 is 1280 x 720.
    EXPECT_EQ(FitInside(page, frame, QRect(0, 32, 1366, 736)), QSize(1154, 700));
    EXPECT_EQ(FitInside(page, frame, QRect(0, 0, 1280, 720)), QSize(1154, 684));
    EXPECT_EQ(FitInside(page, frame, QRect()), page);
}
