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
    const QRect frame = window->frameGeometry();
    if (frame != window->geometry() || reference == nullptr) {
        return frame.size();
    }
    const QRect outer = reference->frameGeometry();
    const QRect inner = reference->geometry();
    return frame.size() + QSize(outer.width() - inner.width(), outer.height() - inner.height());
}

} // namespace

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
    QList<QRect> areas;
    const auto screens = QGuiApplication::screens();
    for (const QScreen* screen : screens) {
        areas << screen->availableGeometry();
    }
    window->move(KeepInside(frame, AreaFor(frame, areas)));
}

} // namespace lvx
