#pragma once

#include "common/EdidImage.h"
#include "site/SiteFile.h"

#include <optional>
#include <string>
#include <vector>

namespace lvx {

struct EdidComparison;

// What a device holds now, for the nodes and inputs its entry names (same order as the
// entry's nodes and modes). A node that could not be read is none; a mode the device did not
// report is -1.
struct PresentState {
    std::vector<std::optional<EdidImage>> nodes;
    std::vector<int> modes;
};

enum class PlanState : std::uint8_t {
    Unchanged, // the device already holds what the file says
    Differs,   // a write (or a mode change) is due
    Unknown,   // the device did not say what it holds
};

struct PlannedNode {
    NodeRef node;
    int line = 0;
    std::string file; // as the site file names it
    EdidImage wanted{};
    PlanState state = PlanState::Unknown;
    int differingBytes = 0;
    // For Differs: what changes, a technician's lines ("Monitor Name: A -> B", "+ VIC 16:
    // 1920x1080p 60 Hz 16:9"), UTF-8.
    std::vector<std::string> changes;
};

struct PlannedMode {
    int input = 0; // 0-based
    int line = 0;
    int present = -1; // the mode index the device reports, -1 when it did not
    int wanted = 0;
    std::string presentSource; // "external1"; empty when none
    std::string wantedSource;
    PlanState state = PlanState::Unknown;
};

// What applying one device's entry would do.
struct DevicePlan {
    std::vector<PlannedNode> nodes;
    std::vector<PlannedMode> modes;

    bool changes() const;    // some node or mode differs
    bool fullyKnown() const; // every node and mode was read
    int nodesToWrite() const;
    int modesToSet() const;
};

// The plan of a device whose entry passed CheckSiteDevice: `wanted` holds the image of each
// of the entry's nodes (its file as read and checked). The images are compared whole (all
// 256 bytes, as the device holds them); a node already equal is left alone.
DevicePlan PlanDevice(const SiteDevice& device, const NodeCounts& counts,
                      const std::vector<EdidImage>& wanted, const PresentState& present);

// The lines a dry run shows for two EDIDs that differ: how many bytes, the analyzer facts that
// differ (present -> wanted), and the list entries only one side has ("+" the file adds them,
// "-" it drops them). When neither facts nor entries differ, the fields the bytes belong to.
std::vector<std::string> ChangeSummary(const EdidComparison& comparison);

} // namespace lvx
