#pragma once

#include "app/MainWindow.h"

#include <QStringList>

#include <memory>

namespace lvx::test {

// The main window as the tests that run it whole open it: these ports, the network endpoints
// on loopback (the test's own namespace), the settings in a file of the test's own. Null when
// the endpoints do not open.
inline std::unique_ptr<MainWindow> OpenLoopbackWindow(const QStringList& ports, Prompt* prompt,
                                                      const QString& settingsFile) {
    AppOptions options;
    options.loopback = true;
    options.ports = ports;
    options.settingsFile = settingsFile;
    auto window = std::make_unique<MainWindow>(options, prompt);
    if (!window->start()) {
        return nullptr;
    }
    window->show();
    return window;
}

} // namespace lvx::test
