#include "site/SiteTool.h"

#include "connection/ConnectionController.h"
#include "edid/BackupManifest.h"
#include "edid/DeviceBackupTool.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidTransfer.h"
#include "edid/EdidValidation.h"
#include "edid/InputModeTool.h"
#include "protocol/PumpDelay.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace lvx {

namespace {

QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string Std(const QString& text) {
    return text.toUtf8().toStdString();
}

// Device texts are Latin-1 bytes; site files hold UTF-8.
std::string Utf8(const std::string& latin1) {
    return Std(QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size())));
}

bool SamePort(const std::string& listed, const std::string& named) {
    if (listed == named) {
        return true;
    }
    const QString a = QFileInfo(Text(listed)).canonicalFilePath();
    return !a.isEmpty() && a == QFileInfo(Text(named)).canonicalFilePath();
}

// The image a node's file holds, or an error on the node's line.
std::optional<EdidImage> ReadNodeFile(const QDir& base, const QDir& edids, const SiteNode& node,
                                      std::vector<SiteError>& errors) {
    const QString named = Text(node.file);
    const QString path =
        named.contains(QLatin1Char('/')) ? base.filePath(named) : edids.filePath(named);
    QString error;
    const std::optional<EdidImage> image = ReadEdidFile(path, &error);
    if (!image) {
        errors.push_back({node.line, Std(error)});
        return std::nullopt;
    }
    const std::uint16_t status = ValidationError(*image);
    if (status != 0) {
        errors.push_back({node.line, node.file + " is not a valid EDID (" +
                                         std::string(InvalidStatusMessage(status)) + ")"});
        return std::nullopt;
    }
    return image;
}

// The report of a plan before anything is written: what is equal, what differs, what could
// not be read.
void FillReport(SiteDeviceReport& report, const DevicePlan& plan) {
    for (const PlannedNode& n : plan.nodes) {
        SiteNodeReport node{n, SiteOutcome::Unchanged, {}};
        if (n.state == PlanState::Differs) {
            node.outcome = SiteOutcome::WouldChange;
        } else if (n.state == PlanState::Unknown) {
            node.outcome = SiteOutcome::Failed;
            node.reason = QStringLiteral("the device did not send its EDID");
        }
        report.nodes.push_back(std::move(node));
    }
    for (const PlannedMode& m : plan.modes) {
        SiteModeReport mode{m, SiteOutcome::Unchanged, {}};
        if (m.state == PlanState::Differs) {
            mode.outcome = SiteOutcome::WouldChange;
        } else if (m.state == PlanState::Unknown) {
            mode.outcome = SiteOutcome::Failed;
            mode.reason = QStringLiteral("the device did not report its mode");
        }
        report.modes.push_back(std::move(mode));
    }
}

} // namespace

LoadedSite LoadSiteFile(const QString& path) {
    LoadedSite s;
    s.path = path;
    s.folder = QFileInfo(path).absolutePath();
    QString error;
    const std::optional<QByteArray> text =
        ReadFileHead(path, static_cast<qint64>(kSiteFileMaxBytes), &error);
    if (!text) {
        s.errors.push_back({0, Std(error.isEmpty() ? QStringLiteral("cannot read it") : error)});
        return s;
    }
    if (static_cast<std::size_t>(text->size()) > kSiteFileMaxBytes) {
        s.errors.push_back({0, "the file is larger than a site file can be (1 MiB)"});
        return s;
    }
    if (!ParseSiteFile(std::string_view(text->constData(), static_cast<std::size_t>(text->size())),
                       s.site, s.errors)) {
        return s;
    }
    const QDir base(s.folder);
    const QDir edids(s.site.edids ? base.filePath(Text(*s.site.edids)) : s.folder);
    for (const SiteDevice& device : s.site.devices) {
        std::vector<EdidImage> images;
        for (const SiteNode& node : device.nodes) {
            images.push_back(ReadNodeFile(base, edids, node, s.errors).value_or(EdidImage{}));
        }
        s.wanted.push_back(std::move(images));
    }
    std::stable_sort(s.errors.begin(), s.errors.end());
    return s;
}

const char* SiteOutcomeName(SiteOutcome outcome) {
    switch (outcome) {
    case SiteOutcome::Unchanged:
        return "unchanged";
    case SiteOutcome::WouldChange:
        return "differs";
    case SiteOutcome::Written:
        return "written";
    case SiteOutcome::Failed:
        break;
    }
    return "failed";
}

bool SiteDeviceReport::matches() const {
    auto done = [](SiteOutcome o) {
        return o == SiteOutcome::Unchanged || o == SiteOutcome::Written;
    };
    return reached && error.isEmpty() &&
           std::all_of(nodes.begin(), nodes.end(),
                       [&](const SiteNodeReport& n) { return done(n.outcome); }) &&
           std::all_of(modes.begin(), modes.end(),
                       [&](const SiteModeReport& m) { return done(m.outcome); });
}

bool SiteReport::ok() const {
    return errors.empty() && std::all_of(devices.begin(), devices.end(),
                                         [](const SiteDeviceReport& d) { return d.matches(); });
}

SiteTool::SiteTool(ConnectionController& connection, EdidTransfer& transfer, InputModeTool& modes,
                   DeviceBackupTool& backups, QObject* parent)
    : QObject(parent), connection_(connection), transfer_(transfer), modes_(modes),
      backups_(backups) {}

QStringList SiteTool::PortsOf(const SiteFile& site) {
    QStringList ports;
    for (const SiteDevice& d : site.devices) {
        if (d.locator == SiteLocator::Port && !ports.contains(Text(d.where))) {
            ports << Text(d.where);
        }
    }
    return ports;
}

bool SiteTool::NeedsNetwork(const SiteFile& site) {
    return std::any_of(site.devices.begin(), site.devices.end(),
                       [](const SiteDevice& d) { return d.locator != SiteLocator::Port; });
}

void SiteTool::search() {
    connection_.search();
    if (connection_.network() != nullptr) {
        PumpDelay(400); // late network replies
    }
}

int SiteTool::findRow(const SiteDevice& device) const {
    if (!connection_.connected()) {
        return 0;
    }
    const DeviceTable& table = connection_.devices();
    const std::vector<DeviceRow>& rows = connection_.rows();
    for (int i = 0; i < table.count && static_cast<std::size_t>(i) < rows.size(); ++i) {
        const DeviceRow& row = rows[static_cast<std::size_t>(i)];
        const DeviceRecord& record = table.records[static_cast<std::size_t>(i)];
        if (row.isp) {
            continue;
        }
        bool match = false;
        switch (device.locator) {
        case SiteLocator::Port:
            match = record.isSerial() && SamePort(row.interface, device.where);
            break;
        case SiteLocator::Mac:
            match = !record.isSerial() && NormalizeMac(row.mac) == device.where;
            break;
        case SiteLocator::Product:
            match = Utf8(record.productString) == device.where;
            break;
        }
        if (match) {
            return i + 1;
        }
    }
    return 0;
}

std::vector<SiteError> SiteTool::checkDevices(const LoadedSite& site) {
    std::vector<SiteError> errors;
    std::vector<std::pair<int, int>> taken; // row, the entry's line
    for (const SiteDevice& device : site.site.devices) {
        const int row = findRow(device);
        if (row == 0) {
            continue; // reported when its turn comes
        }
        const auto other = std::find_if(taken.begin(), taken.end(),
                                        [row](const auto& t) { return t.first == row; });
        if (other != taken.end()) {
            errors.push_back(
                {device.line, "this entry finds the same device as the entry on line " +
                                  std::to_string(other->second)});
            continue;
        }
        taken.emplace_back(row, device.line);
        if (!selectRow(row)) {
            continue; // reported when its turn comes
        }
        const DeviceRecord& r = connection_.devices().current();
        const NodeCounts counts{r.inputCount, r.outputCount, r.userEdidCount, r.internalEdidCount};
        const std::vector<SiteError> found = CheckSiteDevice(device, counts, r.isSerial());
        errors.insert(errors.end(), found.begin(), found.end());
    }
    std::stable_sort(errors.begin(), errors.end());
    return errors;
}

SiteReport SiteTool::run(const LoadedSite& site, bool dryRun, const QString& backupRoot) {
    SiteReport report;
    report.dryRun = dryRun;
    cancelled_ = false;
    if (!site.ok()) {
        report.errors = site.errors;
        return report;
    }
    if (connection_.busy()) {
        report.errors.push_back({0, "another device flow is running"});
        return report;
    }
    if (!connection_.connected()) {
        search();
    }
    report.errors = checkDevices(site);
    if (!report.errors.empty()) {
        return report;
    }
    const int total = static_cast<int>(site.site.devices.size());
    for (std::size_t i = 0; i < site.site.devices.size(); ++i) {
        const SiteDevice& device = site.site.devices[i];
        emit progress(static_cast<int>(i), total, Text(device.name));
        if (cancelled_) {
            SiteDeviceReport skipped;
            skipped.name = Text(device.name);
            skipped.where = Text(device.where);
            skipped.error = QStringLiteral("cancelled");
            report.devices.push_back(std::move(skipped));
            continue;
        }
        report.devices.push_back(runDevice(site, i, dryRun, backupRoot));
        const SiteDeviceReport& done = report.devices.back();
        emit stepFinished(done.error.isEmpty()
                              ? QStringLiteral("%1: %2").arg(
                                    done.name, done.matches()
                                                   ? QStringLiteral("matches the file")
                                                   : QStringLiteral("differs from the file"))
                              : QStringLiteral("%1: failed (%2)").arg(done.name, done.error),
                          done.matches());
    }
    emit progress(total, total, QString());
    return report;
}

bool SiteTool::selectRow(int row) {
    connection_.select(row);
    if (!linkUp()) {
        return false;
    }
    // A network device reports its counts in answer to the opening of the device.
    const DeviceRecord& r = connection_.devices().current();
    for (int waited = 0; !r.isSerial() && r.inputCount == 0 && waited < 1000; waited += 50) {
        PumpDelay(50);
    }
    return linkUp();
}

bool SiteTool::linkUp() const {
    return connection_.selectedLinkUp();
}

void SiteTool::beginLink(bool serial) {
    bracket_.emplace(connection_.session(), serial);
}

void SiteTool::endLink(bool serial) {
    bracket_.reset(); // the device is told only while its link is still open
    if (serial && linkUp()) {
        modes_.rereadChosenInput();
    }
}

PresentState SiteTool::readPresent(const SiteDevice& device) {
    PresentState present;
    const bool serial = connection_.devices().current().isSerial();
    const FlowGuard flow(connection_);
    beginLink(serial);
    for (const SiteNode& node : device.nodes) {
        if (linkUp() && transfer_.readNode(node.node)) {
            present.nodes.emplace_back(connection_.deviceEdidImage());
        } else {
            present.nodes.emplace_back(std::nullopt);
        }
    }
    for (const SiteMode& mode : device.modes) {
        present.modes.push_back(
            linkUp() ? modes_.readModeInFlow(mode.input, DeviceBackupTool::kModeAnswerWaitMs) : -1);
    }
    endLink(serial);
    return present;
}

SiteDeviceReport SiteTool::runDevice(const LoadedSite& site, std::size_t index, bool dryRun,
                                     const QString& backupRoot) {
    const SiteDevice& device = site.site.devices[index];
    SiteDeviceReport report;
    report.name = Text(device.name);
    report.where = Text(device.where);
    int row = findRow(device);
    if (row == 0 && !connection_.connected()) {
        search(); // an earlier device's link went down, and the connection with it
        row = findRow(device);
    }
    if (row == 0) {
        report.error = QStringLiteral("no device found for %1").arg(report.where);
        return report;
    }
    if (!selectRow(row)) {
        report.error = QStringLiteral("the device cannot be reached");
        return report;
    }
    report.reached = true;
    const DeviceRecord& r = connection_.devices().current();
    const NodeCounts counts{r.inputCount, r.outputCount, r.userEdidCount, r.internalEdidCount};
    const DevicePlan plan = PlanDevice(device, counts, site.wanted[index], readPresent(device));
    FillReport(report, plan);
    if (!linkUp()) {
        report.error = QStringLiteral("the link to the device was lost");
    }
    if (dryRun || !report.error.isEmpty() || !plan.changes()) {
        return report;
    }
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString folder =
        QDir(backupRoot).filePath(stamp + QLatin1Char('-') + Text(SafeFileStem(device.name)));
    const DeviceBackupTool::BackupResult backup = backups_.backup(folder);
    if (!backup.ok) {
        report.error = QStringLiteral("nothing written: the backup into %1 failed (%2)")
                           .arg(folder, backup.error);
        return report;
    }
    report.backup = folder;
    applyPlan(report);
    return report;
}

void SiteTool::applyPlan(SiteDeviceReport& report) {
    const bool serial = connection_.devices().current().isSerial();
    const FlowGuard flow(connection_);
    beginLink(serial);
    for (SiteNodeReport& node : report.nodes) {
        if (node.outcome != SiteOutcome::WouldChange) {
            continue;
        }
        const bool ok = writeNode(node.plan, node.reason);
        node.outcome = ok ? SiteOutcome::Written : SiteOutcome::Failed;
        emit stepFinished(QStringLiteral("%1 %2: %3")
                              .arg(report.name, Text(NodeName(node.plan.node)),
                                   ok ? QStringLiteral("written, read back alike") : node.reason),
                          ok);
    }
    for (SiteModeReport& mode : report.modes) {
        if (mode.outcome != SiteOutcome::WouldChange) {
            continue;
        }
        const bool ok = setMode(mode.plan, mode.reason);
        mode.outcome = ok ? SiteOutcome::Written : SiteOutcome::Failed;
        emit stepFinished(
            QStringLiteral("%1 input%2 mode: %3")
                .arg(report.name)
                .arg(mode.plan.input + 1)
                .arg(ok ? QStringLiteral("set to %1").arg(Text(mode.plan.wantedSource))
                        : mode.reason),
            ok);
    }
    endLink(serial);
    if (!linkUp()) {
        report.error = QStringLiteral("the link to the device was lost");
    }
}

bool SiteTool::writeNode(const PlannedNode& node, QString& reason) {
    if (cancelled_ || !linkUp()) {
        reason = cancelled_ ? QStringLiteral("not written: cancelled")
                            : QStringLiteral("not written: the link to the device was lost");
        return false;
    }
    if (!transfer_.writeNode(node.node, node.wanted)) {
        reason = QStringLiteral("the write failed: %1").arg(Text(transfer_.failure()));
        return false;
    }
    if (!connection_.devices().current().isSerial()) {
        connection_.session().wait(100); // the write datagram has no reply: let it land
    }
    if (!transfer_.readNode(node.node)) {
        reason = QStringLiteral("written, but it could not be read back");
        return false;
    }
    if (connection_.deviceEdidImage() != node.wanted) {
        reason = QStringLiteral("written, but it reads back otherwise");
        return false;
    }
    return true;
}

bool SiteTool::setMode(const PlannedMode& mode, QString& reason) {
    if (cancelled_ || !linkUp()) {
        reason = cancelled_ ? QStringLiteral("not set: cancelled")
                            : QStringLiteral("not set: the link to the device was lost");
        return false;
    }
    modes_.setModeInFlow(mode.input, mode.wanted);
    const int reported = modes_.readModeInFlow(mode.input, DeviceBackupTool::kModeAnswerWaitMs);
    if (reported != mode.wanted) {
        reason = reported < 0 ? QStringLiteral("set, but the device did not report it back")
                              : QStringLiteral("set, but the device reports mode %1").arg(reported);
        return false;
    }
    return true;
}

} // namespace lvx
