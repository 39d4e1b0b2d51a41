// linkvex-devsim: simulated devices that answer like real ones, with faults on demand.
// Serial devices live on pseudo terminals: their paths are printed first, one per line.
// Network devices run when the config file has a "network" section or a --net option is
// given. Then "ready" is printed, and the devices run until the process is stopped.
#include "devsim/net/NetDeviceSim.h"
#include "devsim/net/NetSimOptions.h"
#include "devsim/serial/SerialDeviceSim.h"
#include "protocol/CommandTable.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/prctl.h>
#include <vector>

using lvx::sim::SerialDeviceSim;
using lvx::sim::SerialProfile;

namespace {

int Fail(const QString& message) {
    std::fprintf(stderr, "linkvex-devsim: %s\n", qPrintable(message));
    return 2;
}

bool LoadConfigFile(const QString& path, QJsonObject& config, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        error = QStringLiteral("%1: %2").arg(path, parseError.errorString());
        return false;
    }
    config = document.object();
    return true;
}

void OnSignal(int) {
    QCoreApplication::quit();
}

struct SerialOptions {
    QCommandLineOption noSerial{QStringLiteral("no-serial"),
                                QStringLiteral("No serial device unless the config has some.")};
    QCommandLineOption isp{QStringLiteral("isp"),
                           QStringLiteral("Answer ENTRANCE in loader mode (029 or 091)."),
                           QStringLiteral("kind")};
    QCommandLineOption model{QStringLiteral("model"), QStringLiteral("Model text."),
                             QStringLiteral("text")};
    QCommandLineOption product{QStringLiteral("product"), QStringLiteral("Product string."),
                               QStringLiteral("text")};
    QCommandLineOption counts{QStringLiteral("counts"),
                              QStringLiteral("inputs,outputs,users,internals,channels"),
                              QStringLiteral("list")};
    QCommandLineOption edid{QStringLiteral("edid"),
                            QStringLiteral("EDID of a node, e.g. input1=file.bin."),
                            QStringLiteral("node=file")};
    QCommandLineOption corrupt{QStringLiteral("corrupt-crc"),
                               QStringLiteral("Send answer N with a wrong CRC (repeatable)."),
                               QStringLiteral("n")};
    QCommandLineOption corruptAnswer{
        QStringLiteral("corrupt-answer"),
        QStringLiteral("Send the Nth answer to a command with a wrong CRC, e.g. ND_ED0A:1 "
                       "(repeatable; N is 1 when left out)."),
        QStringLiteral("name[:n]")};
    QCommandLineOption wrongAnswer{
        QStringLiteral("wrong-answer"),
        QStringLiteral("Answer the Nth answer to a command with a well-formed answer of the wrong "
                       "shape (valid CRC): \"OK\", or TEXT when given, e.g. ND_ED0B:1 or "
                       "ND_ED0A:2=00FF (repeatable; N is 1 when left out, \"all\" for every "
                       "one)."),
        QStringLiteral("name[:n][=text]")};
    QCommandLineOption rejectFrames{
        QStringLiteral("reject-frames"),
        QStringLiteral("Loader mode: take no FW_ADDR and no FW_DATA (nothing is flashed).")};
    QCommandLineOption mute{QStringLiteral("mute"),
                            QStringLiteral("Never answer this command, e.g. ND_ED0B (repeatable)."),
                            QStringLiteral("name")};
    QCommandLineOption inputNode{QStringLiteral("input-node"),
                                 QStringLiteral("Node descriptor fields 1-8 of every input, "
                                                "comma separated (default 1,0,0,T,T,F,T,F)."),
                                 QStringLiteral("fields")};
    QCommandLineOption drop{QStringLiteral("drop"),
                            QStringLiteral("Do not send answer N (repeatable)."),
                            QStringLiteral("n")};
    QCommandLineOption split{QStringLiteral("split"),
                             QStringLiteral("Send answers in pieces of this many bytes."),
                             QStringLiteral("bytes")};
    QCommandLineOption splitDelay{QStringLiteral("split-delay"),
                                  QStringLiteral("Pause between answer pieces (default 15 ms)."),
                                  QStringLiteral("ms")};
    QCommandLineOption silentAfter{QStringLiteral("silent-after"),
                                   QStringLiteral("Stop answering after N answers."),
                                   QStringLiteral("n")};
    QCommandLineOption silent{QStringLiteral("silent"),
                              QStringLiteral("Never answer (a port with nothing behind it).")};
    QCommandLineOption flashFile{QStringLiteral("flash-file"),
                                 QStringLiteral("Loader mode: write the flashed image to a file "
                                                "at FW_END."),
                                 QStringLiteral("file")};
    QCommandLineOption checkWrong{
        QStringLiteral("check-wrong"),
        QStringLiteral("Loader mode: answer the first N page checks of page P (address / 2048) "
                       "with a wrong sum; N is 1 when left out, \"all\" for every one "
                       "(repeatable)."),
        QStringLiteral("P[:N]")};
    QCommandLineOption checkSilent{
        QStringLiteral("check-silent"),
        QStringLiteral("Loader mode: never answer the page checks of page P (repeatable)."),
        QStringLiteral("P")};
    QCommandLineOption channelText{
        QStringLiteral("channel-text"),
        QStringLiteral("Text waiting on a channel, e.g. B=hello\\r\\n (escapes \\r \\n \\t "
                       "\\xHH; repeatable)."),
        QStringLiteral("channel=text")};
    QCommandLineOption channelRate{
        QStringLiteral("channel-rate"),
        QStringLiteral("Numbered lines arriving on a channel, in bytes per second, or 'flood' "
                       "for a full answer at every poll, e.g. A=300 (repeatable)."),
        QStringLiteral("channel=rate")};
    QCommandLineOption channelChunk{
        QStringLiteral("channel-chunk"),
        QStringLiteral("Most channel text per COM_MSG answer (default 200, at most 1014)."),
        QStringLiteral("bytes")};
    QCommandLineOption channelConfig{
        QStringLiteral("channel-config"),
        QStringLiteral("Settings a channel reports: baud, data and parity indexes, e.g. "
                       "D=3,3,0 (repeatable)."),
        QStringLiteral("channel=b,d,p")};
    QCommandLineOption log{QStringLiteral("log"),
                           QStringLiteral("Write every request and answer to a file (the Nth "
                                          "serial device after the first adds .N)."),
                           QStringLiteral("file")};

    void addTo(QCommandLineParser& parser) const {
        parser.addOptions({noSerial,    isp,         model,         product,       counts,
                           edid,        corrupt,     corruptAnswer, mute,          inputNode,
                           drop,        split,       splitDelay,    silentAfter,   silent,
                           channelText, channelRate, channelChunk,  channelConfig, log,
                           flashFile,   checkWrong,  checkSilent,   wrongAnswer,   rejectFrames});
    }

    // The options shape the first serial device.
    bool apply(const QCommandLineParser& parser, SerialProfile& profile, QString& error) const {
        if (parser.isSet(isp)) {
            profile.ispMarker = QStringLiteral("$ISP") + parser.value(isp);
        }
        if (parser.isSet(model)) {
            profile.model = parser.value(model);
            profile.ispModel = parser.value(model);
        }
        if (parser.isSet(product)) {
            profile.productString = parser.value(product);
        }
        if (parser.isSet(counts)) {
            const QStringList c = parser.value(counts).split(QLatin1Char(','));
            int* fields[] = {&profile.inputs, &profile.outputs, &profile.users, &profile.internals,
                             &profile.channels};
            for (int k = 0; k < c.size() && k < 5; ++k) {
                *fields[k] = c[k].toInt();
            }
        }
        for (const QString& entry : parser.values(edid)) {
            const int eq = entry.indexOf(QLatin1Char('='));
            std::uint32_t selector = 0;
            if (eq < 0 || !lvx::sim::NodeSelectorFromName(entry.left(eq), selector)) {
                error = QStringLiteral("bad --edid %1").arg(entry);
                return false;
            }
            QFile file(entry.mid(eq + 1));
            if (!file.open(QIODevice::ReadOnly)) {
                error = QStringLiteral("cannot read %1").arg(entry.mid(eq + 1));
                return false;
            }
            QByteArray bytes = file.read(256);
            bytes.append(QByteArray(256 - bytes.size(), static_cast<char>(0xFF)));
            profile.edids[selector] = bytes;
        }
        for (const QString& n : parser.values(corrupt)) {
            profile.corruptCrc.insert(n.toInt());
        }
        for (const QString& entry : parser.values(corruptAnswer)) {
            const QStringList parts = entry.split(QLatin1Char(':'));
            const int command = lvx::CommandByName(parts[0].toStdString());
            if (command < 0) {
                error = QStringLiteral("bad --corrupt-answer %1").arg(entry);
                return false;
            }
            profile.corruptCommand[command].insert(parts.size() > 1 ? parts[1].toInt() : 1);
        }
        for (const QString& entry : parser.values(wrongAnswer)) {
            const int eq = entry.indexOf(QLatin1Char('='));
            const QStringList parts =
                entry.left(eq < 0 ? entry.size() : eq).split(QLatin1Char(':'));
            const int command = lvx::CommandByName(parts[0].toStdString());
            bool ok = parts.size() <= 2;
            const int n = parts.size() < 2                   ? 1
                          : parts[1] == QLatin1String("all") ? 0
                                                             : parts[1].toInt(&ok);
            if (command < 0 || !ok || n < 0) {
                error = QStringLiteral("bad --wrong-answer %1").arg(entry);
                return false;
            }
            profile.wrongCommand[command].insert(n);
            if (eq >= 0) {
                profile.wrongText[command] = lvx::sim::UnescapeText(entry.mid(eq + 1));
            }
        }
        if (parser.isSet(rejectFrames)) {
            profile.rejectFrames = true;
        }
        for (const QString& name : parser.values(mute)) {
            const int command = lvx::CommandByName(name.toStdString());
            if (command < 0) {
                error = QStringLiteral("bad --mute %1").arg(name);
                return false;
            }
            profile.muted.insert(command);
        }
        if (parser.isSet(inputNode)) {
            profile.inputNodeFields = parser.value(inputNode).split(QLatin1Char(','));
        }
        for (const QString& n : parser.values(drop)) {
            profile.drop.insert(n.toInt());
        }
        if (parser.isSet(split)) {
            profile.splitBytes = parser.value(split).toInt();
        }
        if (parser.isSet(splitDelay)) {
            profile.splitDelayMs = parser.value(splitDelay).toInt();
        }
        if (parser.isSet(silentAfter)) {
            profile.silentAfter = parser.value(silentAfter).toInt();
        }
        if (parser.isSet(silent)) {
            profile.silent = true;
        }
        if (parser.isSet(flashFile)) {
            profile.flashFile = parser.value(flashFile);
        }
        for (const QString& entry : parser.values(checkWrong)) {
            const QStringList parts = entry.split(QLatin1Char(':'));
            bool ok = false;
            const int page = parts[0].toInt(&ok);
            int times = 1;
            if (ok && parts.size() > 1) {
                times = parts[1] == QLatin1String("all") ? -1 : parts[1].toInt(&ok);
            }
            if (!ok || page < 0 || parts.size() > 2) {
                error = QStringLiteral("bad --check-wrong %1").arg(entry);
                return false;
            }
            profile.checkWrong[page] = times;
        }
        for (const QString& entry : parser.values(checkSilent)) {
            bool ok = false;
            const int page = entry.toInt(&ok);
            if (!ok || page < 0) {
                error = QStringLiteral("bad --check-silent %1").arg(entry);
                return false;
            }
            profile.checkSilent.insert(page);
        }
        // "C=value" with C a channel letter or number.
        auto channelEntry = [&](const QString& entry, const QCommandLineOption& option,
                                int& channel, QString& value) {
            const int eq = entry.indexOf(QLatin1Char('='));
            channel = eq > 0 ? lvx::sim::ChannelFromName(entry.left(eq)) : 0;
            value = entry.mid(eq + 1);
            if (channel == 0) {
                error = QStringLiteral("bad --%1 %2").arg(option.names().constFirst(), entry);
                return false;
            }
            return true;
        };
        for (const QString& entry : parser.values(channelText)) {
            int channel = 0;
            QString value;
            if (!channelEntry(entry, channelText, channel, value)) {
                return false;
            }
            profile.channelData[channel] += lvx::sim::UnescapeText(value);
        }
        for (const QString& entry : parser.values(channelRate)) {
            int channel = 0;
            QString value;
            if (!channelEntry(entry, channelRate, channel, value)) {
                return false;
            }
            if (value == QLatin1String("flood")) {
                profile.channelFlood.insert(channel);
            } else {
                profile.channelRate[channel] = value.toInt();
            }
        }
        if (parser.isSet(channelChunk)) {
            profile.channelChunk = parser.value(channelChunk).toInt();
        }
        for (const QString& entry : parser.values(channelConfig)) {
            int channel = 0;
            QString value;
            if (!channelEntry(entry, channelConfig, channel, value)) {
                return false;
            }
            const QStringList parts = value.split(QLatin1Char(','));
            if (parts.size() != 3) {
                error = QStringLiteral("bad --channel-config %1").arg(entry);
                return false;
            }
            profile.channelConfig[channel] = {parts[0].toInt(), parts[1].toInt(), parts[2].toInt()};
        }
        return true;
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("linkvex-devsim"));
    // A test that dies must not leave its devices answering the next test's probes.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated Linkvex devices on pseudo terminals and loopback UDP."));
    parser.addHelpOption();
    const QCommandLineOption configOption(
        QStringLiteral("config"),
        QStringLiteral("Devices as described in <file> (JSON, \"serial\" and \"network\")."),
        QStringLiteral("file"));
    parser.addOption(configOption);
    const SerialOptions serialOptions;
    serialOptions.addTo(parser);
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

    // Every part of the configuration is checked before any device starts.
    const bool wantNetwork = config.contains(QStringLiteral("network")) ||
                             parser.isSet(QStringLiteral("net-loopback")) ||
                             parser.isSet(QStringLiteral("net-real")) ||
                             parser.isSet(QStringLiteral("net-devices"));
    lvx::NetSimConfig netConfig;
    if (wantNetwork &&
        !lvx::NetSimConfigFromOptions(parser, config.value(QStringLiteral("network")), baseDir,
                                      netConfig, error)) {
        return Fail(error);
    }

    // Serial devices: those of the config file, or one built from the options.
    QJsonArray serialJson;
    const QJsonValue serialValue = config.value(QStringLiteral("serial"));
    if (serialValue.isArray()) {
        serialJson = serialValue.toArray();
    } else if (serialValue.isObject()) {
        serialJson.append(serialValue);
    } else if (!parser.isSet(serialOptions.noSerial)) {
        serialJson.append(QJsonObject{});
    }
    std::vector<SerialProfile> profiles;
    for (int i = 0; i < serialJson.size(); ++i) {
        SerialProfile profile;
        if (!lvx::sim::ProfileFromJson(serialJson.at(i).toObject(), profile, &error)) {
            return Fail(error);
        }
        if (i == 0 && !serialOptions.apply(parser, profile, error)) {
            return Fail(error);
        }
        profiles.push_back(profile);
    }

    std::unique_ptr<lvx::NetDeviceSim> network;
    if (wantNetwork) {
        network = std::make_unique<lvx::NetDeviceSim>(netConfig);
        QObject::connect(network.get(), &lvx::NetDeviceSim::activity, [](const QString& line) {
            std::fprintf(stderr, "net: %s\n", qPrintable(line));
        });
        if (!network->start()) {
            return Fail(network->errorString());
        }
    }

    std::vector<std::unique_ptr<SerialDeviceSim>> serialDevices;
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        auto device = std::make_unique<SerialDeviceSim>(profiles[i]);
        if (!device->start(&error)) {
            return Fail(error);
        }
        if (parser.isSet(serialOptions.log)) {
            const QString base = parser.value(serialOptions.log);
            device->setLogFile(i == 0 ? base : base + QLatin1Char('.') + QString::number(int(i)));
        }
        std::printf("%s\n", qPrintable(device->path()));
        serialDevices.push_back(std::move(device));
    }

    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
