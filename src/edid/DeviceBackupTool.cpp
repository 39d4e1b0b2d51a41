#include "edid/DeviceBackupTool.h"

#include "connection/ConnectionController.h"
#include "edid/EdidTransfer.h"
#include "edid/InputModeTool.h"
#include "protocol/TransferBracket.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace lvx {

namespace {

// Device texts are bytes as the device sent them; the manifest holds UTF-8.
std::string Utf8(const std::string& latin1) {
    return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()))
        .toUtf8()
        .toStdString();
}

QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString StepLine(const BackupEntry& entry) {
    return entry.ok ? QStringLiteral("%1: saved").arg(Text(NodeFileName(entry.node)))
                    : QStringLiteral("%1: failed (%2)")
                          .arg(Text(NodeName(entry.node)), Text(entry.error));
}

QString StepLine(const BackupMode& mode) {
    const QString name = QStringLiteral("input%1").arg(mode.input + 1);
    if (!mode.ok) {
        return QStringLiteral("%1 mode: failed (%2)").arg(name, Text(mode.error));
    }
    return QStringLiteral("%1 mode: %2 (%3)")
        .arg(name)
        .arg(mode.mode)
        .arg(mode.source.empty() ? QStringLiteral("no source") : Text(mode.source));
}

} // namespace

// Why the remaining steps of a backup are not tried, once that is known: cancelled, the link
// lost, or the device silent for too many nodes in a row.
class DeviceBackupTool::BackupRun {
public:
    BackupRun(DeviceBackupTool& tool, BackupResult& result, const QString& directory)
        : tool(tool), result(result), writer(directory) {}

    QString stopReason() {
        if (stopped.isEmpty()) {
            if (tool.cancelled_) {
                stopped = QStringLiteral("cancelled");
            } else if (!tool.linkUp()) {
                stopped = QStringLiteral("the link to the device was lost");
            }
        }
        return stopped;
    }

    // Counts a node that brought no answer at all; enough of them in a row stop the run.
    void noteSilence(bool silent) {
        silentNodes = silent ? silentNodes + 1 : 0;
        if (silentNodes >= kSilentNodesToStop && stopped.isEmpty()) {
            stopped = QStringLiteral("the device stopped answering");
        }
    }

    // The first failure is the result's error.
    void failed(const QString& what) {
        if (result.error.isEmpty()) {
            result.error = what;
        }
    }

    DeviceBackupTool& tool;
    BackupResult& result;
    BackupWriter writer;
    QString stopped;
    int silentNodes = 0;
    int done = 0;
    int total = 0;
};

DeviceBackupTool::DeviceBackupTool(ConnectionController& connection, EdidTransfer& transfer,
                                   InputModeTool& modes, QObject* parent)
    : QObject(parent), connection_(connection), transfer_(transfer), modes_(modes) {}

void DeviceBackupTool::endLink(TransferBracket& bracket, bool serial) {
    // The transfer bracket closed and the chooser input's mode shown again.
    if (!linkUp()) {
        return;
    }
    bracket.close();
    if (serial) {
        modes_.rereadChosenInput();
    }
}

bool DeviceBackupTool::linkUp() const {
    return connection_.connected() && connection_.devices().count > 0;
}

void DeviceBackupTool::finishStep(const QString& line, bool ok) {
    emit stepFinished(line, ok);
}

BackupDevice DeviceBackupTool::currentDevice() const {
    const DeviceRecord& r = connection_.devices().current();
    BackupDevice d;
    d.link = r.isSerial() ? "serial" : "network";
    d.model = Utf8(r.model);
    d.vid = Utf8(r.vid);
    d.pid = Utf8(r.pid);
    d.productString = Utf8(r.productString);
    d.version = Utf8(r.version);
    d.serialNumber = Utf8(r.serialNumber);
    if (!r.isSerial() && connection_.network() != nullptr) {
        d.mac = Utf8(connection_.network()->selectedRecord().macText);
    }
    d.counts = {r.inputCount, r.outputCount, r.userEdidCount, r.internalEdidCount};
    return d;
}

QString DeviceBackupTool::refusal(const QString& directory) const {
    if (!linkUp()) {
        return QStringLiteral("no device is connected");
    }
    if (connection_.busy()) {
        return QStringLiteral("another device flow is running");
    }
    if (directory.isEmpty() || QFileInfo(directory).isFile() || !QDir().mkpath(directory)) {
        return QStringLiteral("cannot create the folder %1").arg(directory);
    }
    return QString();
}

DeviceBackupTool::BackupResult DeviceBackupTool::backup(const QString& directory) {
    BackupResult result;
    result.error = refusal(directory);
    if (!result.error.isEmpty()) {
        return result;
    }
    const FlowGuard flow(connection_);
    running_ = true;
    cancelled_ = false;
    result.started = true;

    BackupManifest& m = result.manifest;
    m.program = program.toStdString();
    m.date = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    m.device = currentDevice();
    const bool serial = m.device.link == "serial";
    const std::vector<NodeRef> nodes = AllNodes(m.device.counts);
    const int inputs = serial ? m.device.counts.inputs : 0;
    BackupRun run(*this, result, directory);
    run.total = static_cast<int>(nodes.size()) + inputs + 1;

    TransferBracket bracket(connection_.session(), serial);
    for (const NodeRef node : nodes) {
        m.nodes.push_back(backUpNode(run, node, serial));
    }
    for (int input = 0; input < inputs; ++input) {
        m.modes.push_back(backUpMode(run, input));
    }
    endLink(bracket, serial);

    emit progress(run.done, run.total, QStringLiteral("Writing manifest.json"));
    const bool written = writeManifest(run);
    emit progress(run.total, run.total, QString());
    result.ok = written && m.complete();
    running_ = false;
    return result;
}

BackupEntry DeviceBackupTool::backUpNode(BackupRun& run, NodeRef node, bool serial) {
    BackupEntry entry;
    entry.node = node;
    emit progress(run.done, run.total, QStringLiteral("Reading %1").arg(Text(NodeName(node))));
    if (!run.stopReason().isEmpty()) {
        entry.error = ("not read: " + run.stopped).toStdString();
    } else if (transfer_.readNode(node)) {
        run.noteSilence(false);
        QString error;
        entry.ok = run.writer.stage(node, connection_.deviceEdidImage(), entry.sha256, error);
        entry.error = entry.ok ? std::string() : error.toStdString();
    } else {
        const auto& blocks = transfer_.blocks();
        const bool anyAnswer =
            serial && std::any_of(blocks.begin(), blocks.end(), [](bool b) { return b; });
        run.noteSilence(!anyAnswer);
        entry.error =
            linkUp() ? "the device did not send the whole EDID" : "the link to the device was lost";
    }
    finishStep(StepLine(entry), entry.ok);
    if (!entry.ok) {
        run.failed(QStringLiteral("%1: %2").arg(Text(NodeName(node)), Text(entry.error)));
    }
    ++run.done;
    return entry;
}

BackupMode DeviceBackupTool::backUpMode(BackupRun& run, int input) {
    BackupMode mode;
    mode.input = input;
    const QString name = QStringLiteral("input%1").arg(input + 1);
    emit progress(run.done, run.total, QStringLiteral("Reading the mode of %1").arg(name));
    if (!run.stopReason().isEmpty()) {
        mode.error = ("not read: " + run.stopped).toStdString();
    } else {
        const int reported = modes_.readModeInFlow(input, kModeAnswerWaitMs);
        if (reported >= 0) {
            mode.ok = true;
            mode.mode = reported;
            mode.source = ModeSourceName(reported, ModeCountsOf(run.result.manifest.device.counts));
        } else {
            mode.error =
                linkUp() ? "the device did not report it" : "the link to the device was lost";
        }
    }
    finishStep(StepLine(mode), mode.ok);
    if (!mode.ok) {
        run.failed(QStringLiteral("%1 mode: %2").arg(name, Text(mode.error)));
    }
    ++run.done;
    return mode;
}

bool DeviceBackupTool::writeManifest(BackupRun& run) {
    QString error;
    switch (run.writer.finish(run.result.manifest, error)) {
    case BackupWriter::Outcome::Saved:
        finishStep(QStringLiteral("manifest.json: saved"), true);
        return true;
    case BackupWriter::Outcome::KeptEarlier:
        run.result.keptEarlier = true;
        finishStep(QStringLiteral("manifest.json: not replaced: this backup is incomplete, the "
                                  "earlier complete backup in the folder is kept"),
                   false);
        return false;
    case BackupWriter::Outcome::Failed:
        break;
    }
    finishStep(QStringLiteral("manifest.json: failed (%1)").arg(error), false);
    run.failed(QStringLiteral("cannot write manifest.json: %1").arg(error));
    return false;
}

DeviceBackupTool::RestorePreparation
DeviceBackupTool::prepareRestore(const QString& directory) const {
    StoredBackup stored = ReadBackup(directory);
    RestorePreparation p;
    p.readable = stored.readable;
    p.error = stored.error;
    p.manifest = std::move(stored.manifest);
    if (p.readable) {
        p.plan = PlanRestore(p.manifest, currentDevice(), stored.files);
    }
    return p;
}

bool DeviceBackupTool::restoreStep(const RestoreStep& step, bool serial, QString& line) {
    const QString text = Text(step.text);
    if (cancelled_ || !linkUp()) {
        line = QStringLiteral("%1: not done (%2)")
                   .arg(text, cancelled_ ? QStringLiteral("cancelled")
                                         : QStringLiteral("the link was lost"));
        return false;
    }
    if (step.kind == RestoreStep::Kind::Mode) {
        modes_.setModeInFlow(step.input, step.mode);
        const int reported = modes_.readModeInFlow(step.input, kModeAnswerWaitMs);
        const bool ok = reported == step.mode;
        line =
            ok ? QStringLiteral("%1: done").arg(text)
               : QStringLiteral("%1: failed (the device reports mode %2)").arg(text).arg(reported);
        return ok;
    }
    if (!transfer_.writeNode(step.node, step.image)) {
        line = QStringLiteral("%1: failed (%2)")
                   .arg(text, QString::fromStdString(transfer_.failure()));
        return false;
    }
    if (!serial) {
        connection_.session().wait(100); // the write datagram has no reply: give it time to land
    }
    // Read it back: the datagram is not acknowledged, a restore must know.
    const bool ok = transfer_.readNode(step.node) && connection_.deviceEdidImage() == step.image;
    line = ok ? QStringLiteral("%1: done, read back alike").arg(text)
              : QStringLiteral("%1: failed (the node reads back otherwise)").arg(text);
    return ok;
}

DeviceBackupTool::RestoreResult DeviceBackupTool::restore(const RestorePreparation& preparation,
                                                          bool force) {
    RestoreResult result;
    if (!preparation.readable) {
        result.error = preparation.error;
        return result;
    }
    const RestorePlan& plan = preparation.plan;
    if (!plan.errors.empty()) {
        result.error = Text(plan.errors.front());
        return result;
    }
    if (!force && !plan.mismatches.empty()) {
        result.error = Text(plan.mismatches.front());
        return result;
    }
    if (!linkUp()) {
        result.error = QStringLiteral("no device is connected");
        return result;
    }
    if (connection_.busy()) {
        result.error = QStringLiteral("another device flow is running");
        return result;
    }
    const FlowGuard flow(connection_);
    running_ = true;
    cancelled_ = false;
    result.started = true;
    const bool serial = connection_.devices().current().isSerial();
    TransferBracket bracket(connection_.session(), serial);
    const int total = static_cast<int>(plan.steps.size());
    int done = 0;
    for (const RestoreStep& step : plan.steps) {
        emit progress(done, total, Text(step.text));
        QString line;
        const bool ok = restoreStep(step, serial, line);
        finishStep(line, ok);
        if (ok) {
            ++result.stepsDone;
        } else {
            ++result.stepsFailed;
            if (result.error.isEmpty()) {
                result.error = line;
            }
        }
        ++done;
    }
    endLink(bracket, serial);
    emit progress(total, total, QString());
    result.ok = result.stepsFailed == 0;
    running_ = false;
    return result;
}

} // namespace lvx
