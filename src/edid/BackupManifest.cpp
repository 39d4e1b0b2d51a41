#include "edid/BackupManifest.h"

#include "edid/EdidValidation.h"

#include <algorithm>

namespace lvx {

namespace {

constexpr std::string_view kKindNames[] = {"input", "output", "user", "internal"};
constexpr std::string_view kSourceNames[] = {"internal", "external", "user"};

int CountOf(const NodeCounts& c, NodeKind kind) {
    switch (kind) {
    case NodeKind::Input:
        return c.inputs;
    case NodeKind::Output:
        return c.outputs;
    case NodeKind::User:
        return c.users;
    case NodeKind::Internal:
        return c.internals;
    }
    return 0;
}

// "name" followed by a decimal number from 1 to `limit` without leading zeros.
std::optional<int> NumberAfter(std::string_view text, std::string_view name, int limit) {
    if (text.size() <= name.size() || text.substr(0, name.size()) != name) {
        return std::nullopt;
    }
    const std::string_view digits = text.substr(name.size());
    if (digits.size() > 3 || digits[0] == '0') {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > limit) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::string NodeName(NodeRef node) {
    return std::string(kKindNames[static_cast<int>(node.kind)]) + std::to_string(node.number + 1);
}

std::optional<NodeRef> NodeFromName(std::string_view name) {
    for (int kind = 0; kind < 4; ++kind) {
        if (const std::optional<int> n = NumberAfter(name, kKindNames[kind], 256)) {
            return NodeRef{static_cast<NodeKind>(kind), static_cast<std::uint8_t>(*n - 1)};
        }
    }
    return std::nullopt;
}

std::string NodeFileName(NodeRef node) {
    return NodeName(node) + ".bin";
}

bool HasNode(const NodeCounts& counts, NodeRef node) {
    return node.number < CountOf(counts, node.kind);
}

std::vector<NodeRef> AllNodes(const NodeCounts& counts) {
    std::vector<NodeRef> nodes;
    for (int kind = 0; kind < 4; ++kind) {
        const int count = CountOf(counts, static_cast<NodeKind>(kind));
        for (int i = 0; i < count; ++i) {
            nodes.push_back({static_cast<NodeKind>(kind), static_cast<std::uint8_t>(i)});
        }
    }
    return nodes;
}

ModeCounts ModeCountsOf(const NodeCounts& counts) {
    return {counts.internals, counts.outputs, counts.users};
}

std::string ModeSourceName(int mode, const ModeCounts& counts) {
    if (mode < 0 || mode >= counts.total()) {
        return {};
    }
    if (mode < counts.internals) {
        return std::string(kSourceNames[0]) + std::to_string(mode + 1);
    }
    if (mode < counts.internals + counts.outputs) {
        return std::string(kSourceNames[1]) + std::to_string(mode - counts.internals + 1);
    }
    return std::string(kSourceNames[2]) +
           std::to_string(mode - counts.internals - counts.outputs + 1);
}

std::optional<int> ModeFromSourceName(std::string_view name, const ModeCounts& counts) {
    const int limits[] = {counts.internals, counts.outputs, counts.users};
    const int firsts[] = {0, counts.internals, counts.internals + counts.outputs};
    for (int column = 0; column < 3; ++column) {
        // Longer names first would matter only if one were a prefix of another; none is.
        if (const std::optional<int> n = NumberAfter(name, kSourceNames[column], 255)) {
            if (*n > limits[column]) {
                return std::nullopt;
            }
            return firsts[column] + *n - 1;
        }
    }
    return std::nullopt;
}

bool BackupManifest::complete() const {
    return std::all_of(nodes.begin(), nodes.end(), [](const BackupEntry& e) { return e.ok; }) &&
           std::all_of(modes.begin(), modes.end(), [](const BackupMode& m) { return m.ok; });
}

namespace {

// Identity: the same kind of device with the same nodes. Another unit of the same model
// (another serial number or MAC) is what a restore is for.
void CheckIdentity(const BackupDevice& saved, const BackupDevice& device, RestorePlan& plan) {
    auto differs = [&](const char* what, const std::string& a, const std::string& b) {
        if (a != b) {
            plan.mismatches.push_back("the backup is of " + std::string(what) + " \"" + a +
                                      "\", the device is \"" + b + "\"");
        }
    };
    differs("model", saved.model, device.model);
    differs("vendor", saved.vid, device.vid);
    differs("product", saved.pid, device.pid);
    const NodeCounts& a = saved.counts;
    const NodeCounts& b = device.counts;
    if (a.inputs != b.inputs || a.outputs != b.outputs || a.users != b.users ||
        a.internals != b.internals) {
        auto counts = [](const NodeCounts& c) {
            return std::to_string(c.inputs) + " inputs, " + std::to_string(c.outputs) +
                   " outputs, " + std::to_string(c.users) + " user slots, " +
                   std::to_string(c.internals) + " internal EDIDs";
        };
        plan.mismatches.push_back("the backup has " + counts(a) + "; the device has " + counts(b));
    }
}

// Every file the manifest lists as read is checked, the read-only nodes' too: a folder that
// was changed after the backup is not restored from. The intact images, by file name.
std::map<std::string, EdidImage> CheckFiles(const BackupManifest& manifest,
                                            const BackupFiles& files, RestorePlan& plan) {
    std::map<std::string, EdidImage> images;
    for (const BackupEntry& entry : manifest.nodes) {
        if (!entry.ok) {
            if (isWritable(entry.node.kind)) {
                plan.mismatches.push_back("the backup is incomplete: " + NodeName(entry.node) +
                                          " was not read" +
                                          (entry.error.empty() ? "" : " (" + entry.error + ")"));
            }
            continue;
        }
        const std::string file = NodeFileName(entry.node);
        const auto found = files.find(file);
        if (found == files.end() || !found->second) {
            plan.errors.push_back(file + " is missing or cannot be read");
            continue;
        }
        const BackupFile& read = *found->second;
        if (read.bytes.size() != kEdidSize) {
            plan.errors.push_back(file + " holds " + std::to_string(read.bytes.size()) +
                                  " bytes, not 256");
            continue;
        }
        if (read.sha256 != entry.sha256) {
            plan.errors.push_back(file + " has changed since the backup (SHA-256 differs)");
            continue;
        }
        EdidImage image{};
        std::copy(read.bytes.begin(), read.bytes.end(), image.begin());
        images[file] = image;
    }
    return images;
}

// User slots, then inputs.
void PlanUploads(const BackupManifest& manifest, const BackupDevice& device,
                 const std::map<std::string, EdidImage>& images, RestorePlan& plan) {
    for (const NodeKind kind : {NodeKind::User, NodeKind::Input}) {
        for (const BackupEntry& entry : manifest.nodes) {
            if (entry.node.kind != kind || !entry.ok) {
                continue;
            }
            const auto image = images.find(NodeFileName(entry.node));
            if (image == images.end()) {
                continue; // already an error
            }
            const std::string name = NodeName(entry.node);
            if (!HasNode(device.counts, entry.node)) {
                plan.skipped.push_back(name + ": the device has no such node");
                continue;
            }
            if (const std::uint16_t invalid = ValidationError(image->second)) {
                plan.skipped.push_back(name + ": the saved bytes are no valid EDID (" +
                                       std::string(InvalidStatusMessage(invalid)) + ")");
                continue;
            }
            RestoreStep step;
            step.kind = RestoreStep::Kind::Upload;
            step.node = entry.node;
            step.image = image->second;
            step.text = "write " + NodeFileName(entry.node) + " to " + name;
            plan.steps.push_back(step);
        }
    }
}

// Modes: by their source, so that a forced restore onto other counts keeps its meaning.
void PlanModes(const BackupManifest& manifest, const BackupDevice& device, RestorePlan& plan) {
    const ModeCounts deviceModes = ModeCountsOf(device.counts);
    for (const BackupMode& mode : manifest.modes) {
        const std::string input = "input" + std::to_string(mode.input + 1);
        if (!mode.ok) {
            plan.mismatches.push_back("the backup is incomplete: the mode of " + input +
                                      " was not read");
            continue;
        }
        if (device.link != "serial") {
            plan.skipped.push_back(input + " mode: modes are set over a COM port");
            continue;
        }
        if (mode.input >= device.counts.inputs) {
            plan.skipped.push_back(input + " mode: the device has no such input");
            continue;
        }
        if (mode.source.empty()) {
            plan.skipped.push_back(input + " mode: " + std::to_string(mode.mode) +
                                   " named no source on the backed-up device");
            continue;
        }
        const std::optional<int> index = ModeFromSourceName(mode.source, deviceModes);
        if (!index) {
            plan.skipped.push_back(input + " mode: the device has no " + mode.source);
            continue;
        }
        RestoreStep step;
        step.kind = RestoreStep::Kind::Mode;
        step.input = mode.input;
        step.mode = *index;
        step.source = mode.source;
        step.text = "set the mode of " + input + " to " + mode.source;
        plan.steps.push_back(step);
    }
}

} // namespace

RestorePlan PlanRestore(const BackupManifest& manifest, const BackupDevice& device,
                        const BackupFiles& files) {
    RestorePlan plan;
    CheckIdentity(manifest.device, device, plan);
    const std::map<std::string, EdidImage> images = CheckFiles(manifest, files, plan);
    PlanUploads(manifest, device, images, plan);
    PlanModes(manifest, device, plan);
    return plan;
}

} // namespace lvx
