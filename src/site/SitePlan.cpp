#include "site/SitePlan.h"

#include "edid/BackupManifest.h"
#include "edid/EdidComparison.h"

#include <algorithm>

namespace lvx {

namespace {

// Fact values are Latin-1 bytes as the EDID holds them.
std::string Utf8(const std::string& latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (const char c : latin1) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::string Shown(const std::string& value) {
    return value.empty() ? "(empty)" : Utf8(value);
}

// The fields a set of byte runs belongs to, each once, at most `limit` of them.
std::string FieldsOf(const std::vector<ByteRange>& ranges, std::size_t limit) {
    std::vector<std::string> fields;
    for (const ByteRange& r : ranges) {
        if (std::find(fields.begin(), fields.end(), r.field) == fields.end()) {
            fields.push_back(r.field);
        }
    }
    std::string out;
    for (std::size_t i = 0; i < fields.size() && i < limit; ++i) {
        out += (i == 0 ? "" : ", ") + fields[i];
    }
    if (fields.size() > limit) {
        out += ", and " + std::to_string(fields.size() - limit) + " more";
    }
    return out;
}

} // namespace

bool DevicePlan::changes() const {
    return nodesToWrite() > 0 || modesToSet() > 0;
}

bool DevicePlan::fullyKnown() const {
    return std::none_of(nodes.begin(), nodes.end(),
                        [](const PlannedNode& n) { return n.state == PlanState::Unknown; }) &&
           std::none_of(modes.begin(), modes.end(),
                        [](const PlannedMode& m) { return m.state == PlanState::Unknown; });
}

int DevicePlan::nodesToWrite() const {
    return static_cast<int>(std::count_if(nodes.begin(), nodes.end(), [](const PlannedNode& n) {
        return n.state == PlanState::Differs;
    }));
}

int DevicePlan::modesToSet() const {
    return static_cast<int>(std::count_if(modes.begin(), modes.end(), [](const PlannedMode& m) {
        return m.state == PlanState::Differs;
    }));
}

DevicePlan PlanDevice(const SiteDevice& device, const NodeCounts& counts,
                      const std::vector<EdidImage>& wanted, const PresentState& present) {
    DevicePlan plan;
    for (std::size_t i = 0; i < device.nodes.size(); ++i) {
        const SiteNode& entry = device.nodes[i];
        PlannedNode n;
        n.node = entry.node;
        n.line = entry.line;
        n.file = entry.file;
        n.wanted = i < wanted.size() ? wanted[i] : EdidImage{};
        const std::optional<EdidImage>* now =
            i < present.nodes.size() ? &present.nodes[i] : nullptr;
        if (now == nullptr || !now->has_value()) {
            n.state = PlanState::Unknown;
        } else if (**now == n.wanted) {
            n.state = PlanState::Unchanged;
        } else {
            const EdidComparison c = CompareEdids(**now, n.wanted);
            n.state = PlanState::Differs;
            n.differingBytes = c.differingBytes;
            n.changes = ChangeSummary(c);
        }
        plan.nodes.push_back(std::move(n));
    }
    const ModeCounts modeCounts = ModeCountsOf(counts);
    for (std::size_t i = 0; i < device.modes.size(); ++i) {
        const SiteMode& entry = device.modes[i];
        PlannedMode m;
        m.input = entry.input;
        m.line = entry.line;
        m.wanted = SiteModeIndex(entry.source, counts).value_or(-1);
        m.wantedSource = entry.source;
        m.present = i < present.modes.size() ? present.modes[i] : -1;
        m.presentSource = ModeSourceName(m.present, modeCounts);
        m.state = m.present < 0           ? PlanState::Unknown
                  : m.present == m.wanted ? PlanState::Unchanged
                                          : PlanState::Differs;
        plan.modes.push_back(std::move(m));
    }
    return plan;
}

std::vector<std::string> ChangeSummary(const EdidComparison& c) {
    std::vector<std::string> lines;
    lines.push_back(std::to_string(c.differingBytes) +
                    (c.differingBytes == 1 ? " byte differs" : " bytes differ"));
    for (const FactComparison& f : c.facts) {
        if (f.differs) {
            lines.push_back(f.caption + ": " + Shown(f.a) + " -> " + Shown(f.b));
        }
    }
    for (const ListChange& change : c.changes) {
        // A VIC's text names itself; the other entries say which list they are from.
        const char* list = change.list == ListChange::List::Vic       ? ""
                           : change.list == ListChange::List::Audio   ? "audio "
                           : change.list == ListChange::List::Speaker ? "speaker "
                                                                      : "detailed timing ";
        lines.push_back(std::string(change.added ? "+ " : "- ") + list + change.text);
    }
    if (lines.size() == 1 && !c.ranges.empty()) {
        lines.front() += " (" + FieldsOf(c.ranges, 4) + ")";
    }
    return lines;
}

} // namespace lvx
