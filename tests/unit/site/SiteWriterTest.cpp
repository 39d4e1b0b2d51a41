// Writing a site file after a capture: a written file reads back to what was written, an
// existing file keeps its entries, names and comments, and EDID files are named by content.
#include "site/SiteWriter.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace lvx;

namespace {

SiteFile Parse(const std::string& text) {
    SiteFile site;
    std::vector<SiteError> errors;
    EXPECT_TRUE(ParseSiteFile(text, site, errors))
        << text << "\n"
        << (errors.empty() ? "" : FormatSiteError("text", errors.front()));
    return site;
}

// Two site files say the same, wherever their entries stand.
void ExpectSameContent(const SiteFile& a, const SiteFile& b) {
    EXPECT_EQ(a.edids, b.edids);
    ASSERT_EQ(a.devices.size(), b.devices.size());
    for (std::size_t i = 0; i < a.devices.size(); ++i) {
        const SiteDevice& x = a.devices[i];
        const SiteDevice& y = b.devices[i];
        EXPECT_EQ(x.name, y.name);
        EXPECT_EQ(x.locator, y.locator);
        EXPECT_EQ(x.where, y.where);
        ASSERT_EQ(x.nodes.size(), y.nodes.size());
        for (std::size_t n = 0; n < x.nodes.size(); ++n) {
            EXPECT_EQ(x.nodes[n].node, y.nodes[n].node);
            EXPECT_EQ(x.nodes[n].file, y.nodes[n].file);
        }
        ASSERT_EQ(x.modes.size(), y.modes.size());
        for (std::size_t m = 0; m < x.modes.size(); ++m) {
            EXPECT_EQ(x.modes[m].input, y.modes[m].input);
            EXPECT_EQ(x.modes[m].source, y.modes[m].source);
        }
    }
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The index of the only line holding `part`; -1 when none or several do.
int LineWith(const std::vector<std::string>& lines, const std::string& part) {
    int found = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find(part) != std::string::npos) {
            if (found >= 0) {
                return -1;
            }
            found = static_cast<int>(i);
        }
    }
    return found;
}

CapturedDevice Serial(const std::string& port) {
    CapturedDevice c;
    c.locator = SiteLocator::Port;
    c.where = port;
    c.product = "Hall B EDID";
    c.model = "QEM-2";
    c.nodes = {{{NodeKind::Input, 0}, "A-111111111111.bin", 0},
               {{NodeKind::Input, 1}, "A-111111111111.bin", 0},
               {{NodeKind::User, 0}, "B-222222222222.bin", 0}};
    c.modes = {{0, "external1", 0}, {1, "user1", 0}};
    return c;
}

const char* const kOld = R"(# Building B, floor 2
edids: edids   # beside this file

devices:
  # the rack in room 201
  - name: rack-1        # main rack
    port: /dev/ttyUSB0  # the left adapter
    nodes:
      # what the projector takes
      input1: projector.bin   # 4K off
      user3: spare.bin
    modes:
      input1: user2   # set by hand in March
  - name: lobby
    mac: 00:11:22:33:44:55   # "quoted # text" stays
    nodes: {input1: lobby.bin}  # flow style
# end of the list
)";

} // namespace

TEST(SiteWriter, AWrittenFileReadsBackAsWritten) {
    std::vector<std::string> notes;
    CapturedDevice odd = Serial("/dev/tty with: colon #1");
    odd.product = "\"Quoted\" 'name' # not a comment: yes";
    CapturedDevice net;
    net.locator = SiteLocator::Mac;
    net.where = "00:11:22:33:44:55";
    net.nodes = {{{NodeKind::User, 3}, "x y.bin", 0}};
    const SiteFile merged = MergeCapture(nullptr, {odd, Serial("/dev/ttyUSB1"), net}, notes);
    EXPECT_TRUE(notes.empty());
    ASSERT_EQ(merged.devices.size(), 3u);
    EXPECT_EQ(merged.devices[0].name, odd.product);
    // The same product twice: the second entry gets a name of its own.
    EXPECT_EQ(merged.devices[1].name, "Hall B EDID");
    // Without product or model, where it was found.
    EXPECT_EQ(merged.devices[2].name, "00:11:22:33:44:55");

    const std::string text = RenderSiteFile(merged);
    EXPECT_EQ(text.rfind("edids: edids\ndevices:\n  - name: ", 0), 0u) << text;
    ExpectSameContent(Parse(text), merged);
}

TEST(SiteWriter, ACaptureKeepsEntriesNamesAndComments) {
    const SiteFile old = Parse(kOld);
    CapturedDevice rack = Serial("/dev/ttyUSB0");
    rack.nodes.push_back({{NodeKind::User, 2}, "C-333333333333.bin", 0});
    std::vector<std::string> notes;
    const SiteFile merged = MergeCapture(&old, {rack}, notes);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0], "lobby: not captured; its entry is kept as it was");

    const std::string text = RenderSiteFile(merged, CollectComments(kOld, old));
    const SiteFile back = Parse(text);
    ExpectSameContent(back, merged);
    ASSERT_EQ(back.devices.size(), 2u);
    EXPECT_EQ(back.devices[0].name, "rack-1");
    ASSERT_EQ(back.devices[0].nodes.size(), 4u);
    EXPECT_EQ(back.devices[0].nodes[3].node, (NodeRef{NodeKind::User, 2}));
    EXPECT_EQ(back.devices[0].nodes[3].file, "C-333333333333.bin");
    EXPECT_EQ(back.devices[1].nodes[0].file, "lobby.bin");

    // Every comment is there once, on the line of its entry or right above it.
    const std::vector<std::string> lines = Lines(text);
    auto at = [&lines](const std::string& part) { return LineWith(lines, part); };
    EXPECT_EQ(at("# Building B, floor 2"), 0);
    EXPECT_EQ(at("# beside this file"), at("edids: edids"));
    EXPECT_EQ(at("# the rack in room 201") + 1, at("- name: rack-1"));
    EXPECT_EQ(at("# main rack"), at("- name: rack-1"));
    EXPECT_EQ(at("# the left adapter"), at("port: /dev/ttyUSB0"));
    EXPECT_EQ(at("# what the projector takes") + 1, at("input1: A-111111111111.bin"));
    EXPECT_EQ(at("# 4K off"), at("input1: A-111111111111.bin"));
    EXPECT_EQ(at("# set by hand in March"), at("input1: external1"));
    EXPECT_EQ(at("# \"quoted # text\" stays"), at("mac: 00:11:22:33:44:55"));
    EXPECT_EQ(at("# end of the list"), static_cast<int>(lines.size()) - 1);
    // user3 was captured anew, so its old value is gone; the flow-style line's comment sits on
    // the block mapping that replaced it.
    EXPECT_EQ(at("spare.bin"), -1);
    const int flow = at("# flow style");
    ASSERT_GE(flow, 0);
    EXPECT_EQ(lines[static_cast<std::size_t>(flow)].find("    nodes:"), 0u);
}

TEST(SiteWriter, WhatWasNotCapturedKeepsItsEntry) {
    const SiteFile old = Parse(kOld);
    CapturedDevice rack = Serial("/dev/ttyUSB0");
    rack.nodes.erase(rack.nodes.begin()); // input1 did not answer
    rack.unread = {{NodeKind::Input, 0}, {NodeKind::User, 2}};
    rack.modes = {{1, "user1", 0}};
    rack.unreadModes = {0};
    CapturedDevice lobby;
    lobby.locator = SiteLocator::Mac;
    lobby.where = "00:11:22:33:44:55";
    lobby.nodes = {{{NodeKind::Input, 0}, "L-444444444444.bin", 0}};
    std::vector<std::string> notes;
    const SiteFile merged = MergeCapture(&old, {lobby, rack}, notes);
    EXPECT_EQ(notes.size(), 3u);

    ASSERT_EQ(merged.devices.size(), 2u); // found again in another order: the file's order
    const SiteDevice& r = merged.devices[0];
    ASSERT_EQ(r.nodes.size(), 4u);
    EXPECT_EQ(r.nodes[0].file, "projector.bin"); // kept: not read
    EXPECT_EQ(r.nodes[1].file, "A-111111111111.bin");
    EXPECT_EQ(r.nodes[3].file, "spare.bin"); // kept: no valid EDID in the slot
    ASSERT_EQ(r.modes.size(), 2u);
    EXPECT_EQ(r.modes[0].source, "user2"); // kept: not reported
    EXPECT_EQ(r.modes[1].source, "user1");
    EXPECT_EQ(merged.devices[1].nodes[0].file, "L-444444444444.bin");
    ExpectSameContent(Parse(RenderSiteFile(merged, CollectComments(kOld, old))), merged);
}

TEST(SiteWriter, AnEntryFoundByProductStaysSo) {
    const std::string text = "devices:\n"
                             "  - name: hall\n"
                             "    product: Hall B EDID   # by product\n"
                             "    nodes:\n"
                             "      input1: old.bin\n"
                             "      input2: gone.bin   # this input is no more\n";
    const SiteFile old = Parse(text);
    CapturedDevice hall = Serial("/dev/ttyUSB3");
    hall.nodes.erase(hall.nodes.begin() + 1); // a device with one input now
    std::vector<std::string> notes;
    const SiteFile merged = MergeCapture(&old, {hall}, notes);
    ASSERT_EQ(merged.devices.size(), 1u);
    EXPECT_EQ(merged.devices[0].locator, SiteLocator::Product);
    EXPECT_EQ(merged.devices[0].where, "Hall B EDID");
    EXPECT_FALSE(merged.edids.has_value()); // no folder is added to a file that had none
    const std::string written = RenderSiteFile(merged, CollectComments(text, old));
    const std::vector<std::string> lines = Lines(written);
    EXPECT_EQ(LineWith(lines, "# by product"), LineWith(lines, "product: Hall B EDID"));
    // The input the device no longer reports goes, but not its comment.
    EXPECT_EQ(LineWith(lines, "gone.bin"), -1);
    EXPECT_EQ(LineWith(lines, "# this input is no more"), static_cast<int>(lines.size()) - 1);
}

TEST(SiteWriter, CommentsAreFoundOutsideQuotesOnly) {
    const std::string text = "devices:\n"
                             "  - name: 'it''s # not'   # one\n"
                             "    product: \"a \\\" # b\"  # two\n"
                             "    nodes: {input1: a#b.bin}   # three\n";
    const SiteFile site = Parse(text);
    ASSERT_EQ(site.devices.size(), 1u);
    EXPECT_EQ(site.devices[0].name, "it's # not");
    EXPECT_EQ(site.devices[0].nodes[0].file, "a#b.bin");
    const SiteComments comments = CollectComments(text, site);
    EXPECT_EQ(comments.byLine.at(2).after, "# one");
    EXPECT_EQ(comments.byLine.at(3).after, "# two");
    EXPECT_EQ(comments.byLine.at(4).after, "# three");
    ExpectSameContent(Parse(RenderSiteFile(site, comments)), site);
}

TEST(SiteWriter, EqualEdidsShareOneName) {
    EdidImage image{};
    const std::uint8_t header[] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    std::copy(std::begin(header), std::end(header), image.begin());
    image[8] = 0x10; // "DEL": D=4, E=5, L=12 -> 0 00100 00101 01100
    image[9] = 0xAC;
    image[10] = 0x34;
    image[11] = 0x12; // product code 0x1234
    image[18] = 1;
    image[19] = 3;
    const std::string hash(64, 'a');
    EXPECT_EQ(CapturedEdidName(image, hash), "DEL-1234-aaaaaaaaaaaa.bin");
    // A monitor name descriptor gives the name.
    const std::uint8_t name[] = {0, 0, 0, 0xFC, 0, 'P', 'J', ' ', '/', ' ', 'X', 0x0A};
    std::copy(std::begin(name), std::end(name), image.begin() + 54);
    EXPECT_EQ(CapturedEdidName(image, "0123456789abcdef"), "PJ_X-0123456789ab.bin");
}
