// linkvex-devsim: stand-in devices for tests and demos. Serial devices live on pseudo
// terminals whose paths are printed first, one per line; then "ready" is printed.
#include "serial/SerialDeviceSim.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

using namespace lvx::sim;

namespace {

int fail(const QString& message) {
    std::fprintf(stderr, "linkvex-devsim: %s\n", qPrintable(message));
    return 2;
}

void onSignal(int) { QCoreApplication::quit(); }

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("linkvex-devsim"));
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated Linkvex devices on pseudo terminals and loopback UDP."));
    parser.addHelpOption();
    const QCommandLineOption config(QStringLiteral("config"),
                                    QStringLiteral("JSON file with \"serial\" and \"network\" sections."),
                                    QStringLiteral("file"));
    const QCommandLineOption noSerial(QStringLiteral("no-serial"),
                                      QStringLiteral("No serial device unless the config has one."));
    const QCommandLineOption isp(QStringLiteral("isp"),
                                 QStringLiteral("Answer ENTRANCE in loader mode (029 or 091)."),
                                 QStringLiteral("kind"));
    const QCommandLineOption model(QStringLiteral("model"), QStringLiteral("Model text."),
                                   QStringLiteral("text"));
    const QCommandLineOption product(QStringLiteral("product"), QStringLiteral("Product string."),
                                     QStringLiteral("text"));
    const QCommandLineOption counts(QStringLiteral("counts"),
                                    QStringLiteral("inputs,outputs,users,internals,channels"),
                                    QStringLiteral("list"));
    const QCommandLineOption edid(QStringLiteral("edid"),
                                  QStringLiteral("EDID of a node, e.g. input1=file.bin."),
                                  QStringLiteral("node=file"));
    const QCommandLineOption corrupt(QStringLiteral("corrupt-crc"),
                                     QStringLiteral("Send answer N with a wrong CRC."),
                                     QStringLiteral("n"));
    const QCommandLineOption drop(QStringLiteral("drop"), QStringLiteral("Do not send answer N."),
                                  QStringLiteral("n"));
    const QCommandLineOption split(QStringLiteral("split"),
                                   QStringLiteral("Send answers in pieces of this many bytes."),
                                   QStringLiteral("bytes"));
    const QCommandLineOption silentAfter(QStringLiteral("silent-after"),
                                         QStringLiteral("Stop answering after N answers."),
                                         QStringLiteral("n"));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("Never answer (a port with nothing behind it)."));
    const QCommandLineOption logFile(QStringLiteral("log"),
                                     QStringLiteral("Write every request and answer to a file."),
                                     QStringLiteral("file"));
    parser.addOptions({config, noSerial, isp, model, product, counts, edid, corrupt, drop, split,
                       silentAfter, silent, logFile});
    parser.process(app);

    QJsonObject root;
    if (parser.isSet(config)) {
        QFile file(parser.value(config));
        if (!file.open(QIODevice::ReadOnly)) {
            return fail(QStringLiteral("cannot read %1").arg(parser.value(config)));
        }
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
        if (!doc.isObject()) {
            return fail(QStringLiteral("%1: %2").arg(parser.value(config), error.errorString()));
        }
        root = doc.object();
    }

    // Serial devices: those of the config file, or one built from the options.
    QJsonArray serialJson;
    const QJsonValue serialValue = root.value(QStringLiteral("serial"));
    if (serialValue.isArray()) {
        serialJson = serialValue.toArray();
    } else if (serialValue.isObject()) {
        serialJson.append(serialValue);
    } else if (!parser.isSet(noSerial)) {
        serialJson.append(QJsonObject{});
    }

    std::vector<std::unique_ptr<SerialDeviceSim>> devices;
    for (int i = 0; i < serialJson.size(); ++i) {
        SerialProfile profile;
        QString error;
        if (!ProfileFromJson(serialJson.at(i).toObject(), profile, &error)) {
            return fail(error);
        }
        if (i == 0) {
            // Options shape the first serial device.
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
                int* fields[] = {&profile.inputs, &profile.outputs, &profile.users,
                                 &profile.internals, &profile.channels};
                for (int k = 0; k < c.size() && k < 5; ++k) {
                    *fields[k] = c[k].toInt();
                }
            }
            for (const QString& spec : parser.values(edid)) {
                const int eq = spec.indexOf(QLatin1Char('='));
                std::uint32_t selector = 0;
                if (eq < 0 || !NodeSelectorFromName(spec.left(eq), selector)) {
                    return fail(QStringLiteral("bad --edid %1").arg(spec));
                }
                QFile file(spec.mid(eq + 1));
                if (!file.open(QIODevice::ReadOnly)) {
                    return fail(QStringLiteral("cannot read %1").arg(spec.mid(eq + 1)));
                }
                QByteArray bytes = file.read(256);
                bytes.append(QByteArray(256 - bytes.size(), static_cast<char>(0xFF)));
                profile.edids[selector] = bytes;
            }
            for (const QString& n : parser.values(corrupt)) {
                profile.corruptCrc.insert(n.toInt());
            }
            for (const QString& n : parser.values(drop)) {
                profile.drop.insert(n.toInt());
            }
            if (parser.isSet(split)) {
                profile.splitBytes = parser.value(split).toInt();
            }
            if (parser.isSet(silentAfter)) {
                profile.silentAfter = parser.value(silentAfter).toInt();
            }
            if (parser.isSet(silent)) {
                profile.silent = true;
            }
        }
        auto device = std::make_unique<SerialDeviceSim>(profile);
        if (!device->start(&error)) {
            return fail(error);
        }
        if (parser.isSet(logFile)) {
            const QString base = parser.value(logFile);
            device->setLogFile(i == 0 ? base : base + QLatin1Char('.') + QString::number(i));
        }
        std::printf("%s\n", qPrintable(device->path()));
        devices.push_back(std::move(device));
    }

    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
