// Device backups: the file digest, the manifest's JSON both ways, and the restore plan that
// is worked out before anything is sent.

#include "edid/BackupManifest.h"
#include "edid/JsonText.h"
#include "edid/Sha256.h"

#include "EdidTestImages.h"

#include <gtest/gtest.h>

#include <string>

using namespace lvx;
using namespace lvx::test;

namespace {

std::string Sha(const std::string& text) {
    return Sha256Hex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::vector<std::uint8_t> Bytes256(const EdidImage& image) {
    return std::vector<std::uint8_t>(image.begin(), image.end());
}

std::string ShaOf(const EdidImage& image) {
    return Sha256Hex(image.data(), image.size());
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
        entry.sha256 = ShaOf(image);
        b.manifest.nodes.push_back(entry);
        b.files[NodeFileName(node)] = Bytes256(image);
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

TEST(Sha256, StandardVectors) {
    EXPECT_EQ(Sha(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first final block.
    EXPECT_EQ(Sha("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // 55 and 64 bytes: the edges of the padding.
    EXPECT_EQ(Sha(std::string(55, 'a')),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(Sha(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

TEST(JsonText, ValuesAndRefusals) {
    JsonValue v;
    std::string error;
    ASSERT_TRUE(ParseJson(R"( {"a": [1, -2.5e1, true, null, "x\u00e9\ud83d\ude00\n"], "b": {}} )",
                          v, error))
        << error;
    ASSERT_TRUE(v.isObject());
    const JsonValue* a = v.find("a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->items.size(), 5u);
    EXPECT_EQ(a->items[0].number, 1);
    EXPECT_EQ(a->items[1].number, -25);
    EXPECT_TRUE(a->items[2].boolean);
    EXPECT_EQ(a->items[3].type, JsonValue::Type::Null);
    EXPECT_EQ(a->items[4].text, "x\xC3\xA9\xF0\x9F\x98\x80\n");
    EXPECT_TRUE(v.find("b")->isObject());

    for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "01", "1.", "-", "\"\\x\"", "\"a",
                            "\"\\ud800\"", "tru", "{} x", "\"\x01\"", "1e999", "[1 2]"}) {
        EXPECT_FALSE(ParseJson(bad, v, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    // Nesting is limited rather than followed down the stack.
    EXPECT_FALSE(ParseJson(std::string(10000, '['), v, error));
    EXPECT_TRUE(ParseJson(std::string(20, '[') + std::string(20, ']'), v, error));

    std::string out;
    AppendJsonString(out, "a\"b\\c\n\x01");
    EXPECT_EQ(out, "\"a\\\"b\\\\c\\n\\u0001\"");
}

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

TEST(BackupManifest, WrittenManifestReadsBack) {
    Backup b = WholeBackup();
    b.manifest.nodes[2].ok = false; // output1
    b.manifest.nodes[2].sha256.clear();
    b.manifest.nodes[2].error = "no answer";
    b.manifest.device.productString = "Quote \" and caf\xC3\xA9";
    const std::string json = ManifestToJson(b.manifest);

    BackupManifest back;
    std::string error;
    ASSERT_TRUE(ParseManifest(json, back, error)) << error << "\n" << json;
    EXPECT_EQ(back.date, b.manifest.date);
    EXPECT_EQ(back.device.productString, b.manifest.device.productString);
    EXPECT_EQ(back.device.counts.users, 4);
    ASSERT_EQ(back.nodes.size(), 15u);
    EXPECT_FALSE(back.nodes[2].ok);
    EXPECT_EQ(back.nodes[2].error, "no answer");
    EXPECT_EQ(back.nodes[5].sha256, b.manifest.nodes[5].sha256);
    ASSERT_EQ(back.modes.size(), 2u);
    EXPECT_EQ(back.modes[1].mode, 10);
    EXPECT_EQ(back.modes[1].source, "user2");
    EXPECT_FALSE(back.complete());
    // The JSON says so too, for a reader that does not check every entry.
    EXPECT_NE(json.find("\"complete\": false"), std::string::npos);
    EXPECT_NE(json.find("\"file\": \"user4.bin\""), std::string::npos);
}

TEST(BackupManifest, ManifestsThatAreRefused) {
    const std::string good = ManifestToJson(WholeBackup().manifest);
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    const std::string digest = WholeBackup().manifest.nodes[0].sha256;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"not JSON", "{\"format\":"},
        {"another format", replaced("linkvex-device-backup", "something-else")},
        {"a later version", replaced("\"version\": 1,", "\"version\": 2,")},
        {"counts beyond a byte", replaced("\"users\": 4", "\"users\": 300")},
        {"a fractional count", replaced("\"users\": 4", "\"users\": 4.5")},
        {"a node beyond the counts", replaced("\"node\": \"user4\"", "\"node\": \"user5\"")},
        {"a file outside the folder",
         replaced("\"file\": \"user4.bin\"", "\"file\": \"../user4.bin\"")},
        {"a file of another node", replaced("\"file\": \"user4.bin\"", "\"file\": \"user3.bin\"")},
        {"a node twice", replaced("\"node\": \"user4\"", "\"node\": \"user3\"")},
        {"a short digest", replaced(digest, digest.substr(1))},
        {"an upper-case digest", replaced(digest, std::string(64, 'A'))},
        {"an unknown status", replaced("\"status\": \"ok\"", "\"status\": \"fine\"")},
        {"a mode of a missing input", replaced("\"input\": 2", "\"input\": 3")},
        {"a mode that is not its source",
         replaced("\"source\": \"user2\"", "\"source\": \"user3\"")},
        {"an unknown link", replaced("\"link\": \"serial\"", "\"link\": \"usb\"")},
        {"a text where a number goes", replaced("\"inputs\": 2", "\"inputs\": \"2\"")},
        {"too large", good + std::string(kManifestMaxBytes, ' ')},
    };
    for (const auto& [what, text] : cases) {
        BackupManifest m;
        std::string error;
        EXPECT_FALSE(ParseManifest(text, m, error)) << what;
        EXPECT_FALSE(error.empty()) << what;
    }
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
    std::vector<std::uint8_t> changed = *whole.files.at("user2.bin");
    changed[20] ^= 0x01;
    std::vector<std::uint8_t> longer = *whole.files.at("input1.bin");
    longer.push_back(0);
    std::vector<std::uint8_t> shorter = *whole.files.at("internal3.bin");
    shorter.pop_back();
    const Case cases[] = {
        {"changed since the backup", "user2.bin", changed},
        {"a byte too many", "input1.bin", longer},
        {"a read-only node's file cut short", "internal3.bin", shorter},
        {"unreadable", "output1.bin", std::nullopt},
    };
    for (const Case& c : cases) {
        Backup b = whole;
        b.files[c.file] = c.bytes;
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
    b.files["user3.bin"] = Bytes256(empty);
    b.manifest.nodes[5].sha256 = ShaOf(empty);
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
