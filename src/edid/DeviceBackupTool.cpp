#include "edid/DeviceBackupTool.h"

#include "connection/ConnectionController.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidTransfer.h"
#include "edid/InputModeTool.h"
#include "edid/Sha256.h"
#include "protocol/TransferBracket.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <memory>

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

// Whether the folder holds a backup that is complete and intact: its manifest says so and
// every file it lists is there with its recorded SHA-256.
bool HoldsCompleteBackup(const QDir& folder) {
    const std::optional<QByteArray> text = ReadFileHead(
        folder.filePath(Text(std::string(kManifestName))), static_cast<qint64>(kManifestMaxBytes));
    BackupManifest manifest;
    std::string error;
    if (!text ||
        !ParseManifest(std::string_view(text->constData(), static_cast<std::size_t>(text->size())),
                       manifest, error) ||
        !manifest.complete()) {
        return false;
    }
    for (const BackupEntry& entry : manifest.nodes) {
        const std::optional<QByteArray> bytes = ReadFileHead(
            folder.filePath(Text(NodeFileName(entry.node))), static_cast<qint64>(kEdidSize));
        if (!bytes || bytes->size() != static_cast<qsizetype>(kEdidSize) ||
            Sha256Hex(reinterpret_cast<const std::uint8_t*>(bytes->constData()), kEdidSize) !=
                entry.sha256) {
            return false;
        }
    }
    return true;
}

} // namespace

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

DeviceBackupTool::BackupResult DeviceBackupTool::backup(const QString& directory) {
    BackupResult result;
    if (!linkUp()) {
        result.error = QStringLiteral("no device is connected");
        return result;
    }
    if (connection_.busy()) {
        result.error = QStringLiteral("another device flow is running");
        return result;
    }
    if (directory.isEmpty() || QFileInfo(directory).isFile() || !QDir().mkpath(directory)) {
        result.error = QStringLiteral("cannot create the folder %1").arg(directory);
        return result;
    }
    const QDir folder(directory);
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
    const int total = static_cast<int>(nodes.size()) + inputs + 1;

    TransferBracket bracket(connection_.session(), serial);

    // Why the remaining steps are not tried, once that is known.
    QString stopped;
    auto stopReason = [&]() -> QString {
        if (!stopped.isEmpty()) {
            return stopped;
        }
        if (cancelled_) {
            stopped = QStringLiteral("cancelled");
        } else if (!linkUp()) {
            stopped = QStringLiteral("the link to the device was lost");
        }
        return stopped;
    };

    // Each node's file is written beside its final name as soon as it is read, and nothing in
    // the folder is replaced before the end: then either every file and the manifest go in
    // place, or (an incomplete backup where a complete one is) nothing does. Links in the
    // folder are replaced themselves, never followed.
    std::vector<std::unique_ptr<AtomicFileWriter>> staged;
    int done = 0;
    int silent = 0;
    for (const NodeRef node : nodes) {
        const QString name = Text(NodeName(node));
        const QString file = Text(NodeFileName(node));
        BackupEntry entry;
        entry.node = node;
        emit progress(done, total, QStringLiteral("Reading %1").arg(name));
        if (!stopReason().isEmpty()) {
            entry.error = ("not read: " + stopped).toStdString();
        } else if (transfer_.readNode(node)) {
            silent = 0;
            const EdidImage& image = connection_.deviceEdidImage();
            auto writer = std::make_unique<AtomicFileWriter>();
            if (writer->open(folder.filePath(file), AtomicFileWriter::Links::Replace) &&
                writer->prepare(reinterpret_cast<const char*>(image.data()),
                                static_cast<qint64>(image.size()))) {
                entry.ok = true;
                entry.sha256 = Sha256Hex(image.data(), image.size());
                staged.push_back(std::move(writer));
            } else {
                entry.error =
                    QStringLiteral("cannot write %1: %2").arg(file, writer->error()).toStdString();
            }
        } else {
            const auto& blocks = transfer_.blocks();
            const bool anyAnswer =
                !serial ? false
                        : std::any_of(blocks.begin(), blocks.end(), [](bool b) { return b; });
            silent = anyAnswer ? 0 : silent + 1;
            entry.error = linkUp() ? "the device did not send the whole EDID"
                                   : "the link to the device was lost";
            if (silent >= kSilentNodesToStop && stopped.isEmpty()) {
                stopped = QStringLiteral("the device stopped answering");
            }
        }
        finishStep(entry.ok ? QStringLiteral("%1: saved").arg(file)
                            : QStringLiteral("%1: failed (%2)").arg(name, Text(entry.error)),
                   entry.ok);
        if (!entry.ok && result.error.isEmpty()) {
            result.error = QStringLiteral("%1: %2").arg(name, Text(entry.error));
        }
        m.nodes.push_back(std::move(entry));
        ++done;
    }

    for (int input = 0; input < inputs; ++input) {
        BackupMode mode;
        mode.input = input;
        const QString name = QStringLiteral("input%1").arg(input + 1);
        emit progress(done, total, QStringLiteral("Reading the mode of %1").arg(name));
        if (!stopReason().isEmpty()) {
            mode.error = ("not read: " + stopped).toStdString();
        } else {
            const int reported = modes_.readModeInFlow(input, kModeAnswerWaitMs);
            if (reported >= 0) {
                mode.ok = true;
                mode.mode = reported;
                mode.source = ModeSourceName(reported, ModeCountsOf(m.device.counts));
            } else {
                mode.error =
                    linkUp() ? "the device did not report it" : "the link to the device was lost";
            }
        }
        finishStep(mode.ok ? QStringLiteral("%1 mode: %2 (%3)")
                                 .arg(name)
                                 .arg(mode.mode)
                                 .arg(mode.source.empty() ? QStringLiteral("no source")
                                                          : Text(mode.source))
                           : QStringLiteral("%1 mode: failed (%2)").arg(name, Text(mode.error)),
                   mode.ok);
        if (!mode.ok && result.error.isEmpty()) {
            result.error = QStringLiteral("%1 mode: %2").arg(name, Text(mode.error));
        }
        m.modes.push_back(std::move(mode));
        ++done;
    }

    endLink(bracket, serial);

    emit progress(done, total, QStringLiteral("Writing manifest.json"));
    bool written = false;
    if (!m.complete() && HoldsCompleteBackup(folder)) {
        // A refresh that failed part way must not cost the user the backup they had.
        result.keptEarlier = true;
        finishStep(QStringLiteral("manifest.json: not replaced: this backup is incomplete, the "
                                  "earlier complete backup in the folder is kept"),
                   false);
    } else {
        // The manifest is on disk before the first file is put in place, so a full disk
        // changes nothing in the folder.
        AtomicFileWriter manifest;
        QString error;
        if (!manifest.open(folder.filePath(Text(std::string(kManifestName))),
                           AtomicFileWriter::Links::Replace) ||
            !manifest.prepare(QByteArray::fromStdString(ManifestToJson(m)))) {
            error = manifest.error();
        } else {
            for (const std::unique_ptr<AtomicFileWriter>& file : staged) {
                if (!file->commit()) {
                    error = QStringLiteral("%1: %2").arg(file->targetPath(), file->error());
                    break;
                }
            }
            if (error.isEmpty() && !manifest.commit()) {
                error = manifest.error();
            }
        }
        written = error.isEmpty();
        if (!written) {
            finishStep(QStringLiteral("manifest.json: failed (%1)").arg(error), false);
            if (result.error.isEmpty()) {
                result.error = QStringLiteral("cannot write manifest.json: %1").arg(error);
            }
        } else {
            finishStep(QStringLiteral("manifest.json: saved"), true);
        }
    }
    staged.clear(); // what was not put in place is removed
    emit progress(total, total, QString());
    result.ok = written && m.complete();
    running_ = false;
    return result;
}

DeviceBackupTool::RestorePreparation
DeviceBackupTool::prepareRestore(const QString& directory) const {
    RestorePreparation p;
    const QDir folder(directory);
    const QString manifestPath = folder.filePath(Text(std::string(kManifestName)));
    const std::optional<QByteArray> text =
        ReadFileHead(manifestPath, static_cast<qint64>(kManifestMaxBytes));
    if (!text) {
        p.error = QStringLiteral("cannot read %1").arg(manifestPath);
        return p;
    }
    std::string error;
    if (!ParseManifest(std::string_view(text->constData(), static_cast<std::size_t>(text->size())),
                       p.manifest, error)) {
        p.error = QStringLiteral("%1: %2").arg(manifestPath, Text(error));
        return p;
    }
    p.readable = true;
    BackupFiles files;
    for (const BackupEntry& entry : p.manifest.nodes) {
        if (!entry.ok) {
            continue;
        }
        const std::string name = NodeFileName(entry.node);
        const std::optional<QByteArray> bytes =
            ReadFileHead(folder.filePath(Text(name)), static_cast<qint64>(kEdidSize));
        if (bytes) {
            files[name] = std::vector<std::uint8_t>(bytes->begin(), bytes->end());
        } else {
            files[name] = std::nullopt;
        }
    }
    p.plan = PlanRestore(p.manifest, currentDevice(), files);
    return p;
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
    ProtocolSession& session = connection_.session();
    TransferBracket bracket(session, serial);
    const int total = static_cast<int>(plan.steps.size());
    int done = 0;
    for (const RestoreStep& step : plan.steps) {
        emit progress(done, total, Text(step.text));
        bool ok = false;
        QString line;
        if (cancelled_ || !linkUp()) {
            line = QStringLiteral("%1: not done (%2)")
                       .arg(Text(step.text), cancelled_ ? QStringLiteral("cancelled")
                                                        : QStringLiteral("the link was lost"));
        } else if (step.kind == RestoreStep::Kind::Upload) {
            if (!transfer_.writeNode(step.node, step.image)) {
                line = QStringLiteral("%1: failed (%2)")
                           .arg(Text(step.text), QString::fromStdString(transfer_.failure()));
            } else {
                if (!serial) {
                    session.wait(100); // the write datagram has no reply: give it time to land
                }
                // Read it back: the datagram is not acknowledged, a restore must know.
                ok = transfer_.readNode(step.node) && connection_.deviceEdidImage() == step.image;
                line = ok ? QStringLiteral("%1: done, read back alike").arg(Text(step.text))
                          : QStringLiteral("%1: failed (the node reads back otherwise)")
                                .arg(Text(step.text));
            }
        } else {
            modes_.setModeInFlow(step.input, step.mode);
            const int reported = modes_.readModeInFlow(step.input, kModeAnswerWaitMs);
            ok = reported == step.mode;
            line = ok ? QStringLiteral("%1: done").arg(Text(step.text))
                      : QStringLiteral("%1: failed (the device reports mode %2)")
                            .arg(Text(step.text))
                            .arg(reported);
        }
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
