#include "creator/CreatorTool.h"

#include "connection/ActivityLog.h"
#include "connection/ConnectionController.h"
#include "creator/CreatorModel.h"
#include "edid/EdidFile.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidTransfer.h"
#include "edid/EdidValidation.h"
#include "protocol/TransferBracket.h"

#include <QDir>

#include <optional>

namespace lvx {

CreatorTool::CreatorTool(ConnectionController& connection, EdidTransfer& transfer,
                         CreatorModel& model, QObject* parent)
    : FlowTool(connection, parent), connection_(connection), transfer_(transfer), model_(model) {}

bool CreatorTool::connected() const {
    return connection_.connected() && connection_.devices().count > 0;
}

bool CreatorTool::serialDevice() const {
    return connected() && transfer_.serial();
}

void CreatorTool::messageWait(int ms) {
    if (messageWaits) {
        connection_.session().wait(ms);
    }
}

void CreatorTool::noEdidWarning() {
    model_.showWarning("Please select \"NEW\" or \"OPEN\"", TextColour::DarkBlue);
    model_.showStatus("Create Error!", TextColour::Red);
    lastError_ = QStringLiteral("no EDID: use Open EDID or Brand New EDID first");
    report(QStringLiteral("Create Error!"), Severity::Failure,
           tr("The creator holds no EDID: use Open EDID or Brand New EDID first."));
    messageWait(2000);
    model_.showWarning(std::string(), TextColour::Red);
    model_.showStatus(std::string(), TextColour::Red);
}

void CreatorTool::buildStopped(const BuildResult& built) {
    lastError_ = QString::fromStdString(built.error);
    report(QStringLiteral("Create Error!"), Severity::Failure,
           tr("The build stopped: %1").arg(lastError_));
    if (built.error == model_.lastConversionError()) {
        return; // the model's message already said why
    }
    model_.showStatus("Create Error!", TextColour::Red);
    messageWait(1000);
    model_.showStatus(std::string(), TextColour::Red);
}

QString CreatorTool::deviceText() const {
    const QString product =
        QString::fromStdString(connection_.selectedDevice().productString).trimmed();
    const QString where = DeviceLabel(connection_);
    if (product.isEmpty()) {
        return where.isEmpty() ? tr("the selected device") : where;
    }
    return where.isEmpty() ? product : QStringLiteral("%1 (%2)").arg(product, where);
}

void CreatorTool::logLeftOut(const BuildResult& built) {
    for (const std::string& line : built.leftOut) {
        connection_.log().addLine("Left out: " + line);
    }
}

std::optional<NodeRef> CreatorTool::uploadTarget(int index) const {
    const DeviceRecord& r = connection_.devices().current();
    return NodeFromUploadListIndex(
        {r.inputCount, r.outputCount, r.userEdidCount, r.internalEdidCount}, index);
}

CreatorTool::Outcome CreatorTool::openEdid(Prompt& prompt) {
    const bool bracket = serialDevice();
    if (bracket && connection_.busy()) {
        return Outcome::Nothing;
    }
    lastError_.clear();
    begin(QString()); // no node: a line of this flow names none (an empty text adds no line)
    std::optional<FlowGuard> flow;
    if (bracket) {
        flow.emplace(connection_);
    }
    const TransferBracket transfer(connection_.session(), bracket);

    Outcome outcome = Outcome::Cancelled;
    const std::string chosen = prompt.openFileNameFor(FileKind::Edid, kFilter);
    if (!chosen.empty()) {
        const QString path = QString::fromStdString(chosen);
        begin(tr("Opening %1 in the creator").arg(QDir::toNativeSeparators(path)));
        QString why;
        const std::optional<EdidImage> image = ReadEdidFile(path, &why);
        if (!image) {
            connection_.log().setText("Edid Open Fail.\r\n");
            lastError_ = why;
            report(QStringLiteral("Edid Open Fail."), Severity::Failure,
                   tr("The creator kept its EDID: %1").arg(why));
            outcome = Outcome::Failed;
        } else {
            connection_.log().setText("Edid Open OK.\r\n");
            model_.openImage(*image);
            report(QString(), Severity::Success,
                   tr("Opened %1 in the creator").arg(QDir::toNativeSeparators(path)));
            outcome = Outcome::Done;
        }
    }
    return outcome;
}

CreatorTool::Outcome CreatorTool::save(Prompt& prompt) {
    const bool bracket = serialDevice();
    if (bracket && connection_.busy()) {
        return Outcome::Nothing;
    }
    lastError_.clear();
    begin(QString()); // no node: a line of this flow names none (an empty text adds no line)
    if (!model_.contentPresent()) {
        noEdidWarning();
        return Outcome::Failed;
    }
    const BuildResult built = model_.build();
    if (!built.ok) {
        buildStopped(built);
        return Outcome::Failed;
    }
    lastBuilt_ = built.image;
    std::optional<FlowGuard> flow;
    if (bracket) {
        flow.emplace(connection_);
    }
    const TransferBracket transfer(connection_.session(), bracket);

    Outcome outcome = Outcome::Cancelled;
    const std::string chosen = prompt.saveFileNameFor(FileKind::Edid, kFilter, "Created EDID");
    const QString name = QString::fromStdString(BinSaveName(chosen));
    if (!chosen.empty()) {
        const QString shown = QDir::toNativeSeparators(name);
        begin(tr("Saving the created EDID to %1").arg(shown));
        EdidFileWriter writer;
        if (name.isEmpty() || !writer.open(name)) {
            connection_.log().setText("Edid Open Fail.\r\n");
            lastError_ = QStringLiteral("cannot create %1: %2").arg(name, writer.error());
            outcome = Outcome::Failed;
        } else if (connection_.log().setText("Edid Open OK.\r\n"); !writer.write(built.image)) {
            connection_.log().setText("Edid Open Fail.\r\n");
            lastError_ = QStringLiteral("cannot write %1: %2").arg(name, writer.error());
            outcome = Outcome::Failed;
        } else {
            outcome = Outcome::Done;
        }
        if (outcome == Outcome::Done) {
            report(QString(), Severity::Success, tr("Saved the created EDID to %1").arg(shown));
        } else {
            report(QStringLiteral("Edid Save Fail."), Severity::Failure,
                   tr("Nothing was saved: %1").arg(lastError_));
        }
    }
    logLeftOut(built);
    return outcome;
}

CreatorTool::Outcome CreatorTool::writeToDevice(NodeRef target, Prompt* ask) {
    if (!connected() || connection_.busy()) {
        return Outcome::Nothing;
    }
    lastError_.clear();
    const QString node = QString::fromStdString(NodeItemText(target));
    // The node goes with every line the log writes of this write; an empty text adds none.
    begin(QString(), node);
    if (const std::optional<Outcome> refused = refuseWrite(target, node)) {
        return *refused;
    }
    const QString device = deviceText();
    if (ask != nullptr &&
        !ask->confirmIrreversible(
            "Write EDID to Device",
            tr("Write the created EDID to %1 of %2?\r\n\r\nThe EDID %1 holds now is replaced; "
               "this cannot be undone.")
                .arg(node, device)
                .toStdString())) {
        lastError_ = QStringLiteral("Write cancelled.");
        return Outcome::Cancelled;
    }
    begin(tr("Writing the created EDID to %1 of %2").arg(node, device), node);
    const FlowGuard flow(connection_);
    const TransferBracket bracket(connection_.session(), transfer_.serial());

    const BuildResult built = model_.build();
    model_.setWriteEnabled(false);
    Outcome outcome = Outcome::Failed;
    if (!built.ok) {
        buildStopped(built);
    } else if (const std::uint16_t error = ValidationError(built.image); error != 0) {
        lastBuilt_ = built.image;
        const std::string message(InvalidStatusMessage(error));
        model_.showStatus(message, TextColour::Red);
        lastError_ = QString::fromStdString(message);
        report(lastError_, Severity::Failure,
               tr("The built EDID is not valid; nothing was sent to %1.").arg(node));
    } else {
        lastBuilt_ = built.image;
        outcome = sendBuilt(target, built.image, node, device);
    }
    logLeftOut(built);
    messageWait(150);
    model_.setWriteEnabled(true);
    return outcome;
}

std::optional<CreatorTool::Outcome> CreatorTool::refuseWrite(NodeRef target, const QString& node) {
    if (model_.fieldError()) {
        model_.showStatus("Create Error!", TextColour::Red);
        const QString fields = QString::fromStdString(model_.fieldErrorText());
        lastError_ = QStringLiteral("Create Error! (out of range: %1)").arg(fields);
        report(QStringLiteral("Create Error!"), Severity::Failure,
               tr("Nothing was sent to %1: out of range: %2").arg(node, fields));
        messageWait(1000);
        model_.showStatus(std::string(), TextColour::Red);
        return Outcome::Failed;
    }
    if (!model_.contentPresent()) {
        noEdidWarning();
        return Outcome::Failed;
    }
    if (!isWritable(target.kind)) {
        lastError_ = QStringLiteral("only inputs and user slots can be written");
        report(QString(), Severity::Failure, tr("%1 cannot be written: %2").arg(node, lastError_));
        return Outcome::Failed;
    }
    return std::nullopt;
}

CreatorTool::Outcome CreatorTool::sendBuilt(NodeRef target, const EdidImage& image,
                                            const QString& node, const QString& device) {
    model_.showStatus("Ok.", TextColour::Black);
    const bool serial = transfer_.serial();
    const bool sent = transfer_.writeNode(target, image);
    if (!sent) {
        model_.showStatus("Edid Write Fail.", TextColour::Red);
        lastError_ = QString::fromStdString(transfer_.failure());
        report(QStringLiteral("Edid Write Fail."), Severity::Failure,
               tr("Writing %1 of %2 failed (%3).").arg(node, device, lastError_));
    } else {
        report(QStringLiteral("Ok."), Severity::Success,
               tr("Wrote the created EDID to %1 of %2 (%3)")
                   .arg(node, device,
                        serial ? tr("the device acknowledged every block")
                               : tr("sent over the network, which acknowledges nothing")));
    }
    // The written blocks went out with their pacing: the rest only keeps "Ok." on show.
    messageWait(800);
    model_.showStatus(std::string(), TextColour::Black);
    return sent ? Outcome::Done : Outcome::Failed;
}

} // namespace lvx
