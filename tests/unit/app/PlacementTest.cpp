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
