// net_search_probe: the program's network side for end-to-end tests. Sends the discovery
// probe, waits, and prints every device found as one JSON line. With --open it then opens
// each device as a selection does and prints what the opening queries filled in.
//   net_search_probe --loopback | --real [--wait MS] [--open]
// --real uses the real addresses and is meant for a network namespace made by a test.

#include "common/EdidImage.h"
#include "links/NetworkLink.h"
#include "protocol/DeviceRecord.h"
#include "protocol/PumpDelay.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void PrintLine(const QJsonObject& object) {
    std::printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption loopback(QStringLiteral("loopback"),
                                      QStringLiteral("Probe on loopback."));
    const QCommandLineOption real(QStringLiteral("real"),
                                  QStringLiteral("Probe on the real addresses."));
    const QCommandLineOption wait(QStringLiteral("wait"),
                                  QStringLiteral("Wait <ms> for replies (500)."),
                                  QStringLiteral("ms"), QStringLiteral("500"));
    const QCommandLineOption open(QStringLiteral("open"),
                                  QStringLiteral("Open each device found and print its identity."));
    parser.addOptions({loopback, real, wait, open});
    parser.process(app);
    if (parser.isSet(loopback) == parser.isSet(real)) {
        std::fprintf(stderr, "net_search_probe: give either --loopback or --real\n");
        return 2;
    }

    lvx::DeviceTable devices;
    lvx::EdidImage edid{};
    lvx::NetworkLink link(devices, edid,
                          parser.isSet(loopback) ? lvx::EndpointConfig::loopback()
                                                 : lvx::EndpointConfig{});
    if (!link.open()) {
        std::fprintf(stderr, "net_search_probe: %s\n", qPrintable(link.errorString()));
        return 1;
    }
    if (!link.endpoints().warningString().isEmpty()) {
        std::fprintf(stderr, "net_search_probe: %s\n",
                     qPrintable(link.endpoints().warningString()));
    }

    QObject::connect(&link, &lvx::NetworkLink::deviceAdded, [](int index, const QStringList& row) {
        PrintLine({{"found", index + 1},
                   {"interface", row.value(1)},
                   {"productName", row.value(2)},
                   {"description", row.value(3)},
                   {"ip", row.value(4)},
                   {"mac", row.value(5)}});
    });
    devices.count = 0;
    devices.selected = 0;
    link.sendProbe();
    lvx::PumpDelay(parser.value(wait).toInt());

    if (parser.isSet(open)) {
        for (int i = 0; i < devices.count; ++i) {
            devices.selected = i;
            link.openDevice();
            lvx::PumpDelay(100);
            const lvx::DeviceRecord& d = devices.current();
            PrintLine({{"opened", i + 1},
                       {"vid", Latin1(d.vid)},
                       {"pid", Latin1(d.pid)},
                       {"version", Latin1(d.version)},
                       {"serialNumber", Latin1(d.serialNumber)},
                       {"productString", Latin1(d.productString)},
                       {"inputs", d.inputCount},
                       {"outputs", d.outputCount},
                       {"users", d.userEdidCount}});
        }
    }
    PrintLine({{"count", devices.count}});
    return 0;
}
