#pragma once

// For targets that drive QObject code: the application object their timers need, created
// once per process and never run (nothing here waits on the event loop).

#include <QCoreApplication>

namespace lvx::fuzz {

inline void EnsureApplication() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "linkvex-fuzz";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
}

} // namespace lvx::fuzz
