#include "edid/MonitorScan.h"

#include "edid/EdidFileIO.h"

#include <QDir>
#include <QFileInfo>

namespace lvx {

QString SysfsRoot() {
    const QString root = qEnvironmentVariable("LINKVEX_SYSFS_ROOT");
    return root.isEmpty() ? QStringLiteral("/sys") : root;
}

std::vector<PcMonitor> ScanPcMonitors(const QString& sysfsRoot) {
    std::vector<PcMonitor> monitors;
    const QDir drm(sysfsRoot + QStringLiteral("/class/drm"));
    // The kernel's entries are symbolic links to the devices' directories: follow them.
    const QStringList names = drm.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QByteArray directory = name.toUtf8();
        if (!ParseConnectorDirectory(std::string_view(
                directory.constData(), static_cast<std::size_t>(directory.size())))) {
            continue;
        }
        const QString edidPath = drm.filePath(name) + QStringLiteral("/edid");
        if (!QFileInfo::exists(edidPath)) {
            continue; // no display connector (a writeback connector, say)
        }
        std::optional<std::vector<std::uint8_t>> bytes;
        if (const std::optional<QByteArray> read =
                ReadFileHead(edidPath, static_cast<qint64>(kMaxConnectorEdidBytes))) {
            bytes.emplace(read->begin(), read->end());
        }
        monitors.push_back(ClassifyConnector(directory.toStdString(), bytes));
    }
    SortMonitors(monitors);
    return monitors;
}

std::string ScannedMonitor::manufacturer() const {
    return monitor.ok ? report.text("Label_Manufac_Name") : std::string();
}

std::string ScannedMonitor::monitorName() const {
    return monitor.ok ? report.text("Label_Monitor_Name") : std::string();
}

QByteArray EdidFileBytes(const PcMonitor& monitor) {
    return QByteArray(reinterpret_cast<const char*>(monitor.edid.data()),
                      static_cast<qsizetype>(monitor.edid.size()));
}

std::vector<ScannedMonitor> ScanAndAnalyze(const QString& sysfsRoot) {
    std::vector<ScannedMonitor> out;
    for (PcMonitor& m : ScanPcMonitors(sysfsRoot)) {
        ScannedMonitor s;
        s.monitor = std::move(m);
        if (s.monitor.ok) {
            EdidRecord record;
            s.report = AnalyzeImage(record, s.monitor.image);
        }
        out.push_back(std::move(s));
    }
    return out;
}

} // namespace lvx
