// The plan of one device: which nodes and modes differ from the site file, and what a dry
// run says about a node that differs.
#include "site/SitePlan.h"

#include "edid/EdidComparison.h"

#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>

using namespace lvx;

namespace {

EdidImage Corpus(const char* name) {
    QFile file(QStringLiteral(LVX_CORPUS_DIR "/") + QLatin1String(name));
    EdidImage image;
    image.fill(0xFF);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.read(256);
        std::copy(bytes.begin(), bytes.end(), image.begin());
    }
    return image;
}

void FixChecksum(EdidImage& image) {
    int sum = 0;
    for (int i = 0; i < 127; ++i) {
        sum += image[static_cast<std::size_t>(i)];
    }
    image[127] = static_cast<std::uint8_t>((256 - sum % 256) % 256);
}

// The image with its monitor name descriptor (tag 0xFC) holding `name`; false when it has none.
bool Rename(EdidImage& image, const std::string& name) {
    for (std::size_t d = 54; d < 126; d += 18) {
        if (image[d] == 0 && image[d + 1] == 0 && image[d + 3] == 0xFC) {
            for (std::size_t i = 0; i < 13; ++i) {
                image[d + 5 + i] = i < name.size()    ? static_cast<std::uint8_t>(name[i])
                                   : i == name.size() ? 0x0A
                                                      : 0x20;
            }
            FixChecksum(image);
            return true;
        }
    }
    return false;
}

int Differing(const EdidImage& a, const EdidImage& b) {
    int n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        n += a[i] != b[i] ? 1 : 0;
    }
    return n;
}

SiteDevice Entry() {
    SiteDevice d;
    d.name = "rack";
    d.nodes = {{{NodeKind::Input, 0}, "a.bin", 7},
               {{NodeKind::User, 1}, "b.bin", 8},
               {{NodeKind::Input, 1}, "c.bin", 9}};
    d.modes = {{0, "user2", 11}, {1, "internal3", 12}};
    return d;
}

// 2 inputs, 1 output, 4 user slots, 8 internal EDIDs: internal k is k-1, external 1 is 8,
// user k is 8 + k.
const NodeCounts kCounts{2, 1, 4, 8};

} // namespace

TEST(SitePlan, OnlyWhatDiffersIsToBeWritten) {
    const EdidImage a = Corpus("002959BBD30B.bin");
    const EdidImage b = Corpus("00495CE9E498.bin");
    ASSERT_NE(a, b);
    PresentState present;
    present.nodes = {a, a, std::nullopt};
    present.modes = {10, 8};
    const DevicePlan plan = PlanDevice(Entry(), kCounts, {a, b, b}, present);

    ASSERT_EQ(plan.nodes.size(), 3u);
    EXPECT_EQ(plan.nodes[0].state, PlanState::Unchanged);
    EXPECT_TRUE(plan.nodes[0].changes.empty());
    EXPECT_EQ(plan.nodes[1].state, PlanState::Differs);
    EXPECT_EQ(plan.nodes[1].node, (NodeRef{NodeKind::User, 1}));
    EXPECT_EQ(plan.nodes[1].line, 8);
    EXPECT_EQ(plan.nodes[1].wanted, b);
    EXPECT_EQ(plan.nodes[1].differingBytes, Differing(a, b));
    ASSERT_FALSE(plan.nodes[1].changes.empty());
    EXPECT_EQ(plan.nodes[1].changes[0], std::to_string(Differing(a, b)) + " bytes differ");
    EXPECT_EQ(plan.nodes[2].state, PlanState::Unknown);

    ASSERT_EQ(plan.modes.size(), 2u);
    EXPECT_EQ(plan.modes[0].state, PlanState::Unchanged); // user2 is 10
    EXPECT_EQ(plan.modes[1].state, PlanState::Differs);
    EXPECT_EQ(plan.modes[1].present, 8);
    EXPECT_EQ(plan.modes[1].presentSource, "external1");
    EXPECT_EQ(plan.modes[1].wanted, 2);
    EXPECT_EQ(plan.modes[1].wantedSource, "internal3");

    EXPECT_TRUE(plan.changes());
    EXPECT_FALSE(plan.fullyKnown());
    EXPECT_EQ(plan.nodesToWrite(), 1);
    EXPECT_EQ(plan.modesToSet(), 1);
}

TEST(SitePlan, ADeviceThatMatchesHasNothingToDo) {
    const EdidImage a = Corpus("002959BBD30B.bin");
    PresentState present;
    present.nodes = {a, a, a};
    present.modes = {10, 2};
    const DevicePlan plan = PlanDevice(Entry(), kCounts, {a, a, a}, present);
    EXPECT_FALSE(plan.changes());
    EXPECT_TRUE(plan.fullyKnown());

    // A mode the device did not report is not known, and no change is claimed for it.
    present.modes = {10, -1};
    const DevicePlan unsure = PlanDevice(Entry(), kCounts, {a, a, a}, present);
    EXPECT_EQ(unsure.modes[1].state, PlanState::Unknown);
    EXPECT_FALSE(unsure.fullyKnown());
    EXPECT_FALSE(unsure.changes());

    // Fewer present values than entries (a device that went away part way): unknown, no
    // reading past the lists.
    const DevicePlan partial = PlanDevice(Entry(), kCounts, {a}, PresentState{{a}, {}});
    EXPECT_EQ(partial.nodes[1].state, PlanState::Unknown);
    EXPECT_EQ(partial.modes[0].state, PlanState::Unknown);
}

TEST(SitePlan, TheSummaryNamesTheFactsAndTheBytes) {
    EdidImage before = Corpus("002959BBD30B.bin");
    EdidImage after = before;
    ASSERT_TRUE(Rename(before, "OLD NAME"));
    ASSERT_TRUE(Rename(after, "SITE TEST"));
    const std::vector<std::string> lines = ChangeSummary(CompareEdids(before, after));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::to_string(Differing(before, after)) + " bytes differ");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Monitor Name: OLD NAME -> SITE TEST"),
              lines.end())
        << lines[1];

    // Two bytes outside every fact and list (serial number, checksum): the count and the
    // fields they are in.
    EdidImage other = before;
    other[12] = static_cast<std::uint8_t>(other[12] ^ 0x01);
    other[127] = static_cast<std::uint8_t>(other[127] - 1);
    const std::vector<std::string> bytes = ChangeSummary(CompareEdids(before, other));
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes[0].rfind("2 bytes differ (", 0), 0u) << bytes[0];
    EXPECT_EQ(bytes.size(), 1u);
}
