#include "edid/PcMonitors.h"

#include "edid/EdidFile.h"

#include <algorithm>

namespace lvx {

std::optional<ConnectorName> ParseConnectorDirectory(std::string_view directory) {
    constexpr std::string_view kCard = "card";
    if (directory.substr(0, kCard.size()) != kCard) {
        return std::nullopt;
    }
    std::size_t p = kCard.size();
    int card = 0;
    const std::size_t digits = p;
    while (p < directory.size() && directory[p] >= '0' && directory[p] <= '9' && p - digits < 6) {
        card = card * 10 + (directory[p] - '0');
        ++p;
    }
    if (p == digits || p >= directory.size() || directory[p] != '-' || p + 1 >= directory.size()) {
        return std::nullopt;
    }
    return ConnectorName{card, std::string(directory.substr(p + 1))};
}

PcMonitor ClassifyConnector(std::string_view directory,
                            const std::optional<std::vector<std::uint8_t>>& edid) {
    PcMonitor m;
    m.directory = std::string(directory);
    if (const std::optional<ConnectorName> name = ParseConnectorDirectory(directory)) {
        m.name = *name;
    } else {
        m.name.connector = m.directory;
    }
    m.image.fill(0xFF);
    if (!edid) {
        m.problem = "cannot be read";
        return m;
    }
    const std::vector<std::uint8_t>& bytes = *edid;
    m.size = bytes.size();
    if (bytes.empty()) {
        m.problem = "empty";
        return m;
    }
    if (bytes.size() > kMaxConnectorEdidBytes) {
        m.problem = "too large for an EDID";
        return m;
    }
    if (bytes.size() < kEdidBlockSize) {
        m.problem = "truncated, " + std::to_string(bytes.size()) + " bytes";
        return m;
    }
    const std::size_t blocks = 1 + std::size_t{bytes[kEdidExtensionCountOffset]};
    if (bytes.size() < blocks * kEdidBlockSize) {
        m.problem = "truncated, " + std::to_string(bytes.size()) + " of " +
                    std::to_string(blocks * kEdidBlockSize) + " bytes";
        return m;
    }
    m.ok = true;
    m.blocks = static_cast<int>(blocks);
    m.image = ImageFromFileBytes(bytes.data(), std::min(bytes.size(), kEdidSize));
    m.bytes = bytes;
    return m;
}

void SortMonitors(std::vector<PcMonitor>& monitors) {
    std::stable_sort(monitors.begin(), monitors.end(), [](const PcMonitor& a, const PcMonitor& b) {
        if (a.name.card != b.name.card) {
            return a.name.card < b.name.card;
        }
        return a.name.connector < b.name.connector;
    });
}

const PcMonitor* FindMonitor(const std::vector<PcMonitor>& monitors, std::string_view name,
                             bool* ambiguous) {
    if (ambiguous != nullptr) {
        *ambiguous = false;
    }
    for (const PcMonitor& m : monitors) {
        if (m.directory == name) {
            return &m;
        }
    }
    const PcMonitor* found = nullptr;
    for (const PcMonitor& m : monitors) {
        if (m.name.connector == name) {
            if (found != nullptr) {
                if (ambiguous != nullptr) {
                    *ambiguous = true;
                }
                return nullptr;
            }
            found = &m;
        }
    }
    return found;
}

} // namespace lvx
