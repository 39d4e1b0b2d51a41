// Reading a site file: what a good one gives, and the error (with its line) of each way a
// file can be wrong.
#include "site/SiteFile.h"

#include <gtest/gtest.h>

#include <string>

using namespace lvx;

namespace {

std::vector<SiteError> Errors(const std::string& text) {
    SiteFile site;
    std::vector<SiteError> errors;
    const bool good = ParseSiteFile(text, site, errors);
    EXPECT_EQ(good, errors.empty());
    return errors;
}

// The single error a text gives: its line and whether its message holds `words`.
void ExpectOneError(const std::string& text, int line, const std::string& words) {
    const std::vector<SiteError> errors = Errors(text);
    ASSERT_EQ(errors.size(), 1u) << text;
    EXPECT_EQ(errors[0].line, line) << text << "\n" << errors[0].message;
    EXPECT_NE(errors[0].message.find(words), std::string::npos)
        << "\"" << errors[0].message << "\" lacks \"" << words << "\"";
}

const char* const kExample = R"(# comments are kept by capture where it rewrites a file
edids: edids            # folder of EDID files
devices:
  - name: rack-1        # free text, for the report
    port: /dev/ttyUSB0
    nodes:
      input1: projector.bin
      User2: 4k-hdr.bin
    modes:
      input1: User2
  - name: hall
    product: "Hall B EDID"
  - mac: 00-11-22-aa-bb-cc
    name: "lobby: left # 2"
    nodes: {input2: sub/lobby.bin}
)";

} // namespace

TEST(SiteFile, TheExampleReadsWithEveryPartOnItsLine) {
    SiteFile site;
    std::vector<SiteError> errors;
    ASSERT_TRUE(ParseSiteFile(kExample, site, errors)) << errors.front().message;
    ASSERT_TRUE(site.edids.has_value());
    EXPECT_EQ(*site.edids, "edids");
    EXPECT_EQ(site.edidsLine, 2);
    EXPECT_EQ(site.devicesLine, 3);
    ASSERT_EQ(site.devices.size(), 3u);

    const SiteDevice& rack = site.devices[0];
    EXPECT_EQ(rack.name, "rack-1");
    EXPECT_EQ(rack.line, 4);
    EXPECT_EQ(rack.locator, SiteLocator::Port);
    EXPECT_EQ(rack.where, "/dev/ttyUSB0");
    EXPECT_EQ(rack.whereLine, 5);
    ASSERT_EQ(rack.nodes.size(), 2u);
    EXPECT_EQ(rack.nodes[0].node, (NodeRef{NodeKind::Input, 0}));
    EXPECT_EQ(rack.nodes[0].file, "projector.bin");
    EXPECT_EQ(rack.nodes[0].line, 7);
    // Names are taken in any case, as the command line takes them.
    EXPECT_EQ(rack.nodes[1].node, (NodeRef{NodeKind::User, 1}));
    EXPECT_EQ(rack.nodes[1].line, 8);
    ASSERT_EQ(rack.modes.size(), 1u);
    EXPECT_EQ(rack.modes[0].input, 0);
    EXPECT_EQ(rack.modes[0].source, "user2");
    EXPECT_EQ(rack.modes[0].line, 10);

    EXPECT_EQ(site.devices[1].locator, SiteLocator::Product);
    EXPECT_EQ(site.devices[1].where, "Hall B EDID");
    EXPECT_TRUE(site.devices[1].nodes.empty());

    const SiteDevice& lobby = site.devices[2];
    EXPECT_EQ(lobby.locator, SiteLocator::Mac);
    EXPECT_EQ(lobby.where, "00:11:22:AA:BB:CC");
    EXPECT_EQ(lobby.line, 13);
    EXPECT_EQ(lobby.nameLine, 14);
    EXPECT_EQ(lobby.name, "lobby: left # 2");
    ASSERT_EQ(lobby.nodes.size(), 1u);
    EXPECT_EQ(lobby.nodes[0].file, "sub/lobby.bin");
    EXPECT_EQ(lobby.nodes[0].line, 15);
}

TEST(SiteFile, EachMistakeIsNamedWithItsLine) {
    const std::string head = "devices:\n  - name: a\n    port: /dev/p\n";
    ExpectOneError("devics:\n  - name: a\n", 1, "unknown key \"devics\"");
    ExpectOneError(head + "    mdoes:\n      input1: user1\n", 4, "unknown key \"mdoes\"");
    ExpectOneError(head + "    nodes:\n      output1: a.bin\n", 5, "output1 cannot be written");
    ExpectOneError(head + "    nodes:\n      internal2: a.bin\n", 5, "cannot be written");
    ExpectOneError(head + "    nodes:\n      input0: a.bin\n", 5, "\"input0\" is not a node");
    ExpectOneError(head + "    nodes:\n      hdmi1: a.bin\n", 5, "\"hdmi1\" is not a node");
    ExpectOneError(head + "    nodes:\n      input1: a.bin\n      input1: b.bin\n", 6,
                   "input1 is named twice (first on line 5)");
    ExpectOneError(head + "    nodes:\n      input1: \"\"\n", 5, "names no file");
    ExpectOneError(head + "    nodes:\n      input1: [a.bin]\n", 5, "single value");
    ExpectOneError(head + "    nodes: a.bin\n", 4, "nodes must be a mapping");
    ExpectOneError(head + "    modes:\n      input1: user9\n", 5, "\"user9\" is not a source");
    ExpectOneError(head + "    modes:\n      input1: hdmi\n", 5, "is not a source");
    ExpectOneError(head + "    modes:\n      user1: user1\n", 5, "\"user1\" is not an input");
    ExpectOneError(head + "    modes:\n      input2: user1\n      input2: user2\n", 6,
                   "input2 has a mode twice");
    ExpectOneError(head + "    name: b\n", 4, "\"name\" is given twice");
    ExpectOneError("devices:\n  - name: a\n", 2, "neither port, mac nor product");
    ExpectOneError("devices:\n  - port: /dev/p\n", 2, "has no name");
    ExpectOneError(head + "    mac: 00:11:22:33:44:55\n", 2, "more than one of port, mac");
    ExpectOneError("devices:\n  - name: a\n    mac: 00:11:22:33:44\n", 3, "not a MAC address");
    ExpectOneError("devices:\n  - name: a\n    mac: 00:11:22:33:44:55\n    modes:\n"
                   "      input1: user1\n",
                   4, "a network device has no mode command");
    ExpectOneError(head + "  - name: b\n    port: /dev/p\n", 4,
                   "\"/dev/p\" is the device of the entry on line 2 again");
    ExpectOneError(head + "  - name: a\n    port: /dev/q\n", 4, "the name \"a\" is taken");
    ExpectOneError("devices:\n  - name: a\n    mac: 00:11:22:33:44:55\n"
                   "  - name: b\n    mac: 00-11-22-33-44-55\n",
                   4, "is the device of the entry on line 2 again");
    ExpectOneError(head + "    name2: \"x\\ty\"\n", 4, "unknown key");
    ExpectOneError("devices:\n  - name: \"a\\x1b[2J\"\n    port: /dev/p\n", 2, "control character");
    // Text that is not UTF-8 would not come back the same from a rewritten file.
    ExpectOneError("devices:\n  - name: a\n    product: \"Hall \xff\"\n", 3, "not UTF-8");
    ExpectOneError("devices:\n  - name: a\xc3\n    port: /dev/p\n", 2, "not UTF-8");
    ExpectOneError("devices:\n  - name: \xed\xa0\x80\n    port: /dev/p\n", 2, "not UTF-8");
    EXPECT_TRUE(Errors("devices:\n  - name: \"Saal \xc3\xa4 \xe2\x82\xac \xf0\x9f\x93\xba\"\n"
                       "    port: /dev/p\n")
                    .empty());
    ExpectOneError("edids: e\n", 0, "no \"devices:\" list");
    ExpectOneError("edids: \"\"\ndevices: []\n", 1, "edids names no folder");
    ExpectOneError("devices: {a: 1}\n", 1, "devices must be a list");
    ExpectOneError("devices:\n  - just text\n", 2, "a device entry is a mapping");
    ExpectOneError("- a\n- b\n", 1, "a site file is a mapping");
    ExpectOneError("", 0, "a site file is a mapping");
    ExpectOneError("devices: []\n---\ndevices: []\n", 0, "more than one YAML document");
}

TEST(SiteFile, BrokenYamlNamesTheLineTheParserStoppedAt) {
    ExpectOneError("devices:\n  - name: a\n    port: [/dev/p\n  - name: b\n", 4, "not YAML");
    ExpectOneError("devices:\n  - name: a\n\tport: x\n", 3, "not YAML");
    ExpectOneError("devices:\n  - name: a\n    port: {x\n", 4, "not YAML");
    ExpectOneError("devices: b: c\n", 1, "not YAML");
    // The YAML library's parser finds a new document at a stray comma for ever; each of these
    // must end, with an error on the comma's line.
    ExpectOneError(",", 1, "not YAML");
    ExpectOneError(" ,", 1, "not YAML");
    ExpectOneError("# a site\n\n  ,\n", 3, "not YAML");
}

TEST(SiteFile, EveryErrorIsReportedInLineOrder) {
    const std::vector<SiteError> errors = Errors("devices:\n"
                                                 "  - name: a\n"
                                                 "    port: /dev/p\n"
                                                 "    nodes:\n"
                                                 "      output1: x.bin\n"
                                                 "  - name: a\n"
                                                 "    port: /dev/p\n"
                                                 "wrong: 1\n");
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[0].line, 5);
    EXPECT_EQ(errors[1].line, 6); // the same device again
    EXPECT_EQ(errors[2].line, 6); // the same name again
    EXPECT_EQ(errors[3].line, 8);
    EXPECT_EQ(FormatSiteError("site.yaml", errors[3]),
              "site.yaml:8: unknown key \"wrong\" (a site file has edids and devices)");
    EXPECT_EQ(FormatSiteError("site.yaml", {0, "x"}), "site.yaml: x");
}

TEST(SiteFile, AnEmptyListAndEmptyMappingsAreAllowed) {
    SiteFile site;
    std::vector<SiteError> errors;
    EXPECT_TRUE(ParseSiteFile("devices: []\n", site, errors));
    EXPECT_TRUE(ParseSiteFile("devices:\n", site, errors));
    EXPECT_TRUE(ParseSiteFile("devices:\n  - name: a\n    port: p\n    nodes:\n    modes: {}\n",
                              site, errors));
    ASSERT_EQ(site.devices.size(), 1u);
    EXPECT_TRUE(site.devices[0].nodes.empty());
    EXPECT_FALSE(site.edids.has_value());
}

TEST(SiteFile, TheDeviceSaysWhatItHas) {
    SiteFile site;
    std::vector<SiteError> errors;
    ASSERT_TRUE(ParseSiteFile("devices:\n"
                              "  - name: a\n"
                              "    product: P\n"
                              "    nodes:\n"
                              "      input2: x.bin\n"
                              "      input3: x.bin\n"
                              "      user4: x.bin\n"
                              "      user5: x.bin\n"
                              "    modes:\n"
                              "      input2: external1\n"
                              "      input3: user1\n"
                              "      input1: internal7\n",
                              site, errors));
    const SiteDevice& d = site.devices[0];
    // 2 inputs, 1 output, 4 user slots, 6 internal EDIDs.
    const NodeCounts counts{2, 1, 4, 6};
    const std::vector<SiteError> serial = CheckSiteDevice(d, counts, true);
    ASSERT_EQ(serial.size(), 4u);
    EXPECT_EQ(serial[0].line, 6);
    EXPECT_NE(serial[0].message.find("a has no input3 (it has 2 inputs)"), std::string::npos);
    EXPECT_EQ(serial[1].line, 8);
    EXPECT_NE(serial[1].message.find("no user5 (it has 4 user slots)"), std::string::npos);
    EXPECT_EQ(serial[2].line, 11);
    EXPECT_NE(serial[2].message.find("no input3"), std::string::npos);
    EXPECT_EQ(serial[3].line, 12);
    EXPECT_NE(serial[3].message.find("no source internal7"), std::string::npos);

    // Found over the network: the modes cannot be set there at all.
    const std::vector<SiteError> network = CheckSiteDevice(d, counts, false);
    ASSERT_EQ(network.size(), 3u);
    EXPECT_EQ(network[2].line, 9);
    EXPECT_NE(network[2].message.find("network device"), std::string::npos);

    EXPECT_TRUE(CheckSiteDevice(d, NodeCounts{3, 1, 5, 8}, true).empty());
}

TEST(SiteFile, ModeIndexesFollowTheDevicesCounts) {
    const NodeCounts counts{2, 1, 4, 8}; // internals 0-7, external 8, users 9-12
    EXPECT_EQ(SiteModeIndex("internal1", counts), 0);
    EXPECT_EQ(SiteModeIndex("external1", counts), 8);
    EXPECT_EQ(SiteModeIndex("user2", counts), 10);
    EXPECT_EQ(SiteModeIndex("user4", counts), 12);
    EXPECT_FALSE(SiteModeIndex("user5", counts));
    EXPECT_FALSE(SiteModeIndex("external2", counts));
    EXPECT_FALSE(SiteModeIndex("user0", counts));
    EXPECT_FALSE(SiteModeIndex("user10", NodeCounts{2, 1, 12, 8}));
    EXPECT_FALSE(SiteModeIndex("User1", counts)); // the reader lowers the case first
}

TEST(SiteFile, MacsAndFileStems) {
    EXPECT_EQ(NormalizeMac("00:1a:2B:3c:4D:5e"), "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(NormalizeMac("00-1a-2b-3c-4d-5e"), "00:1A:2B:3C:4D:5E");
    EXPECT_FALSE(NormalizeMac("00:1a-2b:3c:4d:5e"));
    EXPECT_FALSE(NormalizeMac("00:1a:2b:3c:4d:5g"));
    EXPECT_FALSE(NormalizeMac("001a2b3c4d5e"));
    EXPECT_FALSE(NormalizeMac("00:1a:2b:3c:4d:5e:"));

    EXPECT_EQ(SafeFileStem("rack-1"), "rack-1");
    EXPECT_EQ(SafeFileStem("Hall B / left!"), "Hall_B_left");
    EXPECT_EQ(SafeFileStem("../../etc"), "_.._etc");
    EXPECT_EQ(SafeFileStem("..."), "device");
    EXPECT_EQ(SafeFileStem("-rf"), "rf");
    EXPECT_EQ(SafeFileStem(""), "device");
    EXPECT_EQ(SafeFileStem("\xC3\xA9t\xC3\xA9"), "t");
    EXPECT_EQ(SafeFileStem(std::string(100, 'x')).size(), 48u);
}
