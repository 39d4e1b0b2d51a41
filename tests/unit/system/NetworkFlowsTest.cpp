// Write Configuration and IP Configure against simulated network devices, all on loopback
// inside the test's own network namespace: what the devices apply is what a new Search shows.
#include "connection/ConnectionController.h"
#include "devsim/net/NetDeviceSim.h"
#include "support/QtTestSupport.h"
#include "system/IpConfigTool.h"
#include "system/SystemConfigTool.h"

#include <gtest/gtest.h>

using namespace lvx;
using namespace lvx::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

class NetworkFlows : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }

    void SetUp() override {
        NetSimConfig config;
        config.loopback = true;
        config.devices = {DefaultSimNetDevice(0), DefaultSimNetDevice(1)};
        config.devices[1].webPort = 8080;
        sim = std::make_unique<NetDeviceSim>(config);
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        controller = std::make_unique<ConnectionController>();
        controller->comPort = false;
        QString error;
        ASSERT_TRUE(controller->openNetwork(EndpointConfig::loopback(), &error))
            << error.toStdString();
        ip = std::make_unique<IpConfigTool>(*controller);
        config_ = std::make_unique<SystemConfigTool>(*controller);
    }

    // A Search that waits for both devices; then the device with this MAC is selected.
    void searchAndSelect(const std::string& mac) {
        if (controller->connected()) {
            controller->disconnectDevices();
        }
        controller->search();
        ASSERT_TRUE(WaitUntil([this] { return controller->rows().size() == 2; }));
        for (std::size_t i = 0; i < controller->rows().size(); ++i) {
            if (controller->rows()[i].mac == mac) {
                controller->select(static_cast<int>(i) + 1);
                return;
            }
        }
        FAIL() << "no device " << mac;
    }

    const NetworkRecord& listed(const std::string& mac) {
        for (std::size_t i = 0; i < controller->rows().size(); ++i) {
            if (controller->rows()[i].mac == mac) {
                return controller->network()->networkRecord(static_cast<int>(i));
            }
        }
        static NetworkRecord none;
        return none;
    }

    std::unique_ptr<NetDeviceSim> sim;
    std::unique_ptr<ConnectionController> controller;
    std::unique_ptr<IpConfigTool> ip;
    std::unique_ptr<SystemConfigTool> config_;
    const std::string first = "02:4C:56:58:00:01";
    const std::string second = "02:4C:56:58:00:02";
};

} // namespace

TEST_F(NetworkFlows, SelectionFillsTheTabAndTheWebAddressFollowsThePort) {
    int fills = 0;
    QObject::connect(ip.get(), &IpConfigTool::filled, [&fills] { ++fills; });
    searchAndSelect(second);
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(ip->shown().ipAddress, "192.168.1.102");
    EXPECT_EQ(ip->shown().webPort, "8080");
    EXPECT_EQ(ip->shown().mode, 0);
    EXPECT_EQ(ip->webAddress(), "Http://192.168.1.102:8080/");
    searchAndSelect(first);
    EXPECT_EQ(fills, 2);
    EXPECT_EQ(ip->webAddress(), "Http://192.168.1.101/");
    // Nothing is open after Disconnect: no record, no web page, no write.
    controller->disconnectDevices();
    EXPECT_EQ(ip->record(), nullptr);
    EXPECT_EQ(ip->webAddress(), "");
    EXPECT_EQ(ip->write(ip->shown()), IpConfigTool::Outcome::Nothing);
}

TEST_F(NetworkFlows, AddressWriteIsAppliedAndTheNextSearchShowsIt) {
    searchAndSelect(first);
    IpEdits edits = ip->shown();
    edits.ipAddress = "192.168.1.20";
    edits.subnetMask = "10..0.1";
    ASSERT_EQ(ip->write(edits), IpConfigTool::Outcome::Sent);
    const Bytes& sent = ip->lastDatagram();
    ASSERT_EQ(sent.size(), 2u + 8u + 6u + 2u);
    EXPECT_EQ(Bytes(sent.begin() + 10, sent.begin() + 16),
              (Bytes{0x03, 0x04, 0xC0, 0xA8, 0x01, 0x14}));
    EXPECT_TRUE(ip->statusRed());
    EXPECT_TRUE(ip->statusText().contains(QStringLiteral("10..0.1")));
    EXPECT_EQ(ip->record()->ipAddress, "192.168.1.20");
    EXPECT_EQ(ip->record()->subnetMask, "255.255.255.0");
    ASSERT_TRUE(WaitUntil([this] { return sim->device(0).settings().ipAddress[3] == 20; }));

    // A value that cannot go out as typed: nothing is sent and nothing stored.
    edits = ip->shown();
    edits.gateway = "192.168.1.300";
    edits.ipAddress = "192.168.1.21";
    EXPECT_EQ(ip->write(edits), IpConfigTool::Outcome::Refused);
    EXPECT_TRUE(ip->statusText().contains(QStringLiteral("300")));
    EXPECT_TRUE(ip->lastDatagram().empty());
    EXPECT_EQ(ip->record()->ipAddress, "192.168.1.20");

    // Going to DHCP: the device takes the mode, a new Search lists it so.
    edits = ip->shown();
    edits.mode = 1;
    ASSERT_EQ(ip->write(edits), IpConfigTool::Outcome::Sent);
    EXPECT_EQ(ip->record()->ipAddress, "0.0.0.0");
    ASSERT_TRUE(WaitUntil([this] { return sim->device(0).settings().ipMode == 1; }));
    searchAndSelect(second);
    EXPECT_EQ(listed(first).ipAddress, "192.168.1.20");
    EXPECT_EQ(listed(first).ipMode, 1);
    EXPECT_EQ(listed(second).ipAddress, "192.168.1.102");
}

TEST_F(NetworkFlows, ProductStringGoesToTheDeviceAndTheList) {
    searchAndSelect(second);
    ASSERT_EQ(controller->devices().current().productString, "Network EDID Manager");
    const std::string seventy(70, 'R');
    EXPECT_EQ(config_->writeConfiguration(seventy), SystemConfigTool::Outcome::Done);
    EXPECT_EQ(controller->devices().current().productString, std::string(63, 'R'));
    const int row = controller->devices().selected;
    EXPECT_EQ(controller->rows()[static_cast<std::size_t>(row)].description,
              " " + std::string(63, 'R') + " ");
    EXPECT_EQ(sim->device(1).settings().description, std::string(63, 'R'));
    EXPECT_EQ(sim->device(0).settings().description, "Network EDID Manager");
    EXPECT_EQ(config_->writeConfiguration(std::string(63, 'R')),
              SystemConfigTool::Outcome::Unchanged);

    // Empty: one space goes out.
    EXPECT_EQ(config_->writeConfiguration(""), SystemConfigTool::Outcome::Done);
    EXPECT_EQ(sim->device(1).settings().description, " ");
}
