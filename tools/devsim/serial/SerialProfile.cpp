#include "devsim/serial/SerialProfile.h"

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>

namespace lvx::sim {

namespace {

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

int ChannelFromName(const QString& name) {
    const QString t = name.trimmed().toUpper();
    if (t.size() == 1 && t[0] >= QLatin1Char('A') && t[0] <= QLatin1Char('G')) {
        return t[0].unicode() - 'A' + 1;
    }
    bool ok = false;
    const int n = t.toInt(&ok);
    return ok && n >= 1 && n <= 7 ? n : 0;
}

QByteArray ChannelStreamBytes(int channel, qint64 offset, qint64 count) {
    QByteArray out;
    out.reserve(static_cast<int>(count));
    const char letter = static_cast<char>('A' + channel - 1);
    while (count > 0) {
        const qint64 line = offset / kChannelLineLength + 1;
        const int within = static_cast<int>(offset % kChannelLineLength);
        QByteArray text = letter + QByteArray::number(line).rightJustified(6, '0') +
                          " abcdefghijklmnopqrstuvwxyz 0123456789\r\n";
        const QByteArray piece = text.mid(within, static_cast<int>(count));
        out += piece;
        offset += piece.size();
        count -= piece.size();
    }
    return out;
}

QByteArray UnescapeText(const QString& text) {
    const QByteArray in = text.toLatin1();
    QByteArray out;
    for (int i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c != '\\' || i + 1 >= in.size()) {
            out += c;
            continue;
        }
        const char e = in[++i];
        switch (e) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'f':
            out += '\x0C';
            break;
        case 'x': {
            bool ok = false;
            const int value = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok && i + 2 < in.size()) {
                out += static_cast<char>(value);
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        }
        default:
            out += e;
            break;
        }
    }
    return out;
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
    number("channelChunk", p.channelChunk);
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
    const QJsonObject rates = json.value(QLatin1String("channelRate")).toObject();
    for (auto it = rates.begin(); it != rates.end(); ++it) {
        const int channel = ChannelFromName(it.key());
        if (channel == 0) {
            if (error) {
                *error = QStringLiteral("unknown channel: %1").arg(it.key());
            }
            return false;
        }
        if (it.value().toString() == QLatin1String("flood")) {
            p.channelFlood.insert(channel);
        } else {
            p.channelRate[channel] = it.value().toInt();
        }
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
