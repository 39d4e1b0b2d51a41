#include "app/AppOptions.h"

#include <QCommandLineParser>

namespace lvx {

bool AppOptions::Parse(const QStringList& arguments, AppOptions& options, QString* error) {
    QCommandLineParser parser;
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Search exactly this serial port (repeatable)."),
                                  QStringLiteral("path"));
    const QCommandLineOption loopback(
        QStringLiteral("loopback"),
        QStringLiteral("Keep the network endpoints on loopback (tests and demos)."));
    const QCommandLineOption search(QStringLiteral("search"),
                                    QStringLiteral("Search right after start-up."));
    parser.addOptions({port, loopback, search});
    parser.addHelpOption();
    if (!parser.parse(arguments)) {
        if (error) {
            *error = parser.errorText();
        }
        return false;
    }
    options.ports = parser.values(port);
    options.loopback = parser.isSet(loopback);
    options.search = parser.isSet(search);
    return true;
}

} // namespace lvx
