#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

class QWidget;

namespace lvx {

// Where a window goes when a placement rule would put part of it off screen: the least move
// that brings its frame (title bar and borders included) fully inside `area`. A frame wider
// or taller than the area keeps its left or top edge on the area's, so that the title bar
// stays within reach. Returns the frame's new top left corner.
QPoint KeepInside(const QRect& frame, const QRect& area);

// Of the screens' available areas, the one the frame overlaps most; a frame on none of them
// belongs to the area whose centre is nearest to its own. An empty list gives an empty rect.
QRect AreaFor(const QRect& frame, const QList<QRect>& areas);

// Two windows side by side: where each frame's top left corner goes.
struct SideBySide {
    QPoint anchor;
    QPoint window;
};

// Where a window of frame size `size` goes beside `anchor` (another window's frame) so that
// it covers none of it, tops aligned and `gap` pixels apart: to its right when it fits there
// whole; otherwise to its left when it fits there; otherwise, when the two fit side by side
// in `area`, the window goes to the area's right edge and the anchor moves left of it (the
// least move); otherwise the window goes on the side with more room, kept inside `area`,
// and covers part of the anchor. The anchor moves in the third case only.
SideBySide PlaceBeside(const QRect& anchor, const QSize& size, const QRect& area, int gap);

// The largest window size up to `wanted` whose frame (the window plus `frameExtra`, its
// borders and title bar) fits `area`. An empty area leaves `wanted` as it is.
QSize FitInside(const QSize& wanted, const QSize& frameExtra, const QRect& area);

// Moves a top-level window to the place a rule chose for its frame's top left corner, kept in
// view on the screen it lands on. A window that has no frame yet (never shown) borrows the
// frame margins of `reference`, a window that is already on screen.
void PlaceInView(QWidget* window, QPoint topLeft, const QWidget* reference = nullptr);

// PlaceBeside for a top-level window and the window it goes beside, on the screen that holds
// most of `anchor`; `anchor` moves too when that is the only way both are seen whole.
void PlaceBesideInView(QWidget* window, QWidget* anchor, int gap);

// The available area of the screen that holds most of the window's frame.
QRect AvailableAreaFor(const QWidget* window);

// How much larger a window's frame is than the window: its own when it has a frame, else
// that of `reference`.
QSize FrameExtra(const QWidget* window, const QWidget* reference = nullptr);

} // namespace lvx
