// The network link against simulated devices, all on loopback.

#include "DatagramBytes.h"
#include "support/QtTestSupport.h"

#include "devsim/net/NetDeviceSim.h"
#include "links/Discovery.h"
#include "links/NetworkLink.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QUdpSocket>

#include <gtest/gtest.h>

using namespace lvx;
using namespace lvx::test;

namespace {

// Listens where devices listen and keeps everything the program sends.
class WireCapture {
public:
    WireCapture() {
        QNetworkInterface loopback;
        for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
            if (i.flags().testFlag(QNetworkInterface::IsLoopBack)) {
                loopback = i;
            }
        }
        ok_ = socket_.bind(QHostAddress::AnyIPv4, 31001,
                           QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint) &&
              socket_.joinMulticastGroup(QHostAddress("225.12.13.14"), loopback);
        QObject::connect(&socket_, &QUdpSocket::readyRead, [this] {
            while (socket_.hasPendingDatagrams()) {
                const QNetworkDatagram d = socket_.receiveDatagram();
                const QByteArray data = d.data();
                seen.push_back({Bytes(data.begin(), data.end()), d.destinationAddress()});
            }
        });
    }
    bool ok() const { return ok_; }

    struct Seen {
        Bytes bytes;
        QHostAddress to;
    };
    std::vector<Seen> seen;

private:
    QUdpSocket socket_;
    bool ok_ = false;
};

class NetworkLinkLoopback : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }

    void SetUp() override {
        link = std::make_unique<NetworkLink>(devices, edid, EndpointConfig::loopback());
        ASSERT_TRUE(link->open()) << link->errorString().toStdString();
    }

    void startDevices(std::vector<SimNetDeviceSettings> settings) {
        NetSimConfig config;
        config.devices = std::move(settings);
        sim = std::make_unique<NetDeviceSim>(config);
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
    }

    // A Search: count back to 0, the probe, and time for late and repeated replies.
    void search(int expected) {
        devices.count = 0;
        devices.selected = 0;
        link->sendProbe();
        EXPECT_TRUE(WaitUntil([&] { return devices.count >= expected; }));
        PumpDelay(150);
    }

    // Opens a device and waits for the answers to its opening queries.
    void select(int index) {
        devices.selected = index;
        link->openDevice();
        EXPECT_TRUE(WaitUntil([&] { return devices.current().userEdidCount != 0; }));
    }

    DeviceTable devices;
    EdidImage edid{};
    std::unique_ptr<NetworkLink> link;
    std::unique_ptr<NetDeviceSim> sim;
};

SimNetDeviceSettings Device(int index, bool answerTwice = false) {
    SimNetDeviceSettings s = DefaultSimNetDevice(index);
    s.faults.answerTwice = answerTwice;
    return s;
}

} // namespace

TEST_F(NetworkLinkLoopback, EachDeviceIsListedOnceThoughItAnswersRepeatedly) {
    startDevices({Device(0, true), Device(1)});
    QSignalSpy added(link.get(), &NetworkLink::deviceAdded);
    search(2);
    ASSERT_EQ(devices.count, 2);
    EXPECT_EQ(sim->probesByBroadcast(), 1);
    EXPECT_EQ(sim->probesByMulticast(), 1);
    EXPECT_FALSE(link->endpoints().broadcastPermitted());

    ASSERT_EQ(added.count(), 2);
    QStringList macs;
    for (const QList<QVariant>& signal : added) {
        const QStringList row = signal[1].toStringList();
        ASSERT_EQ(row.size(), 6);
        EXPECT_EQ(row[0], QString::number(signal[0].toInt() + 1));
        EXPECT_EQ(row[1], "ETHERNET");
        EXPECT_EQ(row[2], "LVX-NET");
        EXPECT_EQ(row[3], "Network EDID Manager");
        macs << row[5];
    }
    macs.sort();
    EXPECT_EQ(macs, (QStringList{"02:4C:56:58:00:01", "02:4C:56:58:00:02"}));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(devices.records[i].linkKind, LinkKind::Network);
    }
}

TEST_F(NetworkLinkLoopback, ProbeAndOpeningQueriesOnTheWire) {
    WireCapture wire;
    ASSERT_TRUE(wire.ok());
    startDevices({Device(0)});
    search(1);
    ASSERT_EQ(wire.seen.size(), 2u);
    EXPECT_EQ(wire.seen[0].bytes, DiscoveryProbe());
    EXPECT_EQ(wire.seen[0].to, QHostAddress("127.255.255.255"));
    EXPECT_EQ(wire.seen[1].bytes, DiscoveryProbe());
    EXPECT_EQ(wire.seen[1].to, QHostAddress("225.12.13.14"));

    wire.seen.clear();
    select(0);
    WaitUntil([&] { return wire.seen.size() >= 7; });
    PumpDelay(50);
    const MacAddress mac = link->networkRecord(0).mac;
    const std::vector<NetCommandId> order{{12, 0}, {12, 1}, {12, 3}, {1, 2},
                                          {2, 0},  {3, 0},  {9, 0}};
    ASSERT_EQ(wire.seen.size(), order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(wire.seen[i].bytes, BuildCommandDatagram(mac, order[i])) << "query " << i;
        EXPECT_EQ(wire.seen[i].to, QHostAddress("225.12.13.14"));
    }
}

TEST_F(NetworkLinkLoopback, OpeningFillsTheSelectedDeviceOnly) {
    startDevices({Device(0), Device(1)});
    search(2);
    const int second = link->networkRecord(0).macText == "02:4C:56:58:00:02" ? 0 : 1;
    QSignalSpy opening(link.get(), &NetworkLink::deviceOpening);
    select(second);
    ASSERT_EQ(opening.count(), 1);
    EXPECT_EQ(opening[0][0].toInt(), second);

    const DeviceRecord& d = devices.records[second];
    EXPECT_EQ(d.vid, "1A2B");
    EXPECT_EQ(d.pid, "2037");
    EXPECT_EQ(d.version, "v1.00");
    EXPECT_EQ(d.serialNumber, " SIM00000002");
    EXPECT_EQ(d.productString, "Network EDID Manager");
    EXPECT_EQ(d.inputCount, 2);
    EXPECT_EQ(d.outputCount, 2);
    EXPECT_EQ(d.userEdidCount, 4);
    EXPECT_EQ(devices.records[1 - second].vid, "");
}

TEST_F(NetworkLinkLoopback, EdidReadOfANodeAndAWriteReadBack) {
    SimNetDeviceSettings device = Device(0);
    EdidImage custom{};
    custom.fill(0x3C);
    device.edids[SimNodeSelector(1, 1)] = custom;
    startDevices({device});
    search(1);
    select(0);

    QSignalSpy applied(link.get(), &NetworkLink::commandReplyApplied);
    link->sendCommand(netcmd::kOutputEdidRead, {1});
    ASSERT_TRUE(WaitUntil([&] { return applied.count() > 0; }));
    EXPECT_EQ(applied[0][0].toInt(), 3);
    EXPECT_EQ(applied[0][1].toInt(), 4);
    EXPECT_EQ(edid, custom);

    link->sendCommand(netcmd::kInternalEdidRead, {7});
    EXPECT_TRUE(WaitUntil([&] { return edid == DefaultSimEdid(SimNodeSelector(3, 7)); }));

    EdidImage written{};
    for (std::size_t i = 0; i < written.size(); ++i) {
        written[i] = static_cast<std::uint8_t>(255 - i);
    }
    link->sendCommand(netcmd::kUserEdidWrite, EdidUploadData(0x2003, written));
    EXPECT_TRUE(WaitUntil([&] { return sim->device(0).edid(SimNodeSelector(2, 3)) == written; }));
    edid.fill(0);
    link->sendCommand(netcmd::kUserEdidRead, {3});
    EXPECT_TRUE(WaitUntil([&] { return edid == written; }));
}

TEST_F(NetworkLinkLoopback, IpConfigurationChangesOnlyTheAddressedDevice) {
    startDevices({Device(0), Device(1)});
    search(2);
    const MacAddress first = sim->device(0).settings().mac;
    link->sendIpConfiguration({MacEntry(first),
                               {kTagIpAddress, {10, 0, 0, 5}},
                               {kTagIpMode, {1}},
                               PortEntry(kTagWebPort, 8080)});
    EXPECT_TRUE(WaitUntil([&] { return sim->device(0).settings().webPort == 8080; }));
    EXPECT_EQ(sim->device(0).settings().ipAddress, (Ipv4Bytes{10, 0, 0, 5}));
    EXPECT_EQ(sim->device(0).settings().ipMode, 1);
    EXPECT_EQ(sim->device(0).settings().webPort, 8080);
    EXPECT_EQ(sim->device(1).settings().ipAddress, DefaultSimNetDevice(1).ipAddress);

    // The next Search shows the new settings.
    search(2);
    const NetworkRecord& r = link->networkRecord(link->networkRecord(0).mac == first ? 0 : 1);
    EXPECT_EQ(r.ipAddress, "10.0.0.5");
    EXPECT_EQ(r.ipMode, 1);
    EXPECT_EQ(r.webPort, 8080);
}

TEST_F(NetworkLinkLoopback, FaultyDiscoveryRepliesAreNotListed) {
    std::vector<SimNetDeviceSettings> settings{Device(0), Device(1), Device(2)};
    settings[0].faults.badCrc = true;
    settings[1].faults.truncated = true;
    settings[2].faults.unknownTag = true;
    settings[2].productName = "Odd one";
    startDevices(settings);
    search(1);
    ASSERT_EQ(devices.count, 1);
    const NetworkRecord& r = link->networkRecord(0);
    EXPECT_EQ(r.macText, "02:4C:56:58:00:03");
    EXPECT_EQ(r.productName, "Odd one");
    EXPECT_EQ(r.ipAddress, "192.168.1.103");
    EXPECT_EQ(r.productId, "2037");
    EXPECT_EQ(r.telnetPort, 23);
}

TEST_F(NetworkLinkLoopback, SecondCopyCannotOpenTheReplyPort) {
    DeviceTable otherDevices;
    EdidImage otherEdid{};
    NetworkLink second(otherDevices, otherEdid, EndpointConfig::loopback());
    EXPECT_FALSE(second.open());
    EXPECT_TRUE(second.errorString().contains("31002")) << second.errorString().toStdString();
    EXPECT_FALSE(second.sendCommand(netcmd::kVendorId));
}

TEST(NetworkLinkHandler, CommandRepliesCountOnlyFromTheOpenDevice) {
    EnsureApplication();
    DeviceTable devices;
    EdidImage edid{};
    NetworkLink link(devices, edid, EndpointConfig::loopback());
    QSignalSpy applied(&link, &NetworkLink::commandReplyApplied);
    QSignalSpy added(&link, &NetworkLink::deviceAdded);
    const QHostAddress first(QStringLiteral("192.168.1.10"));
    const QHostAddress second(QStringLiteral("192.168.1.11"));
    const QHostAddress stranger(QStringLiteral("192.168.1.66"));

    const Bytes reply{0x02, 0x0E, 0x02, 0x06, 0x00, 0x11, 0x22, 0x33, 0x44,
                      0x55, 0x03, 0x04, 0xC0, 0xA8, 0x01, 0x0A, 0x4A, 0x2C};
    link.handleDatagram(reply.data(), reply.size(), first);
    const Bytes other = Framed(2, MacEntryBytes(0x66));
    link.handleDatagram(other.data(), other.size(), second);
    ASSERT_EQ(devices.count, 2);
    ASSERT_EQ(added.count(), 2);
    EXPECT_EQ(added[0][1].toStringList(),
              (QStringList{"1", "ETHERNET", "", "", "192.168.1.10", "00:11:22:33:44:55"}));

    const Bytes vid = CommandReplyBytes(12, 0, {'A', 'B', 'C', 'D'});
    // Nothing is open yet: a reply changes nothing.
    devices.selected = 1;
    link.handleDatagram(vid.data(), vid.size(), second);
    EXPECT_EQ(devices.records[1].vid, "");

    link.openDevice();
    EXPECT_EQ(link.openedIndex(), 1);
    // Another host on the LAN, or the other device, cannot write into the open device.
    link.handleDatagram(vid.data(), vid.size(), stranger);
    link.handleDatagram(vid.data(), vid.size(), first);
    EXPECT_EQ(devices.records[1].vid, "");
    EXPECT_EQ(applied.count(), 0);

    link.handleDatagram(vid.data(), vid.size(), second);
    EXPECT_EQ(devices.records[1].vid, "ABCD");
    EXPECT_EQ(devices.records[0].vid, "");
    ASSERT_EQ(applied.count(), 1);
    EXPECT_EQ(applied[0][0].toInt(), 12);

    // An IPv4 sender seen through an IPv6 socket is the same sender.
    const Bytes pid = CommandReplyBytes(12, 1, {'2', '0', '3', '7'});
    link.handleDatagram(pid.data(), pid.size(),
                        QHostAddress(QStringLiteral("::ffff:192.168.1.11")));
    EXPECT_EQ(devices.records[1].pid, "2037");

    const Bytes unknown = CommandReplyBytes(40, 1, {1});
    link.handleDatagram(unknown.data(), unknown.size(), second);
    link.handleDatagram(nullptr, 0, second);
    EXPECT_EQ(applied.count(), 2);

    // Closed (Disconnect, a new Search, a serial device selected): ignored again.
    link.closeDevice();
    const Bytes serial = CommandReplyBytes(12, 3, {'S', 'N'});
    link.handleDatagram(serial.data(), serial.size(), second);
    EXPECT_EQ(devices.records[1].serialNumber, "");
}

TEST(NetworkLinkHandler, ShortEdidReplyLeavesTheImageAlone) {
    EnsureApplication();
    DeviceTable devices;
    EdidImage edid{};
    edid.fill(0x5A);
    NetworkLink link(devices, edid, EndpointConfig::loopback());
    const QHostAddress device(QStringLiteral("10.0.0.7"));
    const Bytes reply = Framed(2, MacEntryBytes(0x01));
    link.handleDatagram(reply.data(), reply.size(), device);
    link.openDevice();

    Bytes half(128, 0x11);
    const Bytes shortReply = CommandReplyBytes(2, 7, half);
    link.handleDatagram(shortReply.data(), shortReply.size(), device);
    EXPECT_EQ(std::count(edid.begin(), edid.end(), 0x5A), 256);

    Bytes whole(256);
    for (std::size_t i = 0; i < whole.size(); ++i) {
        whole[i] = static_cast<std::uint8_t>(i);
    }
    const Bytes full = CommandReplyBytes(2, 7, whole);
    link.handleDatagram(full.data(), full.size(), device);
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), edid.begin()));
}

TEST(NetworkLinkHandler, RepliesLeftOutOfAFullTableAreRemembered) {
    EnsureApplication();
    DeviceTable devices;
    EdidImage edid{};
    NetworkLink link(devices, edid, EndpointConfig::loopback());
    const QHostAddress sender(QStringLiteral("10.0.0.7"));
    for (std::uint8_t last = 1; last <= kDeviceTableSize; ++last) {
        const Bytes reply = Framed(2, MacEntryBytes(last));
        link.handleDatagram(reply.data(), reply.size(), sender);
    }
    ASSERT_TRUE(devices.full());
    EXPECT_TRUE(link.refusedForFullTable().empty());

    // A twenty-first device, twice, and a reply that is no reply at all.
    const Bytes late = Framed(2, MacEntryBytes(0x77));
    link.handleDatagram(late.data(), late.size(), sender);
    link.handleDatagram(late.data(), late.size(), sender);
    Bytes broken = late;
    broken.back() ^= 0xFF;
    link.handleDatagram(broken.data(), broken.size(), sender);
    EXPECT_EQ(devices.count, kDeviceTableSize);
    EXPECT_EQ(link.refusedForFullTable(), std::vector<std::string>{"00:11:22:33:44:77"});

    // A new Search starts afresh.
    link.sendProbe();
    EXPECT_TRUE(link.refusedForFullTable().empty());
}

// On a real network a device is never this PC: a discovery reply or a command reply from a
// loopback address or from one of this PC's own addresses is dropped, so that another local
// user cannot pose as a device (and pin the address a device's replies are trusted from).
// Replies from elsewhere count as before. It binds the real reply port and adds an address,
// which only its own network namespace allows.
TEST(NetworkLinkRealNetwork, DatagramsFromThisPcAreNeverADevice) {
    if (qEnvironmentVariable("LINKVEX_IN_NETNS") != QLatin1String("1")) {
        GTEST_SKIP() << "needs a network namespace of its own";
    }
    EnsureApplication();
    // An address of this PC besides loopback.
    QProcess ip;
    ip.start("ip", {"address", "add", "10.213.0.1/32", "dev", "lo"});
    ASSERT_TRUE(ip.waitForFinished(5000));
    ASSERT_EQ(ip.exitCode(), 0) << ip.readAllStandardError().toStdString();

    DeviceTable devices;
    EdidImage edid{};
    NetworkLink link(devices, edid, EndpointConfig{});
    ASSERT_TRUE(link.open()) << link.errorString().toStdString();
    QSignalSpy added(&link, &NetworkLink::deviceAdded);
    const Bytes reply = Framed(2, MacEntryBytes(0x01));

    // A program of another user sends a discovery reply over loopback.
    QUdpSocket local;
    ASSERT_TRUE(local.bind(QHostAddress::LocalHost, 0));
    ASSERT_EQ(local.writeDatagram(reinterpret_cast<const char*>(reply.data()),
                                  static_cast<qint64>(reply.size()), QHostAddress::LocalHost,
                                  31002),
              static_cast<qint64>(reply.size()));
    PumpDelay(300);
    EXPECT_EQ(devices.count, 0);

    for (const char* sender : {"127.0.0.1", "127.8.9.10", "::1", "::ffff:127.0.0.1", "10.213.0.1",
                               "::ffff:10.213.0.1", "0.0.0.0"}) {
        link.handleDatagram(reply.data(), reply.size(), QHostAddress(QString(sender)));
        EXPECT_EQ(devices.count, 0) << sender;
    }
    link.handleDatagram(reply.data(), reply.size(), QHostAddress());
    EXPECT_EQ(devices.count, 0);
    EXPECT_EQ(added.count(), 0);

    // A device elsewhere on the network is listed, and only its replies count.
    const QHostAddress device(QStringLiteral("10.213.0.7"));
    link.handleDatagram(reply.data(), reply.size(), device);
    ASSERT_EQ(devices.count, 1);
    link.openDevice();
    const Bytes vid = CommandReplyBytes(12, 0, {'A', 'B', 'C', 'D'});
    link.handleDatagram(vid.data(), vid.size(), QHostAddress(QStringLiteral("10.213.0.1")));
    EXPECT_EQ(devices.records[0].vid, "");
    link.handleDatagram(vid.data(), vid.size(), device);
    EXPECT_EQ(devices.records[0].vid, "ABCD");

    // Loopback mode is for simulated devices on this PC: there they count.
    DeviceTable loopDevices;
    EdidImage loopEdid{};
    NetworkLink loop(loopDevices, loopEdid, EndpointConfig::loopback());
    loop.handleDatagram(reply.data(), reply.size(), QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(loopDevices.count, 1);
}
