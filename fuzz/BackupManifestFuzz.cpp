// A device backup's manifest.json of any contents: the manifest reader and the restore plan
// worked out from it.
//
// The first input byte steers the restore plan (bits 0-1: how the connected device's counts
// differ from the backup's; bit 2: the saved files are no valid EDID; bit 3: one file is
// missing); the rest is the text.
// - A manifest the reader refuses comes with a reason.
// - Any manifest the reader accepts, written by ManifestToJson, reads back to the same text.
// - The restore plan only ever writes nodes the connected device has, and only writable ones.

#include "FuzzSupport.h"

#include "edid/BackupStore.h"

using namespace lvx;
using lvx::fuzz::ByteReader;

namespace {

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
        entry.sha256 = Sha256Hex(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<qsizetype>(bytes.size())));
        if ((control & 0x08) && !dropped) {
            dropped = true;
            files[NodeFileName(entry.node)] = std::nullopt;
        } else {
            files[NodeFileName(entry.node)] = BackupFile{bytes, entry.sha256};
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
    const std::vector<std::uint8_t> raw = in.rest();
    const QByteArray text(reinterpret_cast<const char*>(raw.data()),
                          static_cast<qsizetype>(raw.size()));

    BackupManifest manifest;
    QString error;
    if (!ParseManifest(text, manifest, error)) {
        LVX_FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    const QByteArray written = ManifestToJson(manifest);
    BackupManifest again;
    LVX_FUZZ_CHECK(ParseManifest(written, again, error));
    LVX_FUZZ_CHECK(ManifestToJson(again) == written);
    CheckPlan(manifest, control);
    return 0;
}
