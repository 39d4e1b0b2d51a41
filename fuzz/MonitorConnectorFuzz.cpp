// The reader of the kernel's DRM connectors (Monitors of This PC, linkvex-cli monitors):
// connector directory names, "edid" attributes of any contents and length, the order of
// the list and the lookup of a user's name. The input is a few connectors, each a directory
// name and an attribute's bytes; the attributes are also written into a sysfs tree of the
// target's own and read back through ScanPcMonitors, which must see what the pure
// classification sees.

#include "FuzzSupport.h"

#include "edid/MonitorScan.h"
#include "edid/PcMonitors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace lvx;
using lvx::fuzz::ByteReader;

namespace {

// The directories of the tree: the kernel names connectors cardN-NAME.
const char* const kTreeConnectors[] = {"card0-HDMI-A-1", "card0-DP-1", "card1-HDMI-A-1"};

std::unique_ptr<QTemporaryDir> gTree;

// The connector directory shape written out: "card", one to six digits, "-", a name.
std::optional<ConnectorName> ExpectedName(const std::string& d) {
    if (d.compare(0, 4, "card") != 0) {
        return std::nullopt;
    }
    std::size_t digits = 0;
    while (4 + digits < d.size() && d[4 + digits] >= '0' && d[4 + digits] <= '9') {
        ++digits;
    }
    if (digits < 1 || digits > 6 || 4 + digits + 1 >= d.size() || d[4 + digits] != '-') {
        return std::nullopt;
    }
    return ConnectorName{std::stoi(d.substr(4, digits)), d.substr(4 + digits + 1)};
}

void CheckClassified(const PcMonitor& m, const std::string& directory,
                     const std::optional<std::vector<std::uint8_t>>& bytes) {
    LVX_FUZZ_CHECK(m.directory == directory);
    const std::optional<ConnectorName> name = ExpectedName(directory);
    LVX_FUZZ_CHECK(m.name.connector == (name ? name->connector : directory));
    LVX_FUZZ_CHECK(m.name.card == (name ? name->card : 0));
    const std::size_t size = bytes ? bytes->size() : 0;
    const std::size_t blocks = size >= 128 ? 1 + std::size_t{(*bytes)[126]} : 0;
    const bool whole = bytes && size >= 128 && size <= 256 * 128 && size >= blocks * 128;
    LVX_FUZZ_CHECK(m.ok == whole);
    LVX_FUZZ_CHECK(m.ok == m.problem.empty());
    if (!m.ok) {
        LVX_FUZZ_CHECK(m.edid.empty());
        LVX_FUZZ_CHECK(
            std::all_of(m.image.begin(), m.image.end(), [](auto b) { return b == 0xFF; }));
        return;
    }
    LVX_FUZZ_CHECK(m.size == size);
    LVX_FUZZ_CHECK(m.blocks == static_cast<int>(blocks));
    // What a saved file holds: the announced blocks, nothing more, nothing padded.
    LVX_FUZZ_CHECK(m.edid.size() == blocks * 128);
    LVX_FUZZ_CHECK(std::equal(m.edid.begin(), m.edid.end(), bytes->begin()));
    // What the program holds: the first 256 bytes, 0xFF where the attribute has none.
    for (std::size_t i = 0; i < m.image.size(); ++i) {
        LVX_FUZZ_CHECK(m.image[i] == (i < size ? (*bytes)[i] : 0xFF));
    }
}

void CheckList(std::vector<PcMonitor> monitors, const std::string& asked) {
    SortMonitors(monitors);
    for (std::size_t i = 1; i < monitors.size(); ++i) {
        const PcMonitor& a = monitors[i - 1];
        const PcMonitor& b = monitors[i];
        LVX_FUZZ_CHECK(a.name.card < b.name.card ||
                       (a.name.card == b.name.card && a.name.connector <= b.name.connector));
    }
    bool ambiguous = true;
    const PcMonitor* found = FindMonitor(monitors, asked, &ambiguous);
    const auto byDirectory = std::find_if(monitors.begin(), monitors.end(),
                                          [&](const PcMonitor& m) { return m.directory == asked; });
    const auto named = std::count_if(monitors.begin(), monitors.end(),
                                     [&](const PcMonitor& m) { return m.name.connector == asked; });
    if (byDirectory != monitors.end()) {
        LVX_FUZZ_CHECK(found == &*byDirectory && !ambiguous);
    } else if (named == 1) {
        LVX_FUZZ_CHECK(found != nullptr && found->name.connector == asked && !ambiguous);
    } else {
        LVX_FUZZ_CHECK(found == nullptr && ambiguous == (named > 1));
    }
}

// The attributes written into the tree come back through the scan as they were classified.
void CheckScan(const std::vector<std::vector<std::uint8_t>>& attributes) {
    const QString drm = gTree->filePath(QStringLiteral("class/drm"));
    std::vector<PcMonitor> expected;
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        QFile file(drm + '/' + kTreeConnectors[i] + QStringLiteral("/edid"));
        LVX_FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const auto& bytes = attributes[i];
        LVX_FUZZ_CHECK(file.write(reinterpret_cast<const char*>(bytes.data()),
                                  static_cast<qint64>(bytes.size())) ==
                       static_cast<qint64>(bytes.size()));
        file.close();
        // The reader takes at most one byte more than the largest EDID.
        std::vector<std::uint8_t> seen(
            bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(
                                               std::min(bytes.size(), kMaxConnectorEdidBytes + 1)));
        expected.push_back(ClassifyConnector(kTreeConnectors[i], seen));
    }
    for (std::size_t i = attributes.size(); i < std::size(kTreeConnectors); ++i) {
        QFile::remove(drm + '/' + kTreeConnectors[i] + QStringLiteral("/edid"));
    }
    SortMonitors(expected);
    const std::vector<PcMonitor> scanned = ScanPcMonitors(gTree->path());
    LVX_FUZZ_CHECK(scanned.size() == expected.size());
    for (std::size_t i = 0; i < scanned.size(); ++i) {
        LVX_FUZZ_CHECK(scanned[i].directory == expected[i].directory);
        LVX_FUZZ_CHECK(scanned[i].ok == expected[i].ok);
        LVX_FUZZ_CHECK(scanned[i].problem == expected[i].problem);
        LVX_FUZZ_CHECK(scanned[i].edid == expected[i].edid);
        LVX_FUZZ_CHECK(scanned[i].image == expected[i].image);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gTree = std::make_unique<QTemporaryDir>();
    for (const char* connector : kTreeConnectors) {
        QDir().mkpath(gTree->filePath(QStringLiteral("class/drm/") + connector));
    }
    QDir().mkpath(gTree->filePath(QStringLiteral("class/drm/card0")));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    std::vector<PcMonitor> monitors;
    std::vector<std::vector<std::uint8_t>> attributes;
    const std::size_t count = in.byte() % 5;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string directory = in.text(in.byte() % 24);
        // Lengths up to past the largest EDID; what the input lacks reads as zeros.
        std::size_t length = in.u16();
        length = length % (kMaxConnectorEdidBytes + 200);
        std::vector<std::uint8_t> bytes = in.bytes(length);
        bytes.resize(length, 0);
        if (in.byte() & 1) {
            // The extension count the length asks for, so that whole EDIDs come often.
            if (bytes.size() >= 128) {
                bytes[126] =
                    static_cast<std::uint8_t>(std::min<std::size_t>(bytes.size() / 128 - 1, 255));
            }
        }
        const bool unreadable = (in.byte() & 7) == 0;
        const std::optional<std::vector<std::uint8_t>> attribute =
            unreadable ? std::nullopt : std::optional<std::vector<std::uint8_t>>(bytes);
        const PcMonitor m = ClassifyConnector(directory, attribute);
        CheckClassified(m, directory, attribute);
        monitors.push_back(m);
        if (!unreadable && attributes.size() < std::size(kTreeConnectors)) {
            attributes.push_back(bytes);
        }
    }
    CheckList(monitors, in.text(in.byte() % 24));
    CheckScan(attributes);
    return 0;
}
