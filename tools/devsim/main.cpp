// linkvex-devsim: simulated devices that answer like real ones, with faults on demand.
// Prints "ready" on its first line once every device listens, then runs until killed.

#include "devsim/net/NetDeviceSim.h"
#include "devsim/net/NetSimOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

bool LoadConfigFile(const QString& path, QJsonObject& config, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        error = QStringLiteral("%1: %2").arg(path, parseError.errorString());
        return false;
    }
    config = document.object();
    return true;
}

int Fail(const QString& error) {
    std::fprintf(stderr, "linkvex-devsim: %s\n", qPrintable(error));
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated Linkvex devices."));
    parser.addHelpOption();
    const QCommandLineOption configOption(QStringLiteral("config"),
                                          QStringLiteral("Devices as described in <file> (JSON)."),
                                          QStringLiteral("file"));
    parser.addOption(configOption);
    lvx::AddNetSimOptions(parser);
    parser.process(app);

    QJsonObject config;
    QString baseDir = QStringLiteral(".");
    QString error;
    if (parser.isSet(configOption)) {
        if (!LoadConfigFile(parser.value(configOption), config, error)) {
            return Fail(error);
        }
        baseDir = QFileInfo(parser.value(configOption)).absolutePath();
    }

    lvx::NetSimConfig netConfig;
    if (!lvx::NetSimConfigFromOptions(parser, config.value(QStringLiteral("network")), baseDir,
                                      netConfig, error)) {
        return Fail(error);
    }
    lvx::NetDeviceSim network(netConfig);
    QObject::connect(&network, &lvx::NetDeviceSim::activity, [](const QString& line) {
        std::fprintf(stderr, "net: %s\n", qPrintable(line));
    });
    if (!network.start()) {
        return Fail(network.errorString());
    }

    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
