#include "cli/MonitorsCommand.h"

#include "cli/AnalyzeCommand.h"
#include "cli/CliContext.h"
#include "edid/EdidFile.h"
#include "edid/EdidFileIO.h"
#include "edid/MonitorScan.h"

#include <QJsonDocument>

namespace lvx::cli {

namespace {

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QJsonObject MonitorJson(const ScannedMonitor& s) {
    QJsonObject o;
    o[QStringLiteral("connector")] = QString::fromStdString(s.monitor.name.connector);
    o[QStringLiteral("card")] = s.monitor.name.card;
    o[QStringLiteral("status")] = QString::fromLatin1(s.monitor.status());
    if (!s.monitor.ok) {
        o[QStringLiteral("problem")] = QString::fromStdString(s.monitor.problem);
        o[QStringLiteral("manufacturer")] = QJsonValue::Null;
        o[QStringLiteral("monitor")] = QJsonValue::Null;
        return o;
    }
    o[QStringLiteral("manufacturer")] = Latin1(s.manufacturer());
    o[QStringLiteral("monitor")] = Latin1(s.monitorName());
    o[QStringLiteral("blocks")] = s.monitor.blocks;
    for (const AnalyzerRow& row : AnalyzerRows()) {
        const std::string_view key = AnalyzerFactKey(row.label);
        o[QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()))] =
            Latin1(AnalyzerFactText(s.report, row.label));
    }
    return o;
}

QString MonitorLine(const ScannedMonitor& s) {
    QString line = QString::fromStdString(s.monitor.name.connector);
    if (!s.monitor.ok) {
        return line +
               QStringLiteral("\tno EDID (%1)\n").arg(QString::fromStdString(s.monitor.problem));
    }
    return line +
           QStringLiteral("\tok\t%1\t%2\n").arg(Latin1(s.manufacturer()), Latin1(s.monitorName()));
}

} // namespace

namespace {

// The monitors --connector names, or all of them; false (with a message) when it names none
// or an ambiguous one.
bool Chosen(const CliContext& context, const std::vector<ScannedMonitor>& all,
            std::vector<ScannedMonitor>& shown) {
    if (context.connector.isEmpty()) {
        shown = all;
        return true;
    }
    std::vector<PcMonitor> monitors;
    for (const ScannedMonitor& s : all) {
        monitors.push_back(s.monitor);
    }
    bool ambiguous = false;
    const PcMonitor* found = FindMonitor(monitors, context.connector.toStdString(), &ambiguous);
    if (found == nullptr) {
        err(ambiguous
                ? QStringLiteral("linkvex-cli monitors: %1 is on several cards; name "
                                 "it as cardN-%1\n")
                      .arg(context.connector)
                : QStringLiteral("linkvex-cli monitors: no connector %1\n").arg(context.connector));
        return false;
    }
    shown.push_back(all[static_cast<std::size_t>(found - monitors.data())]);
    return true;
}

int SaveMonitorEdid(const CliContext& context, const ScannedMonitor& s) {
    if (!s.monitor.ok) {
        err(QStringLiteral("linkvex-cli monitors: %1 has no EDID (%2)\n")
                .arg(context.connector, QString::fromStdString(s.monitor.problem)));
        return kExitFailure;
    }
    const QString name = QString::fromStdString(BinSaveName(context.output.toStdString()));
    // The EDID at its own length: 0xFF padding would read as a broken extension.
    QString error;
    if (!WriteFileAtomically(name, EdidFileBytes(s.monitor), &error)) {
        err(QStringLiteral("linkvex-cli monitors: cannot write %1: %2\n").arg(name, error));
        return kExitFailure;
    }
    out(QStringLiteral("%1\n").arg(name));
    return kExitOk;
}

} // namespace

int RunMonitors(const CliContext& context) {
    if (!context.arguments.isEmpty()) {
        err(QStringLiteral("linkvex-cli monitors: takes no file names (use -o FILE with "
                           "--connector NAME)\n"));
        return kExitUsage;
    }
    if (!context.output.isEmpty() && context.connector.isEmpty()) {
        err(QStringLiteral("linkvex-cli monitors: -o FILE needs --connector NAME\n"));
        return kExitUsage;
    }
    std::vector<ScannedMonitor> shown;
    if (!Chosen(context, ScanAndAnalyze(SysfsRoot()), shown)) {
        return kExitFailure;
    }
    if (!context.output.isEmpty()) {
        return SaveMonitorEdid(context, shown.front());
    }
    if (context.json) {
        QJsonArray list;
        for (const ScannedMonitor& s : shown) {
            list.append(MonitorJson(s));
        }
        out(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)));
        return kExitOk;
    }
    for (const ScannedMonitor& s : shown) {
        out(MonitorLine(s));
    }
    if (shown.empty()) {
        err(QStringLiteral("No connector with an EDID under %1/class/drm.\n").arg(SysfsRoot()));
    }
    return kExitOk;
}

} // namespace lvx::cli
