#include "edid/EdidControllerTool.h"

#include "connection/ActivityLog.h"
#include "connection/ConnectionController.h"
#include "edid/EdidDecoder.h"
#include "edid/EdidFile.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidTransfer.h"
#include "edid/EdidValidation.h"
#include "protocol/TransferBracket.h"

#include <QDir>
#include <QFileInfo>

namespace lvx {

EdidControllerTool::EdidControllerTool(ConnectionController& connection, EdidTransfer& transfer,
                                       QObject* parent)
    : FlowTool(connection, parent), connection_(connection), transfer_(transfer) {}

const EdidRecord& EdidControllerTool::deviceRecord() {
    record_.image = connection_.deviceEdidImage();
    return record_;
}

bool EdidControllerTool::connected() const {
    return connection_.connected() && connection_.devices().count > 0;
}

NodeCounts EdidControllerTool::counts() const {
    const DeviceRecord& r = connection_.devices().current();
    return {r.inputCount, r.outputCount, r.userEdidCount, r.internalEdidCount};
}

int EdidControllerTool::selectNodeItem(int index) {
    const int selected = AllListSelectionFor(counts(), index);
    const std::optional<NodeRef> node = NodeFromAllListIndex(counts(), selected);
    const QString picture =
        node && isWritable(node->kind) ? QStringLiteral("OpenColor") : QStringLiteral("OpenGray");
    if (picture != uploadPicture_) {
        uploadPicture_ = picture;
    }
    emit uploadPictureChanged(uploadPicture_);
    return selected;
}

int EdidControllerTool::selectUploadItem(int index) {
    return UploadListSelectionFor(counts(), index);
}

EdidControllerTool::Outcome EdidControllerTool::save(NodeRef node, Prompt& prompt) {
    if (!connected() || connection_.busy()) {
        return Outcome::Nothing;
    }
    const FlowGuard flow(connection_);
    lastError_.clear();
    DebugLog& log = connection_.log();
    connection_.devices().current().nodeSelector = NodeSelector(node);
    const TransferBracket bracket(connection_.session(), transfer_.serial());

    Outcome outcome = Outcome::Cancelled;
    const std::string chosen =
        prompt.saveFileNameFor(FileKind::Edid, kFilter, DefaultSaveName(node));
    if (!chosen.empty()) {
        const QString name = QString::fromStdString(BinSaveName(chosen));
        const QString nodeName = QString::fromStdString(NodeItemText(node));
        begin(tr("Saving %1 EDID to %2").arg(nodeName, name), nodeName);
        EdidFileWriter writer;
        if (!writer.open(name)) {
            log.setText("Edid Open Fail.\r\n");
            lastError_ = QStringLiteral("cannot create %1: %2").arg(name, writer.error());
            note(tr("Nothing was read: %1 cannot be created (%2).").arg(name, writer.error()),
                 Severity::Failure);
            outcome = Outcome::Failed;
        } else {
            log.setText("Edid Open OK.\r\n");
            if (!transfer_.readNode(node)) {
                // A file of mixed EDIDs is worse than none: keep what the user had.
                writer.cancel();
                log.setText("Edid Read Fail.\r\n");
                lastError_ = QString::fromStdString(transfer_.failure());
                report(QStringLiteral("Edid Read Fail."), Severity::Failure,
                       tr("Reading %1 failed (%2); %3 was left as it was.")
                           .arg(nodeName, lastError_, name));
                outcome = Outcome::Failed;
            } else if (!writer.write(connection_.deviceEdidImage())) {
                log.setText("Edid Open Fail.\r\n");
                lastError_ = QStringLiteral("cannot write %1: %2").arg(name, writer.error());
                report(QStringLiteral("Edid Save Fail."), Severity::Failure,
                       tr("The EDID of %1 was read, but %2").arg(nodeName, lastError_));
                outcome = Outcome::Failed;
            } else {
                report(QStringLiteral("Ok."), Severity::Success,
                       tr("Saved %1 EDID to %2").arg(nodeName, name));
                outcome = Outcome::Done;
            }
        }
    }
    return outcome;
}

EdidControllerTool::Outcome EdidControllerTool::upload(NodeRef node, Prompt& prompt) {
    if (!connected() || connection_.busy() || !isWritable(node.kind)) {
        return Outcome::Nothing;
    }
    const FlowGuard flow(connection_);
    lastError_.clear();
    DebugLog& log = connection_.log();
    connection_.devices().current().nodeSelector = NodeSelector(node);
    const TransferBracket bracket(connection_.session(), transfer_.serial());

    Outcome outcome = Outcome::Failed;
    const std::string chosen = prompt.openFileNameFor(FileKind::Edid, kFilter);
    if (!chosen.empty()) {
        uploadPath_ = QString::fromStdString(chosen);
    }
    QString why;
    const std::optional<EdidImage> image = ReadEdidFile(QString::fromStdString(chosen), &why);
    if (image) {
        log.setText("Edid Open OK.\r\n");
        const QString nodeName = QString::fromStdString(NodeItemText(node));
        begin(tr("Uploading %1 to %2").arg(QFileInfo(uploadPath_).fileName(), nodeName), nodeName);
        report(QString(), Severity::Info);
        outcome = validateAndWrite(node, *image, QFileInfo(uploadPath_).fileName(), &prompt);
    } else {
        log.setText("Edid Open Fail.\r\n");
        lastError_ = chosen.empty() ? QStringLiteral("Upload Edid Canceled.") : why;
        report(QStringLiteral("Upload Edid Canceled."), Severity::Failure,
               chosen.empty() ? QString() : tr("Nothing was sent: %1").arg(why));
        outcome = chosen.empty() ? Outcome::Cancelled : Outcome::Failed;
    }
    return outcome;
}

QString EdidControllerTool::uploadQuestion(NodeRef node) const {
    const DeviceTable& devices = connection_.devices();
    const QString label = DeviceLabel(connection_);
    const std::string& product = devices.current().productString;
    QString device = tr("row %1 (%2").arg(devices.selected + 1).arg(label);
    if (!product.empty()) {
        device += QStringLiteral(", ") + QString::fromStdString(product);
    }
    device += QLatin1Char(')');
    const QString nodeName = QString::fromStdString(NodeItemText(node));
    return tr("Upload %1 to %2 of %3?\r\n\r\nFile: %4\r\nTo: %2\r\nDevice: %5\r\nThe EDID that "
              "%2 holds now is replaced; this cannot be undone.")
        .arg(QFileInfo(uploadPath_).fileName(), nodeName, label,
             QDir::toNativeSeparators(uploadPath_), device);
}

EdidControllerTool::Outcome EdidControllerTool::validateAndWrite(NodeRef node,
                                                                 const EdidImage& image,
                                                                 const QString& source,
                                                                 Prompt* ask) {
    Outcome outcome = Outcome::Failed;
    // The file's bytes become the device EDID image, as a read's would.
    connection_.deviceEdidImage() = image;
    record_.image = image;
    const QString nodeName = QString::fromStdString(NodeItemText(node));
    const bool valid = Validate(record_);
    if (valid && ask != nullptr &&
        !ask->confirmIrreversible("Upload EDID", uploadQuestion(node).toStdString())) {
        lastError_ = QStringLiteral("Upload Edid Canceled.");
        report(QStringLiteral("Upload Edid Canceled."), Severity::Failure,
               tr("Nothing was sent to %1.").arg(nodeName));
        return Outcome::Cancelled;
    }
    if (valid && ask != nullptr && !connected()) {
        // The question ran the event loop: the device may have gone meanwhile.
        lastError_ = QStringLiteral("the device is no longer connected");
        report(QStringLiteral("Edid Write Fail."), Severity::Failure,
               tr("Nothing was sent to %1: the device is no longer connected.").arg(nodeName));
        return Outcome::Failed;
    }
    if (valid) {
        report(QStringLiteral("Ok."), Severity::Success,
               tr("%1 is a valid EDID; writing it to %2")
                   .arg(source.isEmpty() ? tr("The image") : source, nodeName));
        if (transfer_.writeNode(node, image)) {
            outcome = Outcome::Done;
            report(QStringLiteral("Ok."), Severity::Success,
                   source.isEmpty() ? tr("Wrote the EDID to %1").arg(nodeName)
                                    : tr("Uploaded %1 to %2").arg(source, nodeName));
        } else {
            connection_.log().setText("Edid Write Fail.\r\n");
            lastError_ = QString::fromStdString(transfer_.failure());
            report(QStringLiteral("Edid Write Fail."), Severity::Failure,
                   tr("Writing %1 failed (%2).").arg(nodeName, lastError_));
        }
    } else {
        const QString message =
            QString::fromStdString(std::string(InvalidStatusMessage(record_.status)));
        lastError_ = message;
        report(message, Severity::Failure, tr("Nothing was sent to %1.").arg(nodeName));
    }
    return outcome;
}

bool EdidControllerTool::loadImage(const EdidImage& image) {
    if (connection_.busy()) {
        return false;
    }
    connection_.deviceEdidImage() = image;
    Decode(record_, image);
    emit recordDecoded();
    return true;
}

EdidControllerTool::Outcome EdidControllerTool::uploadImage(NodeRef node, const EdidImage& image) {
    if (!connected() || connection_.busy() || !isWritable(node.kind)) {
        return Outcome::Nothing;
    }
    const FlowGuard flow(connection_);
    lastError_.clear();
    connection_.devices().current().nodeSelector = NodeSelector(node);
    const TransferBracket bracket(connection_.session(), transfer_.serial());
    const QString nodeName = QString::fromStdString(NodeItemText(node));
    begin(tr("Writing an EDID to %1").arg(nodeName), nodeName);
    return validateAndWrite(node, image, QString());
}

bool EdidControllerTool::analysisRead(NodeRef node) {
    if (!connected() || connection_.busy()) {
        return false;
    }
    const FlowGuard flow(connection_);
    ProtocolSession& session = connection_.session();
    if (transfer_.serial()) {
        session.resetWatchdog();
    }
    transfer_.sendRead(node);
    const int wait =
        transfer_.serial() ? EdidTransfer::kSerialAnswerWaitMs : EdidTransfer::kNetworkAnswerWaitMs;
    const bool complete = transfer_.waitForRead(wait);
    if (!complete || session.hasFlag(FlagEdidBlockError)) {
        // One repeat, never a third attempt.
        transfer_.repeatRead(true);
        transfer_.waitForRead(wait);
    }
    // The answers are in (or given up on): decode at once rather than after a fixed wait.
    Decode(record_, connection_.deviceEdidImage());
    emit recordDecoded();
    return true;
}

} // namespace lvx
