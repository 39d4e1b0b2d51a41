#include "cli/CliContext.h"

#include "connection/ConnectionController.h"

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

void PrepareSearch(ConnectionController& controller, const CliContext& context) {
    controller.givenPorts = context.ports;
    controller.comPort = !context.noSerial;
    controller.ethernet = !context.noEthernet;
    if (context.trace) {
        controller.log().onTrace = [](std::string_view piece) {
            err(QString::fromLatin1(piece.data(), static_cast<int>(piece.size())) +
                QStringLiteral("\n"));
        };
    }
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
    o[QStringLiteral("linkKind")] = r.linkKind;
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
    PrepareSearch(controller, context);
    controller.search();
    const auto& rows = controller.rows();
    if (context.json) {
        QJsonArray list;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            list.append(RowJson(rows[i], controller.devices().at(static_cast<int>(i)),
                                static_cast<int>(i)));
        }
        out(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)));
    } else {
        for (const DeviceRow& row : rows) {
            QStringList cells;
            for (int c = 0; c < kDeviceColumns; ++c) {
                cells << QString::fromStdString(row.column(c)).trimmed();
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
