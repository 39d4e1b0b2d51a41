#include "app/Placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <limits>

namespace lvx {

namespace {

// One axis: the start of a span of `length` moved the least into [low, low + room).
int KeepSpanInside(int start, int length, int low, int room) {
    if (length >= room || start < low) {
        return low;
    }
    const int highest = low + room - length;
    return std::min(start, highest);
}

QSize FrameSize(const QWidget* window, const QWidget* reference) {
    return window->size() + FrameExtra(window, reference);
}

QList<QRect> AvailableAreas() {
    QList<QRect> areas;
    const auto screens = QGuiApplication::screens();
    for (const QScreen* screen : screens) {
        areas << screen->availableGeometry();
    }
    return areas;
}

} // namespace

QSize FrameExtra(const QWidget* window, const QWidget* reference) {
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    if (frame == inner && reference != nullptr) {
        const QRect outer = reference->frameGeometry();
        const QRect client = reference->geometry();
        return {outer.width() - client.width(), outer.height() - client.height()};
    }
    return {frame.width() - inner.width(), frame.height() - inner.height()};
}

SideBySide PlaceBeside(const QRect& anchor, const QSize& size, const QRect& area, int gap) {
    const int right = anchor.right() + 1 + gap;
    const int left = anchor.left() - gap - size.width();
    if (area.isEmpty()) {
        return {anchor.topLeft(), QPoint(right, anchor.top())};
    }
    const int roomRight = area.right() + 1 - right;
    const int roomLeft = anchor.left() - gap - area.left();
    const auto inside = [&](int x) {
        return KeepInside(QRect(QPoint(x, anchor.top()), size), area);
    };
    if (roomRight >= size.width()) {
        return {anchor.topLeft(), inside(right)};
    }
    if (roomLeft >= size.width()) {
        return {anchor.topLeft(), inside(left)};
    }
    if (anchor.width() + gap + size.width() <= area.width()) {
        const QPoint window = inside(area.right() + 1 - size.width());
        return {QPoint(window.x() - gap - anchor.width(), anchor.top()), window};
    }
    return {anchor.topLeft(), inside(roomLeft > roomRight ? left : right)};
}

QSize FitInside(const QSize& wanted, const QSize& frameExtra, const QRect& area) {
    if (area.isEmpty()) {
        return wanted;
    }
    return {std::max(1, std::min(wanted.width(), area.width() - frameExtra.width())),
            std::max(1, std::min(wanted.height(), area.height() - frameExtra.height()))};
}

QPoint KeepInside(const QRect& frame, const QRect& area) {
    if (area.isEmpty()) {
        return frame.topLeft();
    }
    return {KeepSpanInside(frame.left(), frame.width(), area.left(), area.width()),
            KeepSpanInside(frame.top(), frame.height(), area.top(), area.height())};
}

QRect AreaFor(const QRect& frame, const QList<QRect>& areas) {
    QRect best;
    long long bestOverlap = 0;
    for (const QRect& area : areas) {
        const QRect common = area.intersected(frame);
        const long long overlap = common.isEmpty() ? 0 : 1LL * common.width() * common.height();
        if (overlap > bestOverlap) {
            bestOverlap = overlap;
            best = area;
        }
    }
    if (bestOverlap > 0) {
        return best;
    }
    long long nearest = std::numeric_limits<long long>::max();
    for (const QRect& area : areas) {
        const QPoint d = area.center() - frame.center();
        const long long distance = 1LL * d.x() * d.x() + 1LL * d.y() * d.y();
        if (distance < nearest) {
            nearest = distance;
            best = area;
        }
    }
    return best;
}

void PlaceInView(QWidget* window, QPoint topLeft, const QWidget* reference) {
    if (window == nullptr) {
        return;
    }
    const QRect frame(topLeft, FrameSize(window, reference));
    window->move(KeepInside(frame, AreaFor(frame, AvailableAreas())));
}

void PlaceBesideInView(QWidget* window, QWidget* anchor, int gap) {
    if (window == nullptr || anchor == nullptr) {
        return;
    }
    const QRect anchorFrame = anchor->frameGeometry();
    const SideBySide places = PlaceBeside(anchorFrame, FrameSize(window, anchor),
                                          AreaFor(anchorFrame, AvailableAreas()), gap);
    if (places.anchor != anchorFrame.topLeft()) {
        anchor->move(places.anchor);
    }
    window->move(places.window);
}

QRect AvailableAreaFor(const QWidget* window) {
    return window == nullptr ? QRect() : AreaFor(window->frameGeometry(), AvailableAreas());
}

} // namespace lvx
