#pragma once

#include "protocol/PumpDelay.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace lvx::test {

// The event loop the sockets need; one per test process.
inline void EnsureApplication() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "links-test";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
}

// Runs the event loop until `done` holds or `ms` milliseconds have passed.
template <typename Done>
bool WaitUntil(Done done, int ms = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) {
            return false;
        }
        PumpDelay(10);
    }
    return true;
}

} // namespace lvx::test
