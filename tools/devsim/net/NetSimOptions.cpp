#include "devsim/net/NetSimOptions.h"

#include <QJsonObject>

namespace lvx {
namespace {
const QString kLoopback = QStringLiteral("net-loopback");
const QString kReal = QStringLiteral("net-real");
const QString kDevices = QStringLiteral("net-devices");
} // namespace

void AddNetSimOptions(QCommandLineParser& parser) {
    parser.addOption({kLoopback, QStringLiteral("Network devices on loopback only (default).")});
    parser.addOption({kReal, QStringLiteral("Network devices on the real addresses and the "
                                            "default interface. Only inside a network "
                                            "namespace made for a test.")});
    parser.addOption(
        {kDevices, QStringLiteral("Simulate <n> default network devices."), QStringLiteral("n")});
}

bool NetSimConfigFromOptions(const QCommandLineParser& parser, const QJsonValue& section,
                             const QString& baseDir, NetSimConfig& config, QString& error) {
    if (!section.isUndefined() && !section.isObject()) {
        error = QStringLiteral("\"network\" is not an object");
        return false;
    }
    if (!NetSimConfigFromJson(section.toObject(), baseDir, config, error)) {
        return false;
    }
    if (parser.isSet(kLoopback) && parser.isSet(kReal)) {
        error = QStringLiteral("--net-loopback and --net-real exclude each other");
        return false;
    }
    if (parser.isSet(kLoopback)) {
        config.loopback = true;
    }
    if (parser.isSet(kReal)) {
        config.loopback = false;
    }
    if (parser.isSet(kDevices)) {
        bool ok = false;
        const int count = parser.value(kDevices).toInt(&ok);
        if (!ok || count < 0 || count > 255) {
            error = QStringLiteral("--net-devices needs a number from 0 to 255");
            return false;
        }
        config.devices.clear();
        for (int i = 0; i < count; ++i) {
            config.devices.push_back(DefaultSimNetDevice(i));
        }
    }
    return true;
}

} // namespace lvx
