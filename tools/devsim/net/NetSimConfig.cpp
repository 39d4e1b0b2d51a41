#include "devsim/net/NetSimConfig.h"

#include "links/TlvDatagram.h"
#include "protocol/Hex.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <cmath>

namespace lvx {
namespace {

// Reads one device object; every failure says which key was wrong.
class DeviceReader {
public:
    DeviceReader(const QJsonObject& object, const QString& baseDir, const QString& where)
        : object_(object), baseDir_(baseDir), where_(where) {}

    bool read(SimNetDeviceSettings& s) {
        static const QSet<QString> kKeys{
            "mac",     "ip",         "subnetMask", "gateway",     "dns",         "ipMode",
            "webPort", "telnetPort", "productId",  "productName", "description", "serialNumber",
            "spare1",  "spare2",     "vid",        "pid",         "version",     "inputs",
            "outputs", "users",      "internals",  "edids",       "faults"};
        for (auto it = object_.begin(); it != object_.end(); ++it) {
            if (!kKeys.contains(it.key())) {
                return fail(it.key(), "unknown key");
            }
        }
        return mac("mac", s.mac) && address("ip", s.ipAddress) &&
               address("subnetMask", s.subnetMask) && address("gateway", s.gateway) &&
               address("dns", s.dns) && ipMode(s.ipMode) && number("webPort", 65535, s.webPort) &&
               number("telnetPort", 65535, s.telnetPort) && productId(s.productIdBytes) &&
               text("productName", s.productName) && text("description", s.description) &&
               text("serialNumber", s.serialNumber) && text("spare1", s.spareText1) &&
               text("spare2", s.spareText2) && text("vid", s.vid) && text("pid", s.pid) &&
               text("version", s.version) && number("inputs", 255, s.inputs) &&
               number("outputs", 255, s.outputs) && number("users", 255, s.users) &&
               number("internals", 255, s.internals) && edids(s) && faults(s.faults);
    }

    QString error() const { return error_; }

private:
    bool fail(const QString& key, const QString& why) {
        error_ = QStringLiteral("%1, \"%2\": %3").arg(where_, key, why);
        return false;
    }

    bool text(const char* key, std::string& out) {
        const QJsonValue value = object_.value(key);
        if (value.isUndefined()) {
            return true;
        }
        if (!value.isString()) {
            return fail(key, "not a text");
        }
        out = value.toString().toLatin1().toStdString();
        return true;
    }

    // A whole number from 0 to `high`, kept in `out` when the key is there.
    template <typename T>
    bool number(const char* key, int high, T& out) {
        const QJsonValue value = object_.value(key);
        if (value.isUndefined()) {
            return true;
        }
        const double n = value.toDouble(-1.0);
        if (!value.isDouble() || n < 0 || n > high || n != std::floor(n)) {
            return fail(key, QStringLiteral("not a whole number from 0 to %1").arg(high));
        }
        out = static_cast<T>(n);
        return true;
    }

    bool ipMode(std::uint8_t& out) {
        const QJsonValue value = object_.value("ipMode");
        if (value.isUndefined()) {
            return true;
        }
        const QString mode = value.toString().toLower();
        if (mode == "static" || (value.isDouble() && value.toDouble() == 0)) {
            out = 0;
        } else if (mode == "dhcp" || (value.isDouble() && value.toDouble() == 1)) {
            out = 1;
        } else {
            return fail("ipMode", "neither \"static\" nor \"dhcp\"");
        }
        return true;
    }

    bool mac(const char* key, MacAddress& out) {
        std::string value;
        if (!text(key, value) || !object_.contains(key)) {
            return error_.isEmpty();
        }
        static const QRegularExpression kPattern(
            "^([0-9A-Fa-f]{2}):([0-9A-Fa-f]{2}):([0-9A-Fa-f]{2}):([0-9A-Fa-f]{2}):"
            "([0-9A-Fa-f]{2}):([0-9A-Fa-f]{2})$");
        const QRegularExpressionMatch match = kPattern.match(QString::fromStdString(value));
        if (!match.hasMatch()) {
            return fail(key, "not six hexadecimal pairs joined by \":\"");
        }
        for (int i = 0; i < 6; ++i) {
            out[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(match.captured(i + 1).toUInt(nullptr, 16));
        }
        return true;
    }

    bool address(const char* key, Ipv4Bytes& out) {
        std::string value;
        if (!text(key, value) || !object_.contains(key)) {
            return error_.isEmpty();
        }
        const QStringList pieces = QString::fromStdString(value).split('.');
        Ipv4Bytes bytes{};
        bool good = pieces.size() == 4;
        for (int i = 0; good && i < 4; ++i) {
            const uint piece = pieces[i].toUInt(&good);
            good = good && piece <= 255;
            bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(piece);
        }
        if (!good) {
            return fail(key, "not a dotted IPv4 address");
        }
        out = bytes;
        return true;
    }

    // The product ID as the program shows it ("2037"): the bytes go out last one first.
    bool productId(std::vector<std::uint8_t>& out) {
        std::string value;
        if (!text("productId", value) || !object_.contains("productId")) {
            return error_.isEmpty();
        }
        if (value.size() % 2 != 0 ||
            value.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) {
            return fail("productId", "not pairs of hexadecimal digits");
        }
        out.clear();
        for (std::size_t i = value.size(); i >= 2; i -= 2) {
            out.push_back(static_cast<std::uint8_t>(HexDigitValue(value[i - 2]) << 4 |
                                                    HexDigitValue(value[i - 1])));
        }
        return true;
    }

    bool edids(SimNetDeviceSettings& s) {
        const QJsonValue value = object_.value("edids");
        if (value.isUndefined()) {
            return true;
        }
        if (!value.isObject()) {
            return fail("edids", "not an object");
        }
        static const QRegularExpression kNode("^(input|output|user|internal)([1-9][0-9]*)$");
        static const QStringList kKinds{"input", "output", "user", "internal"};
        const QJsonObject files = value.toObject();
        for (auto it = files.begin(); it != files.end(); ++it) {
            const QRegularExpressionMatch match = kNode.match(it.key());
            if (!match.hasMatch()) {
                return fail("edids", QStringLiteral("\"%1\" names no node").arg(it.key()));
            }
            const int kind = static_cast<int>(kKinds.indexOf(match.captured(1)));
            const int number = match.captured(2).toInt();
            const int limit = kind == 0   ? s.inputs
                              : kind == 1 ? s.outputs
                              : kind == 2 ? s.users
                                          : s.internals;
            if (number > limit) {
                return fail("edids", QStringLiteral("the device has no %1").arg(it.key()));
            }
            const QString path = QDir(baseDir_).filePath(it.value().toString());
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                return fail("edids", QStringLiteral("cannot read %1").arg(path));
            }
            const QByteArray bytes = file.read(static_cast<qint64>(kEdidSize) + 1);
            if (bytes.size() != static_cast<qsizetype>(kEdidSize)) {
                return fail("edids", QStringLiteral("%1 does not hold 256 bytes").arg(path));
            }
            EdidImage image{};
            std::copy(bytes.begin(), bytes.end(), image.begin());
            s.edids[SimNodeSelector(kind, number - 1)] = image;
        }
        return true;
    }

    bool faults(SimNetFaults& out) {
        const QJsonValue value = object_.value("faults");
        if (value.isUndefined()) {
            return true;
        }
        if (!value.isObject()) {
            return fail("faults", "not an object");
        }
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            bool* flag = it.key() == "badCrc"        ? &out.badCrc
                         : it.key() == "truncated"   ? &out.truncated
                         : it.key() == "answerTwice" ? &out.answerTwice
                         : it.key() == "unknownTag"  ? &out.unknownTag
                                                     : nullptr;
            if (flag == nullptr || !it.value().isBool()) {
                return fail("faults", QStringLiteral("\"%1\" is not a known fault set to true or "
                                                     "false")
                                          .arg(it.key()));
            }
            *flag = it.value().toBool();
        }
        return true;
    }

    const QJsonObject& object_;
    QString baseDir_;
    QString where_;
    QString error_;
};

} // namespace

SimNetDeviceSettings DefaultSimNetDevice(int index) {
    SimNetDeviceSettings s;
    const auto low = static_cast<std::uint8_t>(index + 1);
    s.mac = {0x02, 0x4C, 0x56, 0x58, 0x00, low};
    s.ipAddress = {192, 168, 1, static_cast<std::uint8_t>(101 + index)};
    s.subnetMask = {255, 255, 255, 0};
    s.gateway = {192, 168, 1, 1};
    s.dns = {192, 168, 1, 1};
    s.productIdBytes = {0x37, 0x20};
    s.productName = "LVX-NET";
    s.description = "Network EDID Manager";
    s.serialNumber =
        "SIM" + std::string(8 - std::to_string(index + 1).size(), '0') + std::to_string(index + 1);
    s.vid = "1A2B";
    s.pid = "2037";
    s.version = "1.00";
    s.inputs = 2;
    s.outputs = 2;
    s.users = 4;
    s.internals = 8;
    return s;
}

bool NetSimConfigFromJson(const QJsonObject& network, const QString& baseDir, NetSimConfig& config,
                          QString& error) {
    config = NetSimConfig{};
    for (auto it = network.begin(); it != network.end(); ++it) {
        if (it.key() != "loopback" && it.key() != "devices") {
            error = QStringLiteral("network, \"%1\": unknown key").arg(it.key());
            return false;
        }
    }
    const QJsonValue loopback = network.value("loopback");
    if (!loopback.isUndefined() && !loopback.isBool()) {
        error = QStringLiteral("network, \"loopback\": not true or false");
        return false;
    }
    config.loopback = loopback.toBool(true);

    const QJsonValue devices = network.value("devices");
    if (devices.isUndefined()) {
        config.devices.push_back(DefaultSimNetDevice(0));
        return true;
    }
    if (!devices.isArray()) {
        error = QStringLiteral("network, \"devices\": not a list");
        return false;
    }
    const QJsonArray list = devices.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString where = QStringLiteral("network device %1").arg(i + 1);
        if (!list[i].isObject()) {
            error = where + QStringLiteral(": not an object");
            return false;
        }
        const QJsonObject object = list[i].toObject();
        SimNetDeviceSettings settings = DefaultSimNetDevice(static_cast<int>(i));
        DeviceReader reader(object, baseDir, where);
        if (!reader.read(settings)) {
            error = reader.error();
            return false;
        }
        if (SimNetDevice(settings).discoveryReply().empty()) {
            error = where + QStringLiteral(": its texts are too long for one discovery reply");
            return false;
        }
        config.devices.push_back(std::move(settings));
    }
    return true;
}

} // namespace lvx
