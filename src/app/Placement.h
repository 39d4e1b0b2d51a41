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

// Moves a top-level window to the place a rule chose for its frame's top left corner, kept in
// view on the screen it lands on. A window that has no frame yet (never shown) borrows the
// frame margins of `reference`, a window that is already on screen.
void PlaceInView(QWidget* window, QPoint topLeft, const QWidget* reference = nullptr);

} // namespace lvx
