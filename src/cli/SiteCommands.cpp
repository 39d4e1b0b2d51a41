#include "cli/SiteCommands.h"

#include "cli/CliContext.h"
#include "common/PrintableText.h"
#include "connection/ConnectionController.h"
#include "edid/BackupManifest.h"
#include "edid/DeviceBackupTool.h"
#include "edid/EdidTransfer.h"
#include "edid/InputModeTool.h"
#include "protocol/PumpDelay.h"
#include "site/SiteTool.h"

#include <QFileInfo>
#include <QJsonDocument>

namespace lvx::cli {

namespace {

QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// A text from the site file or a device, as printed.
QString Printed(const QString& text) {
    return Text(EscapeControls(text.toUtf8().toStdString(), TextBytes::Utf8));
}

// The tools of the site flow on one controller, with every step on standard error.
struct SiteSession {
    ConnectionController controller;
    EdidTransfer transfer{controller};
    InputModeTool modes{controller};
    DeviceBackupTool backups{controller, transfer, modes};
    SiteTool tool{controller, transfer, modes, backups};

    SiteSession() {
        QObject::connect(&tool, &SiteTool::stepFinished, [](const QString& line, bool) {
            err(QStringLiteral("  %1\n").arg(Printed(line)));
        });
    }
    void end() {
        PumpDelay(100); // the last frame or datagram leaves before the program ends
        controller.disconnectDevices();
    }
};

QJsonObject NodeJson(const SiteNodeReport& n) {
    QJsonObject o{{QStringLiteral("node"), Text(NodeName(n.plan.node))},
                  {QStringLiteral("file"), Text(n.plan.file)},
                  {QStringLiteral("status"), QLatin1String(SiteOutcomeName(n.outcome))}};
    if (!n.reason.isEmpty()) {
        o[QStringLiteral("reason")] = n.reason;
    }
    if (n.plan.state == PlanState::Differs) {
        QJsonArray changes;
        for (const std::string& c : n.plan.changes) {
            changes.append(Text(c));
        }
        o[QStringLiteral("changes")] = changes;
    }
    return o;
}

QJsonObject ModeJson(const SiteModeReport& m) {
    QJsonObject o{{QStringLiteral("input"), QStringLiteral("input%1").arg(m.plan.input + 1)},
                  {QStringLiteral("from"), Text(m.plan.presentSource)},
                  {QStringLiteral("to"), Text(m.plan.wantedSource)},
                  {QStringLiteral("status"), QLatin1String(SiteOutcomeName(m.outcome))}};
    if (!m.reason.isEmpty()) {
        o[QStringLiteral("reason")] = m.reason;
    }
    return o;
}

QJsonObject ReportJson(const SiteReport& report) {
    QJsonArray devices;
    for (const SiteDeviceReport& d : report.devices) {
        QJsonArray nodes;
        QJsonArray modes;
        for (const SiteNodeReport& n : d.nodes) {
            nodes.append(NodeJson(n));
        }
        for (const SiteModeReport& m : d.modes) {
            modes.append(ModeJson(m));
        }
        QJsonObject o{
            {QStringLiteral("name"), d.name},       {QStringLiteral("where"), d.where},
            {QStringLiteral("reached"), d.reached}, {QStringLiteral("matches"), d.matches()},
            {QStringLiteral("nodes"), nodes},       {QStringLiteral("modes"), modes}};
        if (!d.error.isEmpty()) {
            o[QStringLiteral("error")] = d.error;
        }
        if (!d.backup.isEmpty()) {
            o[QStringLiteral("backup")] = d.backup;
        }
        devices.append(o);
    }
    return {{QStringLiteral("dryRun"), report.dryRun},
            {QStringLiteral("ok"), report.ok()},
            {QStringLiteral("devices"), devices}};
}

// The dry run's and the run's text: per device, per node and per mode.
void PrintReport(const SiteReport& report) {
    for (const SiteDeviceReport& d : report.devices) {
        out(QStringLiteral("%1 (%2)%3\n")
                .arg(Printed(d.name), Printed(d.where),
                     d.error.isEmpty() ? QString() : QStringLiteral(": failed: ") + d.error));
        for (const SiteNodeReport& n : d.nodes) {
            out(QStringLiteral("  %1 <- %2: %3%4\n")
                    .arg(Text(NodeName(n.plan.node)), Printed(Text(n.plan.file)),
                         QLatin1String(SiteOutcomeName(n.outcome)),
                         n.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(n.reason)));
            if (n.plan.state == PlanState::Differs) {
                for (const std::string& c : n.plan.changes) {
                    out(QStringLiteral("      %1\n").arg(Printed(Text(c))));
                }
            }
        }
        for (const SiteModeReport& m : d.modes) {
            out(QStringLiteral("  input%1 mode %2 -> %3: %4%5\n")
                    .arg(m.plan.input + 1)
                    .arg(m.plan.presentSource.empty() ? QStringLiteral("?")
                                                      : Text(m.plan.presentSource),
                         Text(m.plan.wantedSource), QLatin1String(SiteOutcomeName(m.outcome)),
                         m.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(m.reason)));
        }
    }
}

// Sets up the Search: the site file's ports and the ones given, the network when needed.
bool PrepareSiteSearch(ConnectionController& controller, const CliContext& context,
                       const QStringList& ports, bool network) {
    CliContext search = context;
    search.ports = ports;
    search.noSerial = ports.isEmpty(); // never the system's own ports
    search.noEthernet = context.noEthernet || !network;
    return PrepareSearch(controller, search);
}

} // namespace

int RunApply(const CliContext& context) {
    if (context.arguments.size() != 1) {
        err(QStringLiteral("linkvex-cli apply SITE.yaml [--dry-run] [--loopback] "
                           "[--backup-dir DIR] [--json]\n"));
        return kExitUsage;
    }
    const QString path = context.arguments.first();
    const LoadedSite site = LoadSiteFile(path);
    if (!site.ok()) {
        for (const SiteError& e : site.errors) {
            err(Printed(Text(FormatSiteError(path.toStdString(), e))) + QLatin1Char('\n'));
        }
        err(QStringLiteral("linkvex-cli apply: nothing was sent\n"));
        return kExitUsage;
    }
    SiteSession s;
    QStringList ports = SiteTool::PortsOf(site.site);
    for (const QString& p : context.ports) {
        if (!ports.contains(p)) {
            ports << p;
        }
    }
    if (!PrepareSiteSearch(s.controller, context, ports, SiteTool::NeedsNetwork(site.site))) {
        return kExitFailure;
    }
    const QString backupRoot =
        context.backupDir.isEmpty()
            ? QFileInfo(path).absoluteDir().filePath(QStringLiteral("linkvex-backups"))
            : context.backupDir;
    const SiteReport report = s.tool.run(site, context.dryRun, backupRoot);
    s.end();
    if (!report.errors.empty()) {
        for (const SiteError& e : report.errors) {
            err(Printed(Text(FormatSiteError(path.toStdString(), e))) + QLatin1Char('\n'));
        }
        err(QStringLiteral("linkvex-cli apply: nothing was sent\n"));
        return kExitUsage;
    }
    if (context.json) {
        out(QString::fromUtf8(QJsonDocument(ReportJson(report)).toJson(QJsonDocument::Indented)));
    } else {
        PrintReport(report);
    }
    if (!report.ok()) {
        err(report.dryRun
                ? QStringLiteral("linkvex-cli apply: the devices differ from the file\n")
                : QStringLiteral("linkvex-cli apply: not every device matches the file\n"));
        return kExitFailure;
    }
    return kExitOk;
}

int RunCapture(const CliContext& context) {
    if (context.arguments.size() != 1) {
        err(QStringLiteral("linkvex-cli capture SITE.yaml [--port PATH]... [--mac MAC]... "
                           "[--loopback]\n"));
        return kExitUsage;
    }
    for (const QString& mac : context.macs) {
        if (!NormalizeMac(mac.toStdString())) {
            err(QStringLiteral("linkvex-cli capture: %1 is not a MAC address\n").arg(mac));
            return kExitUsage;
        }
    }
    SiteSession s;
    // The given ports, or the system's when none are given (unless only MACs are named).
    CliContext search = context;
    search.noSerial = context.noSerial || (context.ports.isEmpty() && !context.macs.isEmpty());
    if (!PrepareSearch(s.controller, search)) {
        return kExitFailure;
    }
    s.tool.search();
    // With --mac, only the network devices named are captured.
    s.tool.onlyMacs.clear();
    for (const QString& mac : context.macs) {
        s.tool.onlyMacs.push_back(*NormalizeMac(mac.toStdString()));
    }
    const SiteTool::CaptureResult result = s.tool.capture(context.arguments.first());
    s.end();
    for (const QString& note : result.notes) {
        err(QStringLiteral("  %1\n").arg(Printed(note)));
    }
    if (!result.ok) {
        err(QStringLiteral("linkvex-cli capture: %1\n").arg(Printed(result.error)));
        return kExitFailure;
    }
    out(QStringLiteral("%1 devices captured, %2 EDID files written, %3\n")
            .arg(result.devices)
            .arg(result.edidFiles)
            .arg(context.arguments.first()));
    return kExitOk;
}

} // namespace lvx::cli
