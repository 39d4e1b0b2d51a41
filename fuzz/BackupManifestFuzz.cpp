// A device backup's manifest.json of any contents: the JSON reader, the manifest reader and
// the restore plan worked out from it.
//
// The first input byte steers the restore plan (bits 0-1: how the connected device's counts
// differ from the backup's; bit 2: the saved files are no valid EDID; bit 3: one file is
// missing); the rest is the text.
// - Any JSON the reader accepts, written out again by this target, reads back the same.
// - Any manifest the reader accepts, written by ManifestToJson, reads back to the same text.
// - The restore plan only ever writes nodes the connected device has, and only writable ones.

#include "FuzzSupport.h"

#include "edid/BackupManifest.h"
#include "edid/JsonText.h"
#include "edid/Sha256.h"

#include <cstdio>

using namespace lvx;
using lvx::fuzz::ByteReader;

namespace {

void WriteString(std::string& out, const std::string& text) {
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

void Write(std::string& out, const JsonValue& value) {
    switch (value.type) {
    case JsonValue::Type::Null:
        out += "null";
        break;
    case JsonValue::Type::Bool:
        out += value.boolean ? "true" : "false";
        break;
    case JsonValue::Type::Number: {
        char number[32];
        std::snprintf(number, sizeof number, "%.17g", value.number);
        out += number;
        break;
    }
    case JsonValue::Type::String:
        WriteString(out, value.text);
        break;
    case JsonValue::Type::Array:
        out += '[';
        for (std::size_t i = 0; i < value.items.size(); ++i) {
            out += i ? "," : "";
            Write(out, value.items[i]);
        }
        out += ']';
        break;
    case JsonValue::Type::Object:
        out += '{';
        for (std::size_t i = 0; i < value.members.size(); ++i) {
            out += i ? "," : "";
            WriteString(out, value.members[i].first);
            out += ':';
            Write(out, value.members[i].second);
        }
        out += '}';
        break;
    }
}

bool Same(const JsonValue& a, const JsonValue& b) {
    if (a.type != b.type || a.boolean != b.boolean || a.text != b.text ||
        a.items.size() != b.items.size() || a.members.size() != b.members.size()) {
        return false;
    }
    if (a.type == JsonValue::Type::Number && !(a.number == b.number)) {
        return false;
    }
    for (std::size_t i = 0; i < a.items.size(); ++i) {
        if (!Same(a.items[i], b.items[i])) {
            return false;
        }
    }
    for (std::size_t i = 0; i < a.members.size(); ++i) {
        if (a.members[i].first != b.members[i].first ||
            !Same(a.members[i].second, b.members[i].second)) {
            return false;
        }
    }
    return true;
}

void CheckJson(std::string_view text) {
    JsonValue value;
    std::string error;
    if (!ParseJson(text, value, error)) {
        LVX_FUZZ_CHECK(!error.empty());
        return;
    }
    std::string written;
    Write(written, value);
    JsonValue again;
    LVX_FUZZ_CHECK(ParseJson(written, again, error));
    LVX_FUZZ_CHECK(Same(value, again));
}

// A 256-byte file for a node: a valid EDID unless asked otherwise.
std::vector<std::uint8_t> FileFor(NodeRef node, bool valid) {
    std::vector<std::uint8_t> bytes(kEdidSize, 0xFF);
    if (valid) {
        static constexpr std::uint8_t kHeader[8] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
        std::copy(kHeader, kHeader + 8, bytes.begin());
        std::fill(bytes.begin() + 8, bytes.end(), 0);
        bytes[12] = static_cast<std::uint8_t>(node.kind);
        bytes[13] = node.number;
        unsigned sum = 0;
        for (std::size_t i = 0; i < 127; ++i) {
            sum += bytes[i];
        }
        bytes[127] = static_cast<std::uint8_t>((256 - sum % 256) % 256);
    }
    return bytes;
}

void CheckPlan(BackupManifest manifest, std::uint8_t control) {
    BackupFiles files;
    bool dropped = false;
    for (BackupEntry& entry : manifest.nodes) {
        if (!entry.ok) {
            continue;
        }
        const std::vector<std::uint8_t> bytes = FileFor(entry.node, (control & 0x04) == 0);
        entry.sha256 = Sha256Hex(bytes.data(), bytes.size());
        if ((control & 0x08) && !dropped) {
            dropped = true;
            files[NodeFileName(entry.node)] = std::nullopt;
        } else {
            files[NodeFileName(entry.node)] = bytes;
        }
    }
    BackupDevice device = manifest.device;
    switch (control & 0x03) {
    case 1:
        device.counts.inputs = static_cast<std::uint8_t>(device.counts.inputs / 2);
        device.counts.users = static_cast<std::uint8_t>(device.counts.users + 1);
        break;
    case 2:
        device.counts = {1, 1, 1, 1};
        device.model += "-other";
        break;
    default:
        break;
    }
    for (const bool force : {false, true}) {
        const RestorePlan plan = PlanRestore(manifest, device, files);
        if (!plan.usable(force)) {
            continue;
        }
        const ModeCounts modes = ModeCountsOf(device.counts);
        for (const RestoreStep& step : plan.steps) {
            if (step.kind == RestoreStep::Kind::Upload) {
                LVX_FUZZ_CHECK(step.node.kind == NodeKind::Input ||
                               step.node.kind == NodeKind::User);
                LVX_FUZZ_CHECK(step.node.number < (step.node.kind == NodeKind::Input
                                                       ? device.counts.inputs
                                                       : device.counts.users));
            } else {
                LVX_FUZZ_CHECK(step.input >= 0 && step.input < device.counts.inputs);
                LVX_FUZZ_CHECK(step.mode >= 0 && step.mode < modes.total());
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const std::uint8_t control = in.byte();
    const std::string text = in.text(in.left());
    CheckJson(text);

    BackupManifest manifest;
    std::string error;
    if (!ParseManifest(text, manifest, error)) {
        LVX_FUZZ_CHECK(!error.empty());
        return 0;
    }
    const std::string written = ManifestToJson(manifest);
    BackupManifest again;
    LVX_FUZZ_CHECK(ParseManifest(written, again, error));
    LVX_FUZZ_CHECK(ManifestToJson(again) == written);
    CheckPlan(manifest, control);
    return 0;
}
