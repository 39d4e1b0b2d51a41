#include "serial/SerialProfile.h"

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>

namespace lvx::sim {

namespace {

void setChecksum(QByteArray& image, int block) {
    int sum = 0;
    for (int i = block * 128; i < block * 128 + 127; ++i) {
        sum += static_cast<unsigned char>(image[i]);
    }
    image[block * 128 + 127] = static_cast<char>((256 - sum % 256) % 256);
}

QSet<int> intSet(const QJsonValue& value) {
    QSet<int> set;
    if (value.isArray()) {
        for (const QJsonValue& v : value.toArray()) {
            set.insert(v.toInt());
        }
    } else if (value.isDouble()) {
        set.insert(value.toInt());
    }
    return set;
}

QStringList stringList(const QJsonValue& value, const QStringList& fallback) {
    if (!value.isArray()) {
        return fallback;
    }
    QStringList list;
    for (const QJsonValue& v : value.toArray()) {
        list << v.toString();
    }
    return list;
}

} // namespace

QByteArray DefaultSimEdid(std::uint32_t selector) {
    QByteArray image(256, '\0');
    const unsigned char header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    for (int i = 0; i < 8; ++i) {
        image[i] = static_cast<char>(header[i]);
    }
    // Manufacturer "LVX", product code = node selector, serial 1, week 1 of 2020, EDID 1.3.
    image[8] = static_cast<char>(0x32);
    image[9] = static_cast<char>(0xD8);
    image[10] = static_cast<char>(selector & 0xFF);
    image[11] = static_cast<char>((selector >> 8) & 0xFF);
    image[12] = 1;
    image[16] = 1;
    image[17] = 30;
    image[18] = 1;
    image[19] = 3;
    image[20] = static_cast<char>(0x80);
    image[24] = 0x0A;
    image[35] = 0x21;
    for (int i = 38; i < 54; ++i) {
        image[i] = 1;
    }
    // First detailed timing: 1920x1080p at 148.5 MHz.
    const unsigned char dtd[18] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                                   0x2C, 0x45, 0x00, 0xA0, 0x5A, 0x00, 0x00, 0x00, 0x1E};
    for (int i = 0; i < 18; ++i) {
        image[54 + i] = static_cast<char>(dtd[i]);
    }
    // Monitor name descriptor.
    const QByteArray name = QStringLiteral("Node %1").arg(selector, 4, 16, QLatin1Char('0'))
                                .toUpper()
                                .toLatin1();
    image[72 + 3] = static_cast<char>(0xFC);
    int p = 72 + 5;
    for (char c : name) {
        image[p++] = c;
    }
    image[p++] = 0x0A;
    while (p < 90) {
        image[p++] = ' ';
    }
    image[90 + 3] = 0x10;
    image[108 + 3] = 0x10;
    image[126] = 1;
    setChecksum(image, 0);

    // CTA extension: VIC 16 native and VIC 4, L-PCM 2 channels, HDMI VSDB with address 1.0.0.0.
    const unsigned char cta[] = {0x02, 0x03, 0x11, 0x71, 0x42, 0x90, 0x04, 0x23, 0x09,
                                 0x07, 0x07, 0x65, 0x03, 0x0C, 0x00, 0x10, 0x00};
    for (std::size_t i = 0; i < sizeof(cta); ++i) {
        image[128 + static_cast<int>(i)] = static_cast<char>(cta[i]);
    }
    setChecksum(image, 1);
    return image;
}

bool NodeSelectorFromName(const QString& name, std::uint32_t& selector) {
    static const QRegularExpression pattern(QStringLiteral("^(input|output|user|internal)(\\d+)$"));
    const QRegularExpressionMatch match = pattern.match(name.toLower());
    if (!match.hasMatch()) {
        return false;
    }
    const int number = match.captured(2).toInt();
    if (number < 1 || number > 0x1000) {
        return false;
    }
    const QString kind = match.captured(1);
    const std::uint32_t base = kind == QLatin1String("input")    ? 0x0000
                               : kind == QLatin1String("output") ? 0x1000
                               : kind == QLatin1String("user")   ? 0x2000
                                                                 : 0x3000;
    selector = base + static_cast<std::uint32_t>(number - 1);
    return true;
}

bool ProfileFromJson(const QJsonObject& json, SerialProfile& p, QString* error) {
    auto text = [&](const char* key, QString& field) {
        if (json.contains(QLatin1String(key))) {
            field = json.value(QLatin1String(key)).toString();
        }
    };
    auto number = [&](const char* key, int& field) {
        if (json.contains(QLatin1String(key))) {
            field = json.value(QLatin1String(key)).toInt();
        }
    };
    text("name", p.name);
    text("vid", p.vid);
    text("pid", p.pid);
    text("model", p.model);
    text("productString", p.productString);
    text("version", p.version);
    text("ispMarker", p.ispMarker);
    text("ispModel", p.ispModel);
    number("inputs", p.inputs);
    number("outputs", p.outputs);
    number("users", p.users);
    number("internals", p.internals);
    number("channels", p.channels);
    number("silentAfter", p.silentAfter);
    number("splitBytes", p.splitBytes);
    number("splitDelayMs", p.splitDelayMs);
    number("answerDelayMs", p.answerDelayMs);
    if (json.contains(QLatin1String("flag7"))) {
        p.flag7 = json.value(QLatin1String("flag7")).toBool();
    }
    if (json.contains(QLatin1String("silent"))) {
        p.silent = json.value(QLatin1String("silent")).toBool();
    }
    p.inputNodeFields = stringList(json.value(QLatin1String("inputNode")), p.inputNodeFields);
    p.outputNodeFields = stringList(json.value(QLatin1String("outputNode")), p.outputNodeFields);
    p.corruptCrc += intSet(json.value(QLatin1String("corruptCrc")));
    p.drop += intSet(json.value(QLatin1String("drop")));

    const QJsonObject modes = json.value(QLatin1String("inputModes")).toObject();
    for (auto it = modes.begin(); it != modes.end(); ++it) {
        p.inputModes[it.key().toInt()] = it.value().toInt();
    }
    const QJsonObject edids = json.value(QLatin1String("edids")).toObject();
    for (auto it = edids.begin(); it != edids.end(); ++it) {
        std::uint32_t selector = 0;
        if (!NodeSelectorFromName(it.key(), selector)) {
            if (error) {
                *error = QStringLiteral("unknown node name: %1").arg(it.key());
            }
            return false;
        }
        QFile file(it.value().toString());
        if (!file.open(QIODevice::ReadOnly)) {
            if (error) {
                *error = QStringLiteral("cannot read %1").arg(it.value().toString());
            }
            return false;
        }
        QByteArray bytes = file.read(256);
        bytes.append(QByteArray(256 - bytes.size(), static_cast<char>(0xFF)));
        p.edids[selector] = bytes;
    }
    const QJsonObject data = json.value(QLatin1String("channelData")).toObject();
    for (auto it = data.begin(); it != data.end(); ++it) {
        p.channelData[it.key().toInt()] = it.value().toString().toLatin1();
    }
    const QJsonObject config = json.value(QLatin1String("channelConfig")).toObject();
    for (auto it = config.begin(); it != config.end(); ++it) {
        const QJsonArray values = it.value().toArray();
        p.channelConfig[it.key().toInt()] = {values.at(0).toInt(), values.at(1).toInt(),
                                             values.at(2).toInt()};
    }
    if (json.contains(QLatin1String("floodAfterEntrance"))) {
        p.floodAfterEntrance =
            QByteArray(json.value(QLatin1String("floodAfterEntrance")).toInt(), 'x');
    }
    return true;
}

} // namespace lvx::sim
