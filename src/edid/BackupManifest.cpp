#include "edid/BackupManifest.h"

#include "edid/EdidValidation.h"
#include "edid/JsonText.h"
#include "edid/Sha256.h"

#include <algorithm>
#include <cmath>
#include <set>

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

bool IsDigest(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// --- writing -------------------------------------------------------------------------------

class Out {
public:
    std::string text;

    void line(int indent, std::string_view piece) {
        text.append(static_cast<std::size_t>(indent) * 2, ' ');
        text.append(piece);
    }
    void key(int indent, std::string_view name) {
        text.append(static_cast<std::size_t>(indent) * 2, ' ');
        AppendJsonString(text, name);
        text.append(": ");
    }
    void stringMember(int indent, std::string_view name, std::string_view value, bool last) {
        key(indent, name);
        AppendJsonString(text, value);
        text.append(last ? "\n" : ",\n");
    }
    void numberMember(int indent, std::string_view name, long value, bool last) {
        key(indent, name);
        text.append(std::to_string(value));
        text.append(last ? "\n" : ",\n");
    }
};

// --- reading -------------------------------------------------------------------------------

class Reader {
public:
    std::string error;

    bool fail(std::string message) {
        if (error.empty()) {
            error = std::move(message);
        }
        return false;
    }

    const JsonValue* member(const JsonValue& object, std::string_view name, JsonValue::Type type,
                            std::string_view where) {
        const JsonValue* value = object.find(name);
        if (value == nullptr || value->type != type) {
            fail(std::string(where) + ": \"" + std::string(name) + "\" is missing or mistyped");
            return nullptr;
        }
        return value;
    }

    bool text(const JsonValue& object, std::string_view name, std::string& out,
              std::string_view where) {
        const JsonValue* value = member(object, name, JsonValue::Type::String, where);
        if (value == nullptr) {
            return false;
        }
        out = value->text;
        return true;
    }

    // An optional text member: absent is empty, present must be a string.
    bool optionalText(const JsonValue& object, std::string_view name, std::string& out,
                      std::string_view where) {
        if (object.find(name) == nullptr) {
            out.clear();
            return true;
        }
        return text(object, name, out, where);
    }

    bool integer(const JsonValue& object, std::string_view name, int low, int high, int& out,
                 std::string_view where) {
        const JsonValue* value = member(object, name, JsonValue::Type::Number, where);
        if (value == nullptr) {
            return false;
        }
        const double n = value->number;
        if (!(n >= low && n <= high) || std::floor(n) != n) {
            return fail(std::string(where) + ": \"" + std::string(name) + "\" must be a whole " +
                        "number from " + std::to_string(low) + " to " + std::to_string(high));
        }
        out = static_cast<int>(n);
        return true;
    }

    bool status(const JsonValue& object, bool& ok, std::string_view where) {
        std::string value;
        if (!text(object, "status", value, where)) {
            return false;
        }
        if (value != "ok" && value != "failed") {
            return fail(std::string(where) + ": status is \"ok\" or \"failed\"");
        }
        ok = value == "ok";
        return true;
    }
};

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

std::string ManifestToJson(const BackupManifest& m) {
    Out o;
    o.text.reserve(4096);
    o.line(0, "{\n");
    o.stringMember(1, "format", kManifestFormat, false);
    o.numberMember(1, "version", m.version, false);
    o.stringMember(1, "date", m.date, false);
    o.stringMember(1, "program", m.program, false);
    o.key(1, "device");
    o.text.append("{\n");
    o.stringMember(2, "link", m.device.link, false);
    o.stringMember(2, "model", m.device.model, false);
    o.stringMember(2, "vid", m.device.vid, false);
    o.stringMember(2, "pid", m.device.pid, false);
    o.stringMember(2, "productString", m.device.productString, false);
    o.stringMember(2, "version", m.device.version, false);
    o.stringMember(2, "serialNumber", m.device.serialNumber, false);
    o.stringMember(2, "mac", m.device.mac, true);
    o.line(1, "},\n");
    o.key(1, "counts");
    o.text.append("{\n");
    o.numberMember(2, "inputs", m.device.counts.inputs, false);
    o.numberMember(2, "outputs", m.device.counts.outputs, false);
    o.numberMember(2, "users", m.device.counts.users, false);
    o.numberMember(2, "internals", m.device.counts.internals, true);
    o.line(1, "},\n");
    o.key(1, "complete");
    o.text.append(m.complete() ? "true,\n" : "false,\n");
    o.key(1, "files");
    o.text.append(m.nodes.empty() ? "[" : "[\n");
    for (std::size_t i = 0; i < m.nodes.size(); ++i) {
        const BackupEntry& e = m.nodes[i];
        o.line(2, "{");
        o.text.append("\"node\": ");
        AppendJsonString(o.text, NodeName(e.node));
        if (e.ok) {
            o.text.append(", \"file\": ");
            AppendJsonString(o.text, NodeFileName(e.node));
            o.text.append(", \"sha256\": ");
            AppendJsonString(o.text, e.sha256);
            o.text.append(", \"status\": \"ok\"");
        } else {
            o.text.append(", \"status\": \"failed\", \"error\": ");
            AppendJsonString(o.text, e.error);
        }
        o.text.append(i + 1 < m.nodes.size() ? "},\n" : "}\n");
    }
    o.line(m.nodes.empty() ? 0 : 1, "],\n");
    o.key(1, "modes");
    o.text.append(m.modes.empty() ? "[" : "[\n");
    for (std::size_t i = 0; i < m.modes.size(); ++i) {
        const BackupMode& mode = m.modes[i];
        o.line(2, "{");
        o.text.append("\"input\": " + std::to_string(mode.input + 1));
        if (mode.ok) {
            o.text.append(", \"mode\": " + std::to_string(mode.mode) + ", \"source\": ");
            AppendJsonString(o.text, mode.source);
            o.text.append(", \"status\": \"ok\"");
        } else {
            o.text.append(", \"status\": \"failed\", \"error\": ");
            AppendJsonString(o.text, mode.error);
        }
        o.text.append(i + 1 < m.modes.size() ? "},\n" : "}\n");
    }
    o.line(m.modes.empty() ? 0 : 1, "]\n");
    o.text.append("}\n");
    return o.text;
}

bool ParseManifest(std::string_view text, BackupManifest& out, std::string& error) {
    out = BackupManifest{};
    if (text.size() > kManifestMaxBytes) {
        error = "the manifest is too large";
        return false;
    }
    JsonValue root;
    std::string jsonError;
    if (!ParseJson(text, root, jsonError)) {
        error = "the manifest is not JSON (" + jsonError + ")";
        return false;
    }
    Reader r;
    auto done = [&](bool ok) {
        if (!ok) {
            error = r.error.empty() ? "the manifest cannot be read" : r.error;
        }
        return ok;
    };
    if (!root.isObject()) {
        return done(r.fail("the manifest is not a JSON object"));
    }
    std::string format;
    if (!r.text(root, "format", format, "manifest") || format != kManifestFormat) {
        return done(r.fail("not a device backup manifest"));
    }
    if (!r.integer(root, "version", 1, 1000000, out.version, "manifest")) {
        return done(false);
    }
    if (out.version > kManifestVersion) {
        return done(r.fail("the manifest is of version " + std::to_string(out.version) +
                           "; this program reads version " + std::to_string(kManifestVersion)));
    }
    const JsonValue* device = r.member(root, "device", JsonValue::Type::Object, "manifest");
    const JsonValue* counts = r.member(root, "counts", JsonValue::Type::Object, "manifest");
    const JsonValue* files = r.member(root, "files", JsonValue::Type::Array, "manifest");
    const JsonValue* modes = r.member(root, "modes", JsonValue::Type::Array, "manifest");
    if (device == nullptr || counts == nullptr || files == nullptr || modes == nullptr ||
        !r.optionalText(root, "date", out.date, "manifest") ||
        !r.optionalText(root, "program", out.program, "manifest")) {
        return done(false);
    }
    BackupDevice& d = out.device;
    if (!r.text(*device, "link", d.link, "device") || (d.link != "serial" && d.link != "network") ||
        !r.text(*device, "model", d.model, "device") || !r.text(*device, "vid", d.vid, "device") ||
        !r.text(*device, "pid", d.pid, "device") ||
        !r.optionalText(*device, "productString", d.productString, "device") ||
        !r.optionalText(*device, "version", d.version, "device") ||
        !r.optionalText(*device, "serialNumber", d.serialNumber, "device") ||
        !r.optionalText(*device, "mac", d.mac, "device")) {
        return done(r.fail("device: link is \"serial\" or \"network\""));
    }
    int inputs = 0, outputs = 0, users = 0, internals = 0;
    if (!r.integer(*counts, "inputs", 0, 255, inputs, "counts") ||
        !r.integer(*counts, "outputs", 0, 255, outputs, "counts") ||
        !r.integer(*counts, "users", 0, 255, users, "counts") ||
        !r.integer(*counts, "internals", 0, 255, internals, "counts")) {
        return done(false);
    }
    d.counts = {static_cast<std::uint8_t>(inputs), static_cast<std::uint8_t>(outputs),
                static_cast<std::uint8_t>(users), static_cast<std::uint8_t>(internals)};

    std::set<std::string> seen;
    for (const JsonValue& item : files->items) {
        if (!item.isObject()) {
            return done(r.fail("files: an entry is not an object"));
        }
        std::string name;
        if (!r.text(item, "node", name, "files")) {
            return done(false);
        }
        const std::optional<NodeRef> node = NodeFromName(name);
        if (!node || node->number >= CountOf(d.counts, node->kind)) {
            return done(r.fail("files: \"" + name + "\" is no node of the device"));
        }
        if (!seen.insert(name).second) {
            return done(r.fail("files: \"" + name + "\" is listed twice"));
        }
        BackupEntry entry;
        entry.node = *node;
        if (!r.status(item, entry.ok, "files")) {
            return done(false);
        }
        if (entry.ok) {
            std::string file;
            if (!r.text(item, "file", file, "files") || file != NodeFileName(*node)) {
                // Only the node's own name: a manifest never sends the program elsewhere.
                return done(
                    r.fail("files: the file of " + name + " must be " + NodeFileName(*node)));
            }
            if (!r.text(item, "sha256", entry.sha256, "files") || !IsDigest(entry.sha256)) {
                return done(r.fail("files: the sha256 of " + name + " is not 64 hex digits"));
            }
        } else if (!r.optionalText(item, "error", entry.error, "files")) {
            return done(false);
        }
        out.nodes.push_back(std::move(entry));
    }

    std::set<int> inputsSeen;
    for (const JsonValue& item : modes->items) {
        if (!item.isObject()) {
            return done(r.fail("modes: an entry is not an object"));
        }
        BackupMode mode;
        int input = 0;
        if (!r.integer(item, "input", 1, 256, input, "modes")) {
            return done(false);
        }
        if (input > d.counts.inputs) {
            return done(r.fail("modes: the device has no input " + std::to_string(input)));
        }
        if (!inputsSeen.insert(input).second) {
            return done(r.fail("modes: input " + std::to_string(input) + " is listed twice"));
        }
        mode.input = input - 1;
        if (!r.status(item, mode.ok, "modes")) {
            return done(false);
        }
        if (mode.ok) {
            if (!r.integer(item, "mode", 0, 255, mode.mode, "modes") ||
                !r.text(item, "source", mode.source, "modes")) {
                return done(false);
            }
            // The source and the index must say the same on the backed-up device.
            if (ModeSourceName(mode.mode, ModeCountsOf(d.counts)) != mode.source) {
                return done(r.fail("modes: mode " + std::to_string(mode.mode) + " of input " +
                                   std::to_string(input) + " is not " + mode.source));
            }
        } else if (!r.optionalText(item, "error", mode.error, "modes")) {
            return done(false);
        }
        out.modes.push_back(std::move(mode));
    }
    return done(true);
}

RestorePlan PlanRestore(const BackupManifest& manifest, const BackupDevice& device,
                        const BackupFiles& files) {
    RestorePlan plan;
    const BackupDevice& saved = manifest.device;

    // Identity: the same kind of device with the same nodes. Another unit of the same model
    // (another serial number or MAC) is what a restore is for.
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

    // Every file the manifest lists as read is checked, the read-only nodes' too: a folder
    // that was changed after the backup is not restored from.
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
        const std::vector<std::uint8_t>& bytes = *found->second;
        if (bytes.size() != kEdidSize) {
            plan.errors.push_back(file + " holds " + std::to_string(bytes.size()) +
                                  " bytes, not 256");
            continue;
        }
        if (Sha256Hex(bytes.data(), bytes.size()) != entry.sha256) {
            plan.errors.push_back(file + " has changed since the backup (SHA-256 differs)");
            continue;
        }
        EdidImage image{};
        std::copy(bytes.begin(), bytes.end(), image.begin());
        images[file] = image;
    }

    // User slots, then inputs.
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
            if (entry.node.number >= CountOf(device.counts, kind)) {
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

    // Modes: by their source, so that a forced restore onto other counts keeps its meaning.
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
    return plan;
}

} // namespace lvx
