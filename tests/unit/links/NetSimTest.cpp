// The simulated network devices: their configuration file and their answers.

#include "DatagramBytes.h"

#include "devsim/net/NetSimConfig.h"
#include "devsim/net/SimNetDevice.h"
#include "links/Discovery.h"
#include "links/NetCommand.h"

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lvx;
using namespace lvx::test;

namespace {

QJsonObject Json(const char* text) {
    return QJsonDocument::fromJson(text).object();
}

bool Load(const char* text, NetSimConfig& config, QString& error, const QString& dir = ".") {
    return NetSimConfigFromJson(Json(text), dir, config, error);
}

} // namespace

TEST(NetSimConfig, ReadsEveryKeyOfADevice) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("out2.bin"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(256, '\x42'));
    file.close();

    NetSimConfig config;
    QString error;
    ASSERT_TRUE(Load(R"({"loopback": false, "devices": [{
        "mac": "00:11:22:aa:BB:55", "ip": "10.1.2.3", "subnetMask": "255.0.0.0",
        "gateway": "10.0.0.1", "dns": "1.1.1.1", "ipMode": "dhcp", "webPort": 8080,
        "telnetPort": 2323, "productId": "1234", "productName": "PN", "description": "D",
        "serialNumber": "S1", "spare1": "a", "spare2": "b", "vid": "V", "pid": "P",
        "version": "2.0", "inputs": 1, "outputs": 3, "users": 0, "internals": 6,
        "edids": {"output2": "out2.bin"},
        "faults": {"answerTwice": true, "unknownTag": true}}]})",
                     config, error, dir.path()))
        << error.toStdString();
    EXPECT_FALSE(config.loopback);
    ASSERT_EQ(config.devices.size(), 1u);
    const SimNetDeviceSettings& s = config.devices[0];
    EXPECT_EQ(s.mac, (MacAddress{0x00, 0x11, 0x22, 0xAA, 0xBB, 0x55}));
    EXPECT_EQ(s.ipAddress, (Ipv4Bytes{10, 1, 2, 3}));
    EXPECT_EQ(s.ipMode, 1);
    EXPECT_EQ(s.webPort, 8080);
    EXPECT_EQ(s.outputs, 3);
    EXPECT_EQ(s.users, 0);
    EXPECT_TRUE(s.faults.answerTwice);
    EXPECT_FALSE(s.faults.badCrc);

    // What the program makes of the device's discovery reply.
    const SimNetDevice device(s);
    const Bytes reply = device.discoveryReply();
    const DiscoveryResult parsed = ParseDiscoveryReply(reply.data(), reply.size(), nullptr, 0);
    ASSERT_EQ(parsed.status, DiscoveryStatus::Accepted);
    EXPECT_EQ(parsed.record.productId, "1234");
    EXPECT_EQ(parsed.record.macText, "00:11:22:AA:BB:55");
    EXPECT_EQ(parsed.record.dns, "1.1.1.1");
    EXPECT_EQ(parsed.record.telnetPort, 2323);
    EXPECT_EQ(parsed.record.spareText2, "b");
    EXPECT_EQ(device.edid(SimNodeSelector(1, 1))[0], 0x42);
    EXPECT_EQ(device.edid(SimNodeSelector(1, 0)), DefaultSimEdid(SimNodeSelector(1, 0)));
}

TEST(NetSimConfig, DefaultsWithoutDevicesAndForLeftOutKeys) {
    NetSimConfig config;
    QString error;
    ASSERT_TRUE(Load("{}", config, error));
    EXPECT_TRUE(config.loopback);
    ASSERT_EQ(config.devices.size(), 1u);
    EXPECT_EQ(MacText(config.devices[0].mac), "02:4C:56:58:00:01");

    ASSERT_TRUE(Load(R"({"devices": [{}, {"productName": "Two"}]})", config, error));
    ASSERT_EQ(config.devices.size(), 2u);
    EXPECT_EQ(MacText(config.devices[1].mac), "02:4C:56:58:00:02");
    EXPECT_EQ(config.devices[1].productName, "Two");
    EXPECT_EQ(config.devices[1].pid, "2037");
}

TEST(NetSimConfig, MistakesAreReportedWithTheirKey) {
    QTemporaryDir dir;
    QFile half(dir.filePath("half.bin"));
    ASSERT_TRUE(half.open(QIODevice::WriteOnly));
    half.write(QByteArray(128, '\0'));
    half.close();
    const std::vector<std::pair<const char*, const char*>> cases{
        {R"({"device": []})", "\"device\""},
        {R"({"devices": [{"mac": "00:11:22:33:44"}]})", "\"mac\""},
        {R"({"devices": [{"inputs": 300}]})", "\"inputs\""},
        {R"({"devices": [{"colour": "red"}]})", "\"colour\""},
        {R"({"devices": [{"faults": {"slow": true}}]})", "\"slow\""},
        {R"({"devices": [{"inputs": 1, "edids": {"input2": "half.bin"}}]})", "input2"},
        {R"({"devices": [{"edids": {"input1": "half.bin"}}]})", "256 bytes"},
        {R"({"devices": [{}, {"description": "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"}]})",
         "device 2"},
    };
    for (const auto& [text, expected] : cases) {
        NetSimConfig config;
        QString error;
        EXPECT_FALSE(Load(text, config, error, dir.path())) << text;
        EXPECT_TRUE(error.contains(expected)) << text << " -> " << error.toStdString();
    }
}

TEST(SimNetDevice, DefaultEdidsAreValidAndTellTheirNode) {
    for (const std::uint16_t selector : {0x0000, 0x1001, 0x2003, 0x3007}) {
        const EdidImage image = DefaultSimEdid(selector);
        EXPECT_EQ(Bytes(image.begin(), image.begin() + 8),
                  (Bytes{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}));
        for (std::size_t block = 0; block < 2; ++block) {
            unsigned sum = 0;
            for (std::size_t i = 0; i < kEdidBlockSize; ++i) {
                sum += image[block * kEdidBlockSize + i];
            }
            EXPECT_EQ(sum % 256, 0u) << "block " << block << " of " << selector;
        }
        EXPECT_EQ(image[126], 1);
        EXPECT_EQ(image[128], 0x02);
        EXPECT_EQ(image[12] | image[13] << 8, selector);
    }
    const EdidImage out2 = DefaultSimEdid(0x1001);
    EXPECT_EQ(std::string(out2.begin() + 95, out2.begin() + 104), "SIM OUT 2");
}

TEST(SimNetDevice, AnswersOnlyWhatIsMeantForIt) {
    SimNetDevice device(DefaultSimNetDevice(0));
    const MacAddress mine = device.settings().mac;
    MacAddress other = mine;
    other[5] ^= 0xFF;

    Bytes request = BuildCommandDatagram(other, netcmd::kVendorId);
    EXPECT_TRUE(device.handle(request.data(), request.size()).replies.empty());
    request = BuildCommandDatagram(mine, netcmd::kInputEdidRead, {2}); // two inputs: 0 and 1
    EXPECT_TRUE(device.handle(request.data(), request.size()).replies.empty());
    request = BuildCommandDatagram(mine, netcmd::kInputEdidRead, {1});
    const auto answer = device.handle(request.data(), request.size());
    ASSERT_EQ(answer.replies.size(), 1u);
    EXPECT_EQ(answer.replies[0].size(), 7u + 256u);

    const Bytes elsewhere = BuildIpConfigDatagram({MacEntry(other), {kTagIpMode, {1}}});
    device.handle(elsewhere.data(), elsewhere.size());
    EXPECT_EQ(device.settings().ipMode, 0);

    request = BuildCommandDatagram(mine, netcmd::kProductString, ProductStringData("Renamed"));
    device.handle(request.data(), request.size());
    const Bytes reply = device.discoveryReply();
    EXPECT_EQ(ParseDiscoveryReply(reply.data(), reply.size(), nullptr, 0).record.description,
              "Renamed");
}
