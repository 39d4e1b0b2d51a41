#include "edid/CombineSources.h"

#include "edid/EdidFileIO.h"
#include "edid/MonitorScan.h"

namespace lvx {

namespace {

constexpr std::size_t kBlock = 128;
constexpr std::size_t kMaxBlocks = 256;

} // namespace

std::vector<std::uint8_t> AnnouncedBlocks(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < kBlock) {
        return {};
    }
    const std::size_t announced = (1u + bytes[126]) * kBlock;
    const std::size_t whole = bytes.size() / kBlock * kBlock;
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(announced, whole))};
}

std::optional<std::vector<std::uint8_t>> ReadEdidBytes(const QString& path, QString* error) {
    const std::optional<QByteArray> head =
        ReadFileHead(path, static_cast<qint64>(kBlock * kMaxBlocks), error);
    if (!head) {
        return std::nullopt;
    }
    const std::vector<std::uint8_t> bytes(head->begin(), head->end());
    std::vector<std::uint8_t> blocks = AnnouncedBlocks(bytes);
    if (blocks.empty()) {
        if (error != nullptr) {
            *error = QStringLiteral("%1: shorter than one EDID block (128 bytes)").arg(path);
        }
        return std::nullopt;
    }
    return blocks;
}

std::optional<std::vector<std::uint8_t>> MonitorEdid(const QString& sysfsRoot, const QString& name,
                                                     QString* error) {
    const std::vector<PcMonitor> monitors = ScanPcMonitors(sysfsRoot);
    bool ambiguous = false;
    const PcMonitor* m = FindMonitor(monitors, name.toStdString(), &ambiguous);
    const QByteArray edid = m != nullptr ? EdidFileBytes(*m) : QByteArray();
    if (edid.size() < static_cast<qsizetype>(kBlock)) {
        if (error != nullptr) {
            *error = m == nullptr ? (ambiguous ? QStringLiteral("%1: two cards have a display "
                                                                "of that name; give card1-%1")
                                               : QStringLiteral("%1: no such display"))
                                        .arg(name)
                                  : QStringLiteral("%1: the display sends no EDID").arg(name);
        }
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(edid.begin(), edid.end());
}

} // namespace lvx
