#pragma once

#include "common/EdidImage.h"
#include "edid/InputModes.h"
#include "edid/NodeList.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// A device backup is a folder with one .bin per node, named after the node ("input1.bin",
// "output1.bin", "user3.bin", "internal8.bin"), and a manifest that says what the folder
// holds. This unit holds what a manifest says, the names in it, and decides, before anything
// is sent, what a restore will do. The folder itself (the manifest's JSON, the files and
// their digests) is BackupStore's.

// The manifest's version this program writes and the newest it reads.
inline constexpr int kManifestVersion = 1;

// "input1", "output2", "user3", "internal4": the node's kind and 1-based number.
std::string NodeName(NodeRef node);
// The node a name stands for; none for anything that is not exactly such a name.
std::optional<NodeRef> NodeFromName(std::string_view name);
// The node's file in the folder: its name and ".bin".
std::string NodeFileName(NodeRef node);
// Whether a device with these counts has the node.
bool HasNode(const NodeCounts& counts, NodeRef node);

// Every node of a device, in backup order: inputs, outputs, user slots, internal EDIDs.
std::vector<NodeRef> AllNodes(const NodeCounts& counts);

// The source a mode index names, as "internal3", "external1" or "user2" (the column and the
// 1-based number within it, with no limit of eight); empty when the index names no source.
std::string ModeSourceName(int mode, const ModeCounts& counts);
// The mode index of such a name on a device with these counts; none when the device has no
// such source or the name is not one.
std::optional<int> ModeFromSourceName(std::string_view name, const ModeCounts& counts);
ModeCounts ModeCountsOf(const NodeCounts& counts);

// Who the backup was taken from. Texts are UTF-8.
struct BackupDevice {
    std::string link; // "serial" or "network"
    std::string model;
    std::string vid;
    std::string pid;
    std::string productString;
    std::string version;
    std::string serialNumber;
    std::string mac;
    NodeCounts counts;
};

struct BackupEntry {
    NodeRef node;
    bool ok = false;
    std::string sha256; // 64 lower-case hex digits of the file, when ok
    std::string error;  // why the node could not be read, when not ok
};

struct BackupMode {
    int input = 0; // 0-based
    bool ok = false;
    int mode = -1;      // the device's mode index, when ok
    std::string source; // ModeSourceName of it, empty when it names no source
    std::string error;
};

struct BackupManifest {
    int version = kManifestVersion;
    std::string date;    // ISO 8601 in UTC
    std::string program; // the program and its version
    BackupDevice device;
    std::vector<BackupEntry> nodes;
    std::vector<BackupMode> modes;

    // Every node and every mode was read.
    bool complete() const;
};

// What a restore will do, worked out before anything is sent.
struct RestoreStep {
    enum class Kind { Upload, Mode };
    Kind kind = Kind::Upload;
    NodeRef node;       // Upload: the input or user slot
    EdidImage image{};  // Upload: the bytes to write
    int input = 0;      // Mode: 0-based input
    int mode = -1;      // Mode: the index on the connected device
    std::string source; // Mode: the source name
    std::string text;   // the step as the user reads it
};

struct RestorePlan {
    // The backup cannot be used: nothing may be sent, whatever the user says.
    std::vector<std::string> errors;
    // The backup is of another device or incomplete: sent only when the user insists.
    std::vector<std::string> mismatches;
    // What will be left out, and why.
    std::vector<std::string> skipped;
    std::vector<RestoreStep> steps;

    bool usable(bool force) const { return errors.empty() && (force || mismatches.empty()); }
};

// A file of the backup as read: its bytes (a file longer than a node's 256 bytes may be cut
// to 257 by the reader) and the SHA-256 of those bytes, 64 lower-case hex digits.
struct BackupFile {
    std::vector<std::uint8_t> bytes;
    std::string sha256;
};

// The files a manifest names, by file name; none when the file could not be read.
using BackupFiles = std::map<std::string, std::optional<BackupFile>>;

// The restore of `manifest` onto `device` (the connected one). Every file the manifest lists
// as read must be in `files`, exactly 256 bytes long, with the digest the manifest recorded,
// or the plan has an error. User slots are written first, then the inputs, then the input modes
// (COM port only). A node whose saved bytes are no valid EDID (an empty slot) is skipped, not
// written, as the program never uploads an invalid EDID. A model, vendor or product different from
// the backup's, other node counts, or an incomplete backup are mismatches; with them forced, the
// nodes and mode sources the device does not have are skipped.
RestorePlan PlanRestore(const BackupManifest& manifest, const BackupDevice& device,
                        const BackupFiles& files);

} // namespace lvx
