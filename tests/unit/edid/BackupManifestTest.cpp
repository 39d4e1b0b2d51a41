// Device backups: node and source names, and the restore plan that is worked out before
// anything is sent, on files whose digests the reader computed beforehand.

#include "edid/BackupManifest.h"

#include "EdidTestImages.h"

#include <gtest/gtest.h>

#include <string>

using namespace lvx;
using namespace lvx::test;

namespace {

// A stand-in for a file's digest: the plan only compares the digest it is given with the
// manifest's, so any text that tells the files apart serves; here, every byte in hex.
std::string DigestOf(const std::vector<std::uint8_t>& bytes) {
    static const char* const kHex = "0123456789abcdef";
    std::string digest;
    for (const std::uint8_t b : bytes) {
        digest += kHex[b >> 4];
        digest += kHex[b & 0x0F];
    }
    return digest;
}

BackupFile File(const std::vector<std::uint8_t>& bytes) {
    return BackupFile{bytes, DigestOf(bytes)};
}

std::vector<std::uint8_t> Bytes256(const EdidImage& image) {
    return std::vector<std::uint8_t>(image.begin(), image.end());
}

// A device with 2 inputs, 1 output, 4 user slots and 8 internal EDIDs.
BackupDevice Qem() {
    BackupDevice d;
    d.link = "serial";
    d.model = "QEM-2";
    d.vid = "1A2B";
    d.pid = "2037";
    d.productString = "EDID Management";
    d.version = "1.0";
    d.counts = {2, 1, 4, 8};
    return d;
}

// A whole backup of Qem(): every node holds a valid image that tells its node apart.
struct Backup {
    BackupManifest manifest;
    BackupFiles files;
};

Backup WholeBackup() {
    Backup b;
    b.manifest.date = "2024-05-01T10:00:00Z";
    b.manifest.program = "Linkvex 1.0L";
    b.manifest.device = Qem();
    for (const NodeRef node : AllNodes(b.manifest.device.counts)) {
        const EdidImage image =
            Image(0, {{12, {std::uint8_t(node.kind), node.number}}}); // serial number bytes
        BackupEntry entry;
        entry.node = node;
        entry.ok = true;
        entry.sha256 = DigestOf(Bytes256(image));
        b.manifest.nodes.push_back(entry);
        b.files[NodeFileName(node)] = File(Bytes256(image));
    }
    for (int input = 0; input < 2; ++input) {
        BackupMode mode;
        mode.input = input;
        mode.ok = true;
        mode.mode = input == 0 ? 8 : 10; // External 1, User 2
        mode.source = input == 0 ? "external1" : "user2";
        b.manifest.modes.push_back(mode);
    }
    return b;
}

std::vector<std::string> StepTexts(const RestorePlan& plan) {
    std::vector<std::string> texts;
    for (const RestoreStep& s : plan.steps) {
        texts.push_back(s.text);
    }
    return texts;
}

} // namespace

TEST(BackupManifest, NodeAndSourceNames) {
    EXPECT_EQ(NodeFileName({NodeKind::Input, 0}), "input1.bin");
    EXPECT_EQ(NodeFileName({NodeKind::Internal, 7}), "internal8.bin");
    EXPECT_EQ(NodeName({NodeKind::User, 255}), "user256");
    ASSERT_TRUE(NodeFromName("output2"));
    EXPECT_EQ(*NodeFromName("output2"), (NodeRef{NodeKind::Output, 1}));
    for (const char* bad : {"input0", "input01", "input257", "Input1", "input", "user3.bin",
                            "../input1", "input1 "}) {
        EXPECT_FALSE(NodeFromName(bad)) << bad;
    }
    const ModeCounts counts{8, 1, 4};
    EXPECT_EQ(ModeSourceName(0, counts), "internal1");
    EXPECT_EQ(ModeSourceName(8, counts), "external1");
    EXPECT_EQ(ModeSourceName(10, counts), "user2");
    EXPECT_EQ(ModeSourceName(13, counts), "");
    EXPECT_EQ(ModeFromSourceName("user2", counts), 10);
    EXPECT_EQ(ModeFromSourceName("external2", counts), std::nullopt);
    EXPECT_EQ(ModeFromSourceName("user2", ModeCounts{6, 2, 4}), 9);
    // Backup order: inputs, outputs, users, internals.
    const std::vector<NodeRef> nodes = AllNodes({2, 1, 4, 8});
    ASSERT_EQ(nodes.size(), 15u);
    EXPECT_EQ(nodes[2], (NodeRef{NodeKind::Output, 0}));
    EXPECT_EQ(nodes[3], (NodeRef{NodeKind::User, 0}));
    EXPECT_EQ(nodes[14], (NodeRef{NodeKind::Internal, 7}));
}

TEST(RestorePlan, WholeBackupOnTheSameModel) {
    const Backup b = WholeBackup();
    BackupDevice device = Qem();
    device.serialNumber = "another unit"; // a replacement unit is what a restore is for
    const RestorePlan plan = PlanRestore(b.manifest, device, b.files);
    EXPECT_TRUE(plan.errors.empty());
    EXPECT_TRUE(plan.mismatches.empty());
    EXPECT_TRUE(plan.skipped.empty());
    EXPECT_TRUE(plan.usable(false));
    EXPECT_EQ(StepTexts(plan),
              (std::vector<std::string>{"write user1.bin to user1", "write user2.bin to user2",
                                        "write user3.bin to user3", "write user4.bin to user4",
                                        "write input1.bin to input1", "write input2.bin to input2",
                                        "set the mode of input1 to external1",
                                        "set the mode of input2 to user2"}));
    EXPECT_EQ(plan.steps[0].image[12], static_cast<std::uint8_t>(NodeKind::User));
    EXPECT_EQ(plan.steps[7].mode, 10);
}

TEST(RestorePlan, AnyBadFileStopsEverything) {
    struct Case {
        const char* what;
        std::string file;
        std::optional<std::vector<std::uint8_t>> bytes;
    };
    const Backup whole = WholeBackup();
    std::vector<std::uint8_t> changed = whole.files.at("user2.bin")->bytes;
    changed[20] ^= 0x01;
    std::vector<std::uint8_t> longer = whole.files.at("input1.bin")->bytes;
    longer.push_back(0);
    std::vector<std::uint8_t> shorter = whole.files.at("internal3.bin")->bytes;
    shorter.pop_back();
    const Case cases[] = {
        {"changed since the backup", "user2.bin", changed},
        {"a byte too many", "input1.bin", longer},
        {"a read-only node's file cut short", "internal3.bin", shorter},
        {"unreadable", "output1.bin", std::nullopt},
    };
    for (const Case& c : cases) {
        Backup b = whole;
        if (c.bytes) {
            b.files[c.file] = File(*c.bytes);
        } else {
            b.files[c.file] = std::nullopt;
        }
        const RestorePlan plan = PlanRestore(b.manifest, Qem(), b.files);
        ASSERT_EQ(plan.errors.size(), 1u) << c.what;
        EXPECT_EQ(plan.errors[0].rfind(c.file, 0), 0u) << plan.errors[0];
        EXPECT_FALSE(plan.usable(true)) << c.what;
    }
    Backup missing = whole;
    missing.files.erase("user1.bin");
    EXPECT_FALSE(PlanRestore(missing.manifest, Qem(), missing.files).usable(true));
}

TEST(RestorePlan, AnotherDeviceOrAnIncompleteBackupNeedsForce) {
    const Backup b = WholeBackup();
    BackupDevice other = Qem();
    other.model = "QEM-4";
    other.counts = {4, 2, 2, 6};
    const RestorePlan plan = PlanRestore(b.manifest, other, b.files);
    EXPECT_TRUE(plan.errors.empty());
    EXPECT_EQ(plan.mismatches.size(), 2u); // the model, the counts
    EXPECT_FALSE(plan.usable(false));
    EXPECT_TRUE(plan.usable(true));
    // Forced: users 3 and 4 do not exist there, the modes keep their sources ("user2" is
    // mode 6 + 2 + 1 there), and the second input's source is still there.
    EXPECT_EQ(plan.skipped, (std::vector<std::string>{"user3: the device has no such node",
                                                      "user4: the device has no such node"}));
    ASSERT_EQ(plan.steps.size(), 6u);
    EXPECT_EQ(plan.steps[4].source, "external1");
    EXPECT_EQ(plan.steps[4].mode, 6);
    EXPECT_EQ(plan.steps[5].mode, 9);

    Backup partial = WholeBackup();
    partial.manifest.nodes[3].ok = false; // user1
    partial.manifest.nodes[2].ok = false; // output1: read-only, not restored anyway
    const RestorePlan p = PlanRestore(partial.manifest, Qem(), partial.files);
    ASSERT_EQ(p.mismatches.size(), 1u);
    EXPECT_NE(p.mismatches[0].find("user1"), std::string::npos);
    EXPECT_EQ(p.steps.size(), 7u);
}

TEST(RestorePlan, EmptySlotsAndNetworkDevicesAreSkippedNotSent) {
    Backup b = WholeBackup();
    EdidImage empty{};
    empty.fill(0xFF); // a slot that never held an EDID
    b.files["user3.bin"] = File(Bytes256(empty));
    b.manifest.nodes[5].sha256 = DigestOf(Bytes256(empty));
    BackupDevice net = Qem();
    net.link = "network";
    const RestorePlan plan = PlanRestore(b.manifest, net, b.files);
    EXPECT_TRUE(plan.usable(false));
    EXPECT_EQ(plan.skipped, (std::vector<std::string>{
                                "user3: the saved bytes are no valid EDID (Illegal Edid Header.)",
                                "input1 mode: modes are set over a COM port",
                                "input2 mode: modes are set over a COM port"}));
    EXPECT_EQ(plan.steps.size(), 5u);
}
