#include "cli/BackupCommands.h"

#include "cli/CliContext.h"
#include "cli/EdidCommands.h"
#include "common/PrintableText.h"
#include "connection/ConnectionController.h"
#include "edid/DeviceBackupTool.h"
#include "edid/EdidTransfer.h"
#include "edid/InputModeTool.h"
#include "protocol/PumpDelay.h"

#include <QJsonDocument>

namespace lvx::cli {

namespace {

QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// A line that quotes the device's or the manifest's texts, as printed.
QString Printed(const std::string& utf8) {
    return Text(EscapeControls(utf8, TextBytes::Utf8));
}

bool CheckArguments(const CliContext& context) {
    if (context.arguments.size() != 1) {
        err(QStringLiteral("linkvex-cli %1: (--port PATH | --mac MAC [--loopback]) DIR\n")
                .arg(context.command));
        return false;
    }
    if (context.ports.isEmpty() && context.mac.isEmpty()) {
        err(QStringLiteral("linkvex-cli %1: name the device with --port PATH or --mac MAC\n")
                .arg(context.command));
        return false;
    }
    return true;
}

// The tools of one device flow on a connected controller, with every step on standard error.
struct Session {
    ConnectionController controller;
    std::unique_ptr<EdidTransfer> transfer;
    std::unique_ptr<InputModeTool> modes;
    std::unique_ptr<DeviceBackupTool> tool;

    void start(const CliContext& context) {
        transfer = std::make_unique<EdidTransfer>(controller);
        modes = std::make_unique<InputModeTool>(controller);
        tool = std::make_unique<DeviceBackupTool>(controller, *transfer, *modes);
        const QString command = context.command;
        QObject::connect(
            tool.get(), &DeviceBackupTool::progress,
            [command](int done, int total, const QString& text) {
                if (!text.isEmpty()) {
                    err(QStringLiteral("[%1/%2] %3\n").arg(done + 1).arg(total).arg(text));
                }
            });
        QObject::connect(
            tool.get(), &DeviceBackupTool::stepFinished,
            [](const QString& line, bool) { err(QStringLiteral("  %1\n").arg(line)); });
    }

    void end() {
        // Give the last frame or datagram time to leave before the program ends.
        PumpDelay(100);
        controller.disconnectDevices();
    }
};

// What the restore plan found wrong, refused or left out, one line each on standard error.
void PrintPlanNotes(const RestorePlan& plan, bool force) {
    for (const std::string& e : plan.errors) {
        err(QStringLiteral("  error: %1\n").arg(Printed(e)));
    }
    for (const std::string& m : plan.mismatches) {
        err(QStringLiteral("  %1: %2\n")
                .arg(force ? QStringLiteral("forced") : QStringLiteral("refused"), Printed(m)));
    }
    for (const std::string& k : plan.skipped) {
        err(QStringLiteral("  skipped: %1\n").arg(Printed(k)));
    }
}

} // namespace

int RunBackup(const CliContext& context) {
    if (!CheckArguments(context)) {
        return kExitUsage;
    }
    Session s;
    if (!ConnectDevice(s.controller, context)) {
        return kExitFailure;
    }
    s.start(context);
    const QString directory = context.arguments.first();
    const DeviceBackupTool::BackupResult result = s.tool->backup(directory);
    s.end();
    if (!result.started) {
        err(QStringLiteral("linkvex-cli backup: %1\n").arg(result.error));
        return kExitFailure;
    }
    if (context.json) {
        out(QString::fromUtf8(ManifestToJson(result.manifest)));
    }
    int saved = 0;
    for (const BackupEntry& e : result.manifest.nodes) {
        saved += e.ok ? 1 : 0;
    }
    const QString summary =
        QStringLiteral("%1 of %2 EDIDs and %3 of %4 modes saved in %5\n")
            .arg(saved)
            .arg(result.manifest.nodes.size())
            .arg(std::count_if(result.manifest.modes.begin(), result.manifest.modes.end(),
                               [](const BackupMode& m) { return m.ok; }))
            .arg(result.manifest.modes.size())
            .arg(directory);
    if (result.keptEarlier) {
        err(QStringLiteral("linkvex-cli backup: the backup is incomplete: %1\n"
                           "linkvex-cli backup: nothing saved: the earlier complete backup in %2 "
                           "is kept as it was\n")
                .arg(result.error, directory));
        return kExitFailure;
    }
    if (!result.ok) {
        err(summary);
        err(QStringLiteral("linkvex-cli backup: the backup is incomplete: %1\n").arg(result.error));
        return kExitFailure;
    }
    if (!context.json) {
        out(summary);
    }
    return kExitOk;
}

int RunRestore(const CliContext& context) {
    if (!CheckArguments(context)) {
        return kExitUsage;
    }
    Session s;
    if (!ConnectDevice(s.controller, context)) {
        return kExitFailure;
    }
    s.start(context);
    const DeviceBackupTool::RestorePreparation prep =
        s.tool->prepareRestore(context.arguments.first());
    if (!prep.readable) {
        s.end();
        err(QStringLiteral("linkvex-cli restore: %1\n").arg(prep.error));
        return kExitFailure;
    }
    PrintPlanNotes(prep.plan, context.force);
    if (!prep.plan.usable(context.force)) {
        s.end();
        err(prep.plan.errors.empty()
                ? QStringLiteral("linkvex-cli restore: nothing was sent; --force restores anyway\n")
                : QStringLiteral("linkvex-cli restore: the backup cannot be used; nothing was "
                                 "sent\n"));
        return kExitFailure;
    }
    QJsonArray steps;
    QObject::connect(
        s.tool.get(), &DeviceBackupTool::stepFinished, [&steps](const QString& line, bool ok) {
            steps.append(QJsonObject{{QStringLiteral("step"), line}, {QStringLiteral("ok"), ok}});
        });
    const DeviceBackupTool::RestoreResult result = s.tool->restore(prep, context.force);
    s.end();
    if (context.json) {
        QJsonArray skipped;
        for (const std::string& k : prep.plan.skipped) {
            skipped.append(Text(k));
        }
        out(QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("ok"), result.ok},
                                                        {QStringLiteral("steps"), steps},
                                                        {QStringLiteral("skipped"), skipped}})
                                  .toJson(QJsonDocument::Indented)));
    }
    if (!result.ok) {
        err(QStringLiteral("linkvex-cli restore: %1\n").arg(result.error));
        return kExitFailure;
    }
    if (!context.json) {
        out(QStringLiteral("%1 steps done\n").arg(result.stepsDone));
    }
    return kExitOk;
}

} // namespace lvx::cli
