#include "cli/CliContext.h"

#include "common/PrintableText.h"
#include "connection/ConnectionController.h"
#include "links/UdpEndpoints.h"
#include "protocol/PumpDelay.h"

#include <QJsonDocument>

namespace lvx::cli {

void out(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void err(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

QString Shown(const std::string& deviceText) {
    const std::string text = EscapeControls(deviceText);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString NotListedReason(const ConnectionController& controller, const QString& mac) {
    const DeviceTable& devices = controller.devices();
    const NetworkLink* net = controller.network();
    if (!devices.full() || net == nullptr) {
        return QStringLiteral("no device with MAC %1 answered").arg(mac);
    }
    const std::vector<std::string>& refused = net->refusedForFullTable();
    for (const std::string& text : refused) {
        if (QString::fromStdString(text).compare(mac, Qt::CaseInsensitive) == 0) {
            return QStringLiteral("the device with MAC %1 answered, but the device table was "
                                  "already full (%2 devices) and it was not listed")
                .arg(mac)
                .arg(kDeviceTableSize);
        }
    }
    return QStringLiteral(
               "no device with MAC %1 is listed: the device table is full (%2 devices)%3")
        .arg(mac)
        .arg(kDeviceTableSize)
        .arg(refused.empty()
                 ? QString()
                 : QStringLiteral(" and %1 more replies were not listed").arg(refused.size()));
}

bool PrepareSearch(ConnectionController& controller, const CliContext& context) {
    controller.givenPorts = context.ports;
    controller.comPort = !context.noSerial;
    controller.ethernet = !context.noEthernet;
    if (context.trace) {
        controller.log().onTrace = [](std::string_view piece) {
            const std::string text = EscapeControls(piece, TextBytes::Latin1, true);
            err(QString::fromLatin1(text.data(), static_cast<int>(text.size())) +
                QStringLiteral("\n"));
        };
    } else {
        // What the user must act on (a refused port) shows without --trace too.
        controller.log().onNotice = [](std::string_view text) {
            const std::string shown = EscapeControls(text, TextBytes::Latin1, true);
            err(QStringLiteral("linkvex-cli: ") +
                QString::fromLocal8Bit(shown.data(), static_cast<int>(shown.size())).trimmed() +
                QStringLiteral("\n"));
        };
    }
    if (controller.ethernet) {
        const EndpointConfig config =
            context.loopback ? EndpointConfig::loopback() : EndpointConfig{};
        QString error;
        if (!controller.openNetwork(config, &error)) {
            err(QStringLiteral("linkvex-cli: the network endpoints cannot open (%1); is the "
                               "program already running? Use --no-ethernet for the COM ports "
                               "only.\n")
                    .arg(error));
            return false;
        }
    }
    return true;
}

void RunSearchFlow(ConnectionController& controller) {
    controller.search();
    if (controller.ethernet) {
        // The window shows replies as they come; a command line waits for the late ones.
        PumpDelay(400);
    }
}

QJsonObject NetworkJson(const NetworkRecord& r) {
    QJsonObject o;
    auto text = [](const std::string& s) { return QString::fromLatin1(s.data(), int(s.size())); };
    o[QStringLiteral("productId")] = text(r.productId);
    o[QStringLiteral("productName")] = text(r.productName);
    o[QStringLiteral("macText")] = text(r.macText);
    o[QStringLiteral("ip")] = text(r.ipAddress);
    o[QStringLiteral("subnetMask")] = text(r.subnetMask);
    o[QStringLiteral("gateway")] = text(r.gateway);
    o[QStringLiteral("dns")] = text(r.dns);
    o[QStringLiteral("ipMode")] = r.ipMode;
    o[QStringLiteral("webPort")] = r.webPort;
    o[QStringLiteral("telnetPort")] = r.telnetPort;
    o[QStringLiteral("serialNumber")] = text(r.serialNumber);
    o[QStringLiteral("spare1")] = text(r.spareText1);
    o[QStringLiteral("spare2")] = text(r.spareText2);
    o[QStringLiteral("description")] = text(r.description);
    return o;
}

QJsonObject RecordJson(const DeviceRecord& r) {
    auto nodes = [](const std::array<NodeEntry, kNodeCount>& entries) {
        QJsonArray list;
        for (const NodeEntry& node : entries) {
            QJsonArray bytes;
            for (std::uint8_t b : node.bytes) {
                bytes.append(b);
            }
            list.append(bytes);
        }
        return list;
    };
    QJsonObject o;
    o[QStringLiteral("vid")] = QString::fromStdString(r.vid);
    o[QStringLiteral("pid")] = QString::fromStdString(r.pid);
    o[QStringLiteral("model")] = QString::fromStdString(r.model);
    o[QStringLiteral("productString")] = QString::fromStdString(r.productString);
    o[QStringLiteral("serialNumber")] = QString::fromStdString(r.serialNumber);
    o[QStringLiteral("version")] = QString::fromStdString(r.version);
    o[QStringLiteral("descriptorFlag7")] = r.descriptorFlag7;
    o[QStringLiteral("fwFileReady")] = r.fwFileReady;
    o[QStringLiteral("linkKind")] = static_cast<int>(r.linkKind);
    o[QStringLiteral("inputCount")] = r.inputCount;
    o[QStringLiteral("outputCount")] = r.outputCount;
    o[QStringLiteral("userEdidCount")] = r.userEdidCount;
    o[QStringLiteral("internalEdidCount")] = r.internalEdidCount;
    o[QStringLiteral("nodeSelector")] = static_cast<qint64>(r.nodeSelector);
    o[QStringLiteral("comChannelCount")] = r.comChannelCount;
    o[QStringLiteral("inputNodes")] = nodes(r.inputNodes);
    o[QStringLiteral("outputNodes")] = nodes(r.outputNodes);
    return o;
}

QJsonObject RowJson(const DeviceRow& row, const DeviceRecord& record, int index) {
    QJsonObject o;
    o[QStringLiteral("row")] = index + 1;
    o[QStringLiteral("interface")] = QString::fromStdString(row.interface);
    o[QStringLiteral("product")] = QString::fromStdString(row.product);
    o[QStringLiteral("description")] = QString::fromStdString(row.description);
    o[QStringLiteral("ip")] = QString::fromStdString(row.ip);
    o[QStringLiteral("mac")] = QString::fromStdString(row.mac);
    o[QStringLiteral("isp")] = row.isp;
    o[QStringLiteral("record")] = RecordJson(record);
    return o;
}

int RunPorts(const CliContext& context) {
    for (const QString& port : ListSerialPorts(context.ports)) {
        out(port + QStringLiteral("\n"));
    }
    return kExitOk;
}

int RunSearch(const CliContext& context) {
    ConnectionController controller;
    if (!PrepareSearch(controller, context)) {
        return kExitFailure;
    }
    RunSearchFlow(controller);
    const auto& rows = controller.rows();
    if (context.json) {
        QJsonArray list;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const int index = static_cast<int>(i);
            QJsonObject row = RowJson(rows[i], controller.devices().at(index), index);
            if (controller.network() && !controller.devices().at(index).isSerial()) {
                row[QStringLiteral("network")] =
                    NetworkJson(controller.network()->networkRecord(index));
            }
            list.append(row);
        }
        out(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)));
    } else {
        for (const DeviceRow& row : rows) {
            QStringList cells;
            for (int c = 0; c < kDeviceColumns; ++c) {
                cells << Shown(row.column(c)).trimmed();
            }
            out(cells.join(QStringLiteral("\t")) + QStringLiteral("\n"));
        }
        if (rows.empty()) {
            err(QStringLiteral("No device found.\n"));
        }
    }
    controller.disconnectDevices();
    return kExitOk;
}

} // namespace lvx::cli

namespace lvx::cli {

int RunInfo(const CliContext& context) {
    if (context.mac.isEmpty()) {
        err(QStringLiteral("linkvex-cli info: --mac is required\n"));
        return kExitUsage;
    }
    CliContext networkOnly = context;
    networkOnly.noEthernet = false;
    networkOnly.noSerial = true;
    ConnectionController controller;
    if (!PrepareSearch(controller, networkOnly)) {
        return kExitFailure;
    }
    RunSearchFlow(controller);
    const auto& rows = controller.rows();
    int found = -1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (QString::fromStdString(rows[i].mac).compare(context.mac, Qt::CaseInsensitive) == 0) {
            found = static_cast<int>(i);
            break;
        }
    }
    if (found < 0) {
        err(QStringLiteral("linkvex-cli info: %1\n").arg(NotListedReason(controller, context.mac)));
        return kExitFailure;
    }
    controller.select(found + 1);
    PumpDelay(100);
    const DeviceRecord& record = controller.devices().at(found);
    const NetworkRecord& net = controller.network()->networkRecord(found);
    QJsonObject o = RowJson(rows[static_cast<std::size_t>(found)], record, found);
    o[QStringLiteral("network")] = NetworkJson(net);
    if (context.json) {
        out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
    } else {
        const SelectedDevice& device = controller.selectedDevice();
        out(QStringLiteral("Product:      %1\n").arg(Shown(net.productName)));
        out(QStringLiteral("Description:  %1\n").arg(Shown(record.productString)));
        out(QStringLiteral("MAC:          %1\n").arg(Shown(net.macText)));
        out(QStringLiteral("IP:           %1 / %2 via %3 (%4)\n")
                .arg(Shown(net.ipAddress), Shown(net.subnetMask), Shown(net.gateway),
                     net.ipMode == 1 ? QStringLiteral("DHCP") : QStringLiteral("STATIC")));
        out(QStringLiteral("Firmware:     VID %1, PID %2, version %3\n")
                .arg(Shown(device.vid), Shown(device.pid), Shown(device.version)));
        out(QStringLiteral("Serial:       %1\n").arg(Shown(device.serialNumber)));
        out(QStringLiteral("Nodes:        %1 inputs, %2 outputs, %3 user slots, %4 internal\n")
                .arg(record.inputCount)
                .arg(record.outputCount)
                .arg(record.userEdidCount)
                .arg(record.internalEdidCount));
    }
    return kExitOk;
}

} // namespace lvx::cli
