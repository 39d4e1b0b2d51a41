// The PC's own connectors: directory names and what an "edid" attribute may hold.

#include "edid/PcMonitors.h"

#include "EdidTestImages.h"

#include <gtest/gtest.h>

using namespace lvx;
using namespace lvx::test;

namespace {

std::vector<std::uint8_t> BytesOf(const EdidImage& image, std::size_t size) {
    std::vector<std::uint8_t> bytes(image.begin(),
                                    image.begin() + std::min<std::size_t>(size, 256));
    bytes.resize(size, 0x00);
    return bytes;
}

} // namespace

TEST(PcMonitors, ConnectorDirectories) {
    const auto hdmi = ParseConnectorDirectory("card0-HDMI-A-1");
    ASSERT_TRUE(hdmi);
    EXPECT_EQ(hdmi->card, 0);
    EXPECT_EQ(hdmi->connector, "HDMI-A-1");
    const auto dp = ParseConnectorDirectory("card12-DP-2");
    ASSERT_TRUE(dp);
    EXPECT_EQ(dp->card, 12);
    EXPECT_EQ(dp->connector, "DP-2");
    for (const char* other : {"card0", "card0-", "card-DP-1", "renderD128", "version", "",
                              "cardX-DP-1", "card1234567-DP-1"}) {
        EXPECT_FALSE(ParseConnectorDirectory(other)) << other;
    }
}

TEST(PcMonitors, WholeEdidsAreTakenAndShortOnesAreNoEdid) {
    const EdidImage two = Image(1);
    const PcMonitor ok = ClassifyConnector("card0-HDMI-A-1", BytesOf(two, 256));
    EXPECT_TRUE(ok.ok);
    EXPECT_STREQ(ok.status(), "ok");
    EXPECT_EQ(ok.blocks, 2);
    EXPECT_EQ(ok.image, two);

    // A base block alone: block 1 reads as 0xFF, as a 128-byte .bin does.
    const EdidImage one = Image(0);
    const PcMonitor base = ClassifyConnector("card0-DP-1", BytesOf(one, 128));
    EXPECT_TRUE(base.ok);
    EXPECT_EQ(base.blocks, 1);
    EXPECT_EQ(base.image[128], 0xFF);
    EXPECT_EQ(base.image[255], 0xFF);
    EXPECT_EQ(base.image[127], one[127]);

    // Three blocks: the program holds the first two.
    EdidImage three = Image(2);
    std::vector<std::uint8_t> threeBytes = BytesOf(three, 384);
    const PcMonitor big = ClassifyConnector("card0-DP-3", threeBytes);
    EXPECT_TRUE(big.ok);
    EXPECT_EQ(big.blocks, 3);
    EXPECT_EQ(big.image[126], 2);

    struct Case {
        std::optional<std::vector<std::uint8_t>> bytes;
        const char* problem;
    };
    const Case bad[] = {
        {std::vector<std::uint8_t>{}, "empty"},
        {BytesOf(two, 100), "truncated, 100 bytes"},
        {BytesOf(two, 128), "truncated, 128 of 256 bytes"}, // announces an extension it lacks
        {BytesOf(three, 256), "truncated, 256 of 384 bytes"},
        {std::vector<std::uint8_t>(kMaxConnectorEdidBytes + 1, 0), "too large for an EDID"},
        {std::nullopt, "cannot be read"},
    };
    for (const Case& c : bad) {
        const PcMonitor m = ClassifyConnector("card0-HDMI-A-2", c.bytes);
        EXPECT_FALSE(m.ok) << c.problem;
        EXPECT_STREQ(m.status(), "no EDID");
        EXPECT_EQ(m.problem, c.problem);
        EXPECT_EQ(m.name.connector, "HDMI-A-2");
    }
}

TEST(PcMonitors, FindingAConnectorByNameOrDirectory) {
    std::vector<PcMonitor> monitors = {
        ClassifyConnector("card1-DP-1", std::nullopt),
        ClassifyConnector("card0-HDMI-A-1", std::nullopt),
        ClassifyConnector("card0-DP-1", std::nullopt),
    };
    SortMonitors(monitors);
    EXPECT_EQ(monitors[0].directory, "card0-DP-1");
    EXPECT_EQ(monitors[1].directory, "card0-HDMI-A-1");
    EXPECT_EQ(monitors[2].directory, "card1-DP-1");

    bool ambiguous = false;
    const PcMonitor* hdmi = FindMonitor(monitors, "HDMI-A-1", &ambiguous);
    ASSERT_NE(hdmi, nullptr);
    EXPECT_EQ(hdmi->directory, "card0-HDMI-A-1");
    EXPECT_FALSE(ambiguous);
    // Two cards with a DP-1: the bare name is ambiguous, the directory name is not.
    EXPECT_EQ(FindMonitor(monitors, "DP-1", &ambiguous), nullptr);
    EXPECT_TRUE(ambiguous);
    ASSERT_NE(FindMonitor(monitors, "card1-DP-1"), nullptr);
    EXPECT_EQ(FindMonitor(monitors, "card1-DP-1")->name.card, 1);
    EXPECT_EQ(FindMonitor(monitors, "VGA-1", &ambiguous), nullptr);
    EXPECT_FALSE(ambiguous);
}
