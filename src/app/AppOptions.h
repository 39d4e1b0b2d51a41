#pragma once

#include <QStringList>

namespace lvx {

// Options shared with linkvex-cli: the ports to search, loopback endpoints, and a Search
// right after start-up.
struct AppOptions {
    QStringList ports;
    bool loopback = false;
    bool search = false;
    bool singleInstance = true;

    // Parses the program's arguments; false with a message for an unknown option.
    static bool Parse(const QStringList& arguments, AppOptions& options, QString* error);
};

} // namespace lvx
