#include "system/FirmwareTool.h"

#include "connection/ActivityLog.h"
#include "connection/ConnectionController.h"

#include "common/RegularFile.h"

#include <QDir>
#include <QFileInfo>

namespace lvx {

bool ReadFirmwareFile(const QString& path, std::vector<std::uint8_t>& bytes, QString& why) {
    if (path.isEmpty()) {
        why = QStringLiteral("no firmware file chosen");
        return false;
    }
    const std::optional<QByteArray> read =
        ReadRegularFile(path, static_cast<qint64>(kFirmwareMaxFileSize) + 1, &why);
    if (!read) {
        return false;
    }
    const QByteArray& data = *read;
    if (static_cast<std::size_t>(data.size()) > kFirmwareMaxFileSize) {
        why = QStringLiteral("%1 is larger than %2 bytes: not a firmware image")
                  .arg(path)
                  .arg(kFirmwareMaxFileSize);
        return false;
    }
    bytes.assign(data.begin(), data.end());
    return true;
}

FirmwareTool::FirmwareTool(ConnectionController& connection, QObject* parent)
    : FlowTool(connection, parent), connection_(connection) {
    report(QStringLiteral("0%"), Severity::Info);
}

void FirmwareTool::setPercent(int percent) {
    if (percent != percent_) {
        percent_ = percent;
        emit percentChanged(percent);
    }
}

void FirmwareTool::resetProgress() {
    report(QStringLiteral("0%"), Severity::Info);
    setPercent(0);
}

FirmwareTool::Outcome FirmwareTool::refuse(const QString& label, const QString& why) {
    report(label, Severity::Failure);
    lastError_ = why.isEmpty() ? label : why;
    return Outcome::Refused;
}

bool FirmwareTool::selectedIsLoader() const {
    // The loader flag is one for the whole Search; the selected row says whether this
    // device answered as a loader (a device that accepted normally is never flashed).
    const DeviceTable& devices = connection_.devices();
    const auto& rows = connection_.rows();
    const int index = devices.selected;
    return connection_.session().hasFlag(FlagIspMode) && index >= 0 && index < devices.count &&
           static_cast<std::size_t>(index) < rows.size() &&
           rows[static_cast<std::size_t>(index)].isp && devices.current().isSerial();
}

FirmwareTool::Outcome FirmwareTool::openFirmware(Prompt& prompt) {
    if (connection_.busy()) {
        return Outcome::Nothing;
    }
    lastError_.clear();
    const std::string chosen = prompt.openFileNameFor(FileKind::Firmware, kFilter);
    if (!chosen.empty()) {
        path_ = QString::fromStdString(chosen);
        emit pathChanged(path_);
    }
    DebugLog& log = connection_.log();
    std::vector<std::uint8_t> bytes;
    QString why;
    if (!ReadFirmwareFile(path_, bytes, why)) {
        // Nothing of an earlier file may be sent in place of the one the path now names.
        image_ = FirmwareImage();
        header_.reset();
        connection_.devices().current().fwFileReady = 0;
        log.setText("Fw Open Fail.\r\n");
        report(QStringLiteral("Update Fw Failed."), Severity::Failure);
        lastError_ = why;
        return Outcome::Failed;
    }
    image_ = FirmwareImage(std::move(bytes));
    header_ = ParseFirmwareHeader(image_.bytes().data(), image_.size());
    log.setText("Fw Open OK.\r\n");
    DeviceRecord& record = connection_.devices().current();
    if (record.ispKind == 0) {
        return Outcome::Done;
    }
    if (!header_) {
        emit versionLabelChanged(QStringLiteral("Target :"));
        record.fwFileReady = 0;
        lastError_ = QStringLiteral("Illegal FW.");
        return Outcome::Refused;
    }
    report(QStringLiteral("0%"), Severity::Info);
    setPercent(0);
    emit versionLabelChanged(QString::fromLatin1(FirmwareTargetLabel(*header_).c_str()));
    record.fwFileReady = 1;
    return Outcome::Done;
}

FirmwareTool::Outcome FirmwareTool::update(Prompt& prompt) {
    if (connection_.busy() || !connection_.connected() || connection_.devices().count <= 0) {
        return Outcome::Nothing;
    }
    lastError_.clear();
    failedPage_ = 0;
    int kind = 0;
    if (const std::optional<Outcome> refused = checkUpdate(prompt, kind)) {
        return *refused;
    }

    const FlowGuard flow(connection_);
    begin(tr("Writing firmware %1 (%2)").arg(QFileInfo(path_).fileName(), targetText()));
    report(statusText(), Severity::Info); // the label turns black as the transfer starts
    setPercent(0);
    FirmwareTransfer transfer(connection_.session(), image_, kind);
    if (clock_) {
        transfer.setClock(clock_);
    }
    if (pump_) {
        transfer.setPump(pump_);
    }
    transfer.onProgress = [this](int percent) {
        report(QString::number(percent) + QLatin1Char('%'), Severity::Info);
        setPercent(percent);
    };
    const FirmwareTransfer::Result result = transfer.run();
    if (result == FirmwareTransfer::Result::Done) {
        report(QStringLiteral("100%"), Severity::Success, doneText());
        return Outcome::Done;
    }
    failedPage_ = transfer.failedPage();
    lastError_ = failureText(result);
    report(QStringLiteral("Update Fw Failed."), Severity::Failure,
           tr("The firmware update stopped: %1. The device stays in its loader: check the "
              "cable, then Search and update again.")
               .arg(lastError_));
    return Outcome::Failed;
}

std::optional<FirmwareTool::Outcome> FirmwareTool::checkUpdate(Prompt& prompt, int& kind) {
    if (!selectedIsLoader()) {
        return refuse(QStringLiteral("Not ISP Mode."), {});
    }
    if (connection_.devices().current().fwFileReady == 0 || image_.empty()) {
        return refuse(QStringLiteral("Illegal FW."), {});
    }
    // The loader kind this device answered with, not that of another loader found since.
    kind = connection_.devices().current().ispKind;
    if (!FirmwareFitsLoader(kind, image_.size())) {
        // Its 16-bit address would wrap to 0 and overwrite the start of the device's flash.
        const QString why =
            QStringLiteral("The firmware has %1 bytes; this loader takes at most %2 bytes.")
                .arg(image_.size())
                .arg(kLoader1MaxImage);
        connection_.log().addLine("\r\n" + why.toStdString());
        return refuse(QStringLiteral("Fw Too Large."), why);
    }
    if (!prompt.confirmIrreversible(
            "Warning",
            ("Warning!\r\nUpdate system firmware.\r\n\r\n" + confirmText()).toStdString())) {
        lastError_ = QStringLiteral("Update cancelled.");
        return Outcome::Cancelled;
    }
    if (kind != 1 && kind != 2) {
        return refuse(QStringLiteral("Unknow Device."), {});
    }
    // The dialog ran the event loop: the device may be gone.
    if (!connection_.connected() || !selectedIsLoader()) {
        return refuse(QStringLiteral("Not ISP Mode."), {});
    }
    return std::nullopt;
}

QString FirmwareTool::targetText() const {
    if (!header_) {
        return tr("no firmware header");
    }
    return tr("for VID %1, PID %2, version %3")
        .arg(QString::fromStdString(header_->vendorId), QString::fromStdString(header_->productId),
             QString::fromStdString(header_->version));
}

QString FirmwareTool::confirmText() const {
    const int row = connection_.devices().selected + 1;
    const QString port = DeviceLabel(connection_);
    return tr("File: %1\r\nFirmware: %2\r\nTo: row %3 (%4)\r\nThe device's firmware is "
              "replaced; this cannot be undone.")
        .arg(QDir::toNativeSeparators(path_), targetText())
        .arg(row)
        .arg(port);
}

QString FirmwareTool::doneText() const {
    const QString version =
        header_ ? QString::fromStdString(header_->version) : QFileInfo(path_).fileName();
    return tr("Firmware %1 written; the device restarts: Search again.").arg(version);
}

QString FirmwareTool::failureText(FirmwareTransfer::Result result) const {
    switch (result) {
    case FirmwareTransfer::Result::PageFailed:
        return QStringLiteral("page 0x%1 failed its check after %2 resends")
            .arg(failedPage_, 0, 16)
            .arg(FirmwareTransfer::kMaxPageResends);
    case FirmwareTransfer::Result::NoPageCheck:
        return QStringLiteral("no $CHK answer for page 0x%1 within 2 s").arg(failedPage_, 0, 16);
    default:
        return QStringLiteral("the port went away during the update");
    }
}

} // namespace lvx
