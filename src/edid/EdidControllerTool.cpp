#include "edid/EdidControllerTool.h"

#include "connection/ConnectionController.h"
#include "edid/EdidDecoder.h"
#include "edid/EdidFile.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidTransfer.h"
#include "edid/EdidValidation.h"
#include "protocol/TransferBracket.h"

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
        EdidFileWriter writer;
        if (!writer.open(name)) {
            log.setText("Edid Open Fail.\r\n");
            lastError_ = QStringLiteral("cannot create %1: %2").arg(name, writer.error());
            outcome = Outcome::Failed;
        } else {
            log.setText("Edid Open OK.\r\n");
            if (!transfer_.readNode(node)) {
                // A file of mixed EDIDs is worse than none: keep what the user had.
                writer.cancel();
                log.setText("Edid Read Fail.\r\n");
                report(QStringLiteral("Edid Read Fail."), Severity::Failure);
                lastError_ = QString::fromStdString(transfer_.failure());
                outcome = Outcome::Failed;
            } else if (!writer.write(connection_.deviceEdidImage())) {
                log.setText("Edid Open Fail.\r\n");
                report(QStringLiteral("Edid Save Fail."), Severity::Failure);
                lastError_ = QStringLiteral("cannot write %1: %2").arg(name, writer.error());
                outcome = Outcome::Failed;
            } else {
                report(QStringLiteral("Ok."), Severity::Success);
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
        report(QString(), Severity::Info);
        outcome = validateAndWrite(node, *image);
    } else {
        log.setText("Edid Open Fail.\r\n");
        report(QStringLiteral("Upload Edid Canceled."), Severity::Failure);
        lastError_ = chosen.empty() ? QStringLiteral("Upload Edid Canceled.") : why;
        outcome = chosen.empty() ? Outcome::Cancelled : Outcome::Failed;
    }
    return outcome;
}

EdidControllerTool::Outcome EdidControllerTool::validateAndWrite(NodeRef node,
                                                                 const EdidImage& image) {
    Outcome outcome = Outcome::Failed;
    // The file's bytes become the device EDID image, as a read's would.
    connection_.deviceEdidImage() = image;
    record_.image = image;
    if (Validate(record_)) {
        report(QStringLiteral("Ok."), Severity::Success);
        if (transfer_.writeNode(node, image)) {
            outcome = Outcome::Done;
        } else {
            connection_.log().setText("Edid Write Fail.\r\n");
            report(QStringLiteral("Edid Write Fail."), Severity::Failure);
            lastError_ = QString::fromStdString(transfer_.failure());
        }
    } else {
        const QString message =
            QString::fromStdString(std::string(InvalidStatusMessage(record_.status)));
        report(message, Severity::Failure);
        lastError_ = message;
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
    return validateAndWrite(node, image);
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
