#pragma once

#include <QHash>
#include <QStringList>

#include <functional>

namespace lvx {

// Options shared with linkvex-cli: the ports to search, loopback endpoints, and a Search
// right after start-up.
struct AppOptions {
    QStringList ports;
    bool loopback = false;
    bool search = false;
    bool singleInstance = true;
    // Each line of the activity log also goes to standard error.
    bool verbose = false;
    // Where the window keeps its own settings (tests); the user's settings when empty.
    QString settingsFile;

    // Parses the program's arguments; false with a message for an unknown option.
    static bool Parse(const QStringList& arguments, AppOptions& options, QString* error);

    // What --help and --version print, one line feed at the end.
    static QString HelpText();
    static QString VersionText();

    // What the program answers before any window system is opened, so that --help, --version
    // and a wrong option work without a display. Qt's own options (-platform, -display, ...)
    // are left to the toolkit.
    struct EarlyAnswer {
        int exitCode = -1; // -1: start the program
        QString out;       // for standard output
        QString err;       // for standard error
    };
    static EarlyAnswer AnswerBeforeStart(const QStringList& arguments);

    // Why no window can be shown, in one line; empty when a display looks reachable or the
    // user chose a platform or display (-platform, -display, QT_QPA_PLATFORM). Checked before the
    // toolkit starts, which would otherwise abort the program. `environment` holds the variables
    // that matter (DISPLAY, WAYLAND_DISPLAY, XDG_RUNTIME_DIR, QT_QPA_PLATFORM); `exists` says
    // whether a socket path is there.
    static QString NoDisplayReason(const QStringList& arguments,
                                   const QHash<QString, QString>& environment,
                                   const std::function<bool(const QString&)>& exists);
};

} // namespace lvx
