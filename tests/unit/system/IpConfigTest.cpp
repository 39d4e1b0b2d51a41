// The IP configuration datagram built from the tab's edits, and the web address.
#include "system/IpConfig.h"

#include <gtest/gtest.h>

using namespace lvx;

namespace {

using Bytes = std::vector<std::uint8_t>;

NetworkRecord StaticDevice() {
    NetworkRecord r;
    r.mac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    r.macText = "00:11:22:33:44:55";
    r.ipAddress = "192.168.1.10";
    r.subnetMask = "255.255.255.0";
    r.gateway = "192.168.1.1";
    r.dns = "8.8.8.8";
    r.ipMode = 0;
    r.webPort = 80;
    r.telnetPort = 23;
    return r;
}

Bytes Datagram(const IpConfigPlan& plan) {
    return BuildIpConfigDatagram(plan.entries);
}

const Bytes kMacEntry{0x02, 0x06, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

// The entries after the MAC, as raw bytes.
Bytes Tail(const IpConfigPlan& plan) {
    const Bytes d = Datagram(plan);
    EXPECT_GE(d.size(), 2u + kMacEntry.size() + 2u);
    EXPECT_EQ(Bytes(d.begin() + 2, d.begin() + 10), kMacEntry);
    return Bytes(d.begin() + 10, d.end() - 2);
}

} // namespace

TEST(IpConfig, StaticToDhcpSendsTheModeAndForgetsTheAddresses) {
    const NetworkRecord stored = StaticDevice();
    IpEdits edits = IpEditsOf(stored);
    edits.mode = 1;
    const IpConfigPlan plan = PlanIpConfiguration(stored, edits);
    ASSERT_FALSE(plan.refused);
    EXPECT_EQ(Datagram(plan), (Bytes{0x03, 0x0B, 0x02, 0x06, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55,
                                     0x07, 0x01, 0x01, 0xAE, 0x25}));
    EXPECT_EQ(plan.stored.ipMode, 1);
    EXPECT_EQ(plan.stored.ipAddress, "0.0.0.0");
    EXPECT_EQ(plan.stored.subnetMask, "0.0.0.0");
    EXPECT_EQ(plan.stored.gateway, "0.0.0.0");
    EXPECT_EQ(plan.stored.dns, "8.8.8.8");

    // A second write with the same edits sends the MAC alone.
    const IpConfigPlan again = PlanIpConfiguration(plan.stored, edits);
    EXPECT_EQ(again.entries.size(), 1u);
}

TEST(IpConfig, ChangedAddressInStaticModeIsSentAndStored) {
    const NetworkRecord stored = StaticDevice();
    IpEdits edits = IpEditsOf(stored);
    edits.ipAddress = "192.168.1.20";
    const IpConfigPlan plan = PlanIpConfiguration(stored, edits);
    EXPECT_EQ(Tail(plan), (Bytes{0x03, 0x04, 0xC0, 0xA8, 0x01, 0x14}));
    EXPECT_EQ(plan.stored.ipAddress, "192.168.1.20");
    EXPECT_TRUE(plan.skipped.empty());

    // Every field at once goes in the given order: mode first, then 3, 4, 5, 6, 8, 9.
    NetworkRecord dhcp = StaticDevice();
    dhcp.ipMode = 1;
    IpEdits all = IpEditsOf(dhcp);
    all.mode = 0;
    all.ipAddress = "10.0.0.2";
    all.subnetMask = "255.0.0.0";
    all.gateway = "10.0.0.1";
    all.dns = "10.0.0.53";
    all.webPort = "8080";
    all.telnetPort = "2323";
    EXPECT_EQ(Tail(PlanIpConfiguration(dhcp, all)),
              (Bytes{0x07, 0x01, 0x00, 0x03, 0x04, 10,   0,    0,    2,    0x04, 0x04, 255,
                     0,    0,    0,    0x05, 0x04, 10,   0,    0,    1,    0x06, 0x04, 10,
                     0,    0,    53,   0x08, 0x02, 0x90, 0x1F, 0x09, 0x02, 0x13, 0x09}));
}

TEST(IpConfig, AddressEditsInDhcpModeAreNotSent) {
    NetworkRecord stored = StaticDevice();
    stored.ipMode = 1;
    IpEdits edits = IpEditsOf(stored);
    edits.ipAddress = "192.168.1.20";
    edits.gateway = "300.1.1.1"; // not even looked at
    const IpConfigPlan plan = PlanIpConfiguration(stored, edits);
    ASSERT_FALSE(plan.refused);
    EXPECT_EQ(plan.entries.size(), 1u);
    EXPECT_EQ(plan.stored.ipAddress, "192.168.1.10");
    // The DNS server goes in either mode.
    edits.dns = "1.1.1.1";
    EXPECT_EQ(Tail(PlanIpConfiguration(stored, edits)), (Bytes{0x06, 0x04, 1, 1, 1, 1}));
}

TEST(IpConfig, AddressThatIsNotFourPiecesIsLeftOutAndSaidSo) {
    const NetworkRecord stored = StaticDevice();
    IpEdits edits = IpEditsOf(stored);
    edits.ipAddress = "10..0.1";
    edits.gateway = "192.168.1.254";
    const IpConfigPlan plan = PlanIpConfiguration(stored, edits);
    ASSERT_FALSE(plan.refused);
    EXPECT_EQ(Tail(plan), (Bytes{0x05, 0x04, 192, 168, 1, 254}));
    EXPECT_EQ(plan.stored.ipAddress, "192.168.1.10");
    ASSERT_EQ(plan.skipped.size(), 1u);
    EXPECT_NE(plan.skipped[0].find("10..0.1"), std::string::npos);

    // Empty pieces are dropped: "10..0.0.1" is four pieces.
    edits.ipAddress = "10..0.0.1";
    EXPECT_EQ(PlanIpConfiguration(stored, edits).entries[1].value, (Bytes{10, 0, 0, 1}));
}

TEST(IpConfig, ValuesThatCannotGoOutAsTypedRefuseTheWholeWrite) {
    const NetworkRecord stored = StaticDevice();
    const struct {
        const char* what;
        void (*edit)(IpEdits&);
        const char* inMessage;
    } cases[] = {
        {"piece above 255", [](IpEdits& e) { e.ipAddress = "192.168.1.300"; }, "300"},
        {"huge piece", [](IpEdits& e) { e.subnetMask = "255.255.255.99999999999999999999"; },
         "above 255"},
        {"piece not decimal", [](IpEdits& e) { e.gateway = "192.168.1.x1"; }, "'x1'"},
        {"negative piece", [](IpEdits& e) { e.ipAddress = "192.168.-1.1"; }, "'-1'"},
        {"port above 65535", [](IpEdits& e) { e.webPort = "70000"; }, "70000"},
        {"port not decimal", [](IpEdits& e) { e.telnetPort = "23a"; }, "'23a'"},
        {"empty port", [](IpEdits& e) { e.webPort = ""; }, "WebGUI Port"},
    };
    for (const auto& c : cases) {
        IpEdits edits = IpEditsOf(stored);
        edits.mode = 0;
        edits.dns = "9.9.9.9"; // would be sent if the write went ahead
        c.edit(edits);
        const IpConfigPlan plan = PlanIpConfiguration(stored, edits);
        EXPECT_TRUE(plan.refused) << c.what;
        EXPECT_TRUE(plan.entries.empty()) << c.what;
        EXPECT_NE(plan.error.find(c.inMessage), std::string::npos) << c.what << ": " << plan.error;
        EXPECT_EQ(plan.stored.dns, "8.8.8.8") << c.what;
    }
    // Refused after a mode change too: the mode is not stored either.
    IpEdits edits = IpEditsOf(stored);
    edits.mode = 1;
    edits.webPort = "65536";
    const IpConfigPlan plan = PlanIpConfiguration(stored, edits);
    EXPECT_TRUE(plan.refused);
    EXPECT_EQ(plan.stored.ipMode, 0);
    EXPECT_EQ(plan.stored.ipAddress, "192.168.1.10");
}

TEST(IpConfig, PortsAreComparedByValue) {
    const NetworkRecord stored = StaticDevice();
    IpEdits edits = IpEditsOf(stored);
    edits.webPort = "0080"; // the same port
    EXPECT_EQ(PlanIpConfiguration(stored, edits).entries.size(), 1u);
    edits.webPort = "65535";
    EXPECT_EQ(Tail(PlanIpConfiguration(stored, edits)), (Bytes{0x08, 0x02, 0xFF, 0xFF}));
}

TEST(WebAddress, PortEightyIsLeftOutAndZeroMeansNone) {
    NetworkRecord r = StaticDevice();
    EXPECT_EQ(DeviceWebAddress(r), "Http://192.168.1.10/");
    r.webPort = 8080;
    EXPECT_EQ(DeviceWebAddress(r), "Http://192.168.1.10:8080/");
    r.webPort = 0;
    EXPECT_EQ(DeviceWebAddress(r), "");
}
