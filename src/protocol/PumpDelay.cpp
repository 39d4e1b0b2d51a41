#include "protocol/PumpDelay.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace lvx {

void PumpDelay(int n) {
    if (n <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(n);
    loop.exec(QEventLoop::AllEvents);
}

} // namespace lvx
