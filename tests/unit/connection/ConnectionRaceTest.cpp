// Search, selection and Disconnect against devices on in-memory links and datagrams fed in
// at chosen moments: while a serial device is being read, while a selection opens.
#include "connection/ConnectionController.h"
#include "edid/EdidControllerTool.h"
#include "edid/EdidTransfer.h"
#include "edid/InputModeTool.h"
#include "links/NetworkLink.h"
#include "support/FakeSerialDevice.h"
#include "support/QtTestSupport.h"
#include "support/RecordingPrompt.h"
#include "unit/links/DatagramBytes.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

using namespace lvx;
using namespace lvx::test;

namespace {

// A discovery reply of the device with this last MAC byte, naming itself "N<last>".
Bytes DiscoveryReply(std::uint8_t last) {
    Bytes payload = MacEntryBytes(last);
    payload.insert(payload.end(), {13, 2, 'N', static_cast<std::uint8_t>('0' + last % 10)});
    return Framed(2, payload);
}

class ConnectionRace : public ::testing::Test {
protected:
    ConnectionRace() {
        EnsureApplication();
        controller = std::make_unique<ConnectionController>();
        controller->setPortOpener([this](const QString& port, DebugLog&) {
            if (closed.count(port.toStdString())) {
                return std::unique_ptr<ByteLink>();
            }
            auto link = std::make_unique<FakeByteLink>();
            auto device = std::make_unique<FakeSerialDevice>(*link);
            if (configure) {
                configure(port.toStdString(), *device);
            }
            devices[port.toStdString()] = std::move(device);
            links[port.toStdString()] = link.get();
            return std::unique_ptr<ByteLink>(std::move(link));
        });
        // Waits do not pass real time: each runs one receive tick (answers are taken) and
        // handles whatever events are due.
        controller->session().setDelay([this](int) {
            controller->session().receiveTick();
            QCoreApplication::processEvents();
        });
        auto net = std::make_unique<NetworkLink>(
            controller->devices(), controller->deviceEdidImage(), EndpointConfig::loopback());
        controller->attachNetwork(std::move(net));
    }

    void datagram(const Bytes& bytes, const char* from = "10.0.0.9") {
        controller->network()->handleDatagram(bytes.data(), bytes.size(),
                                              QHostAddress(QString::fromLatin1(from)));
    }

    FakeSerialDevice& device(const std::string& port) { return *devices.at(port); }

    std::unique_ptr<ConnectionController> controller;
    std::function<void(const std::string&, FakeSerialDevice&)> configure;
    std::map<std::string, std::unique_ptr<FakeSerialDevice>> devices;
    std::map<std::string, FakeByteLink*> links;
    std::set<std::string> closed;
};

TEST_F(ConnectionRace, ReplyDuringADescriptorWaitGetsItsOwnSlot) {
    controller->givenPorts = {"/dev/fake0"};
    configure = [this](const std::string&, FakeSerialDevice& d) {
        d.onRequest = [this](const std::string& name, const std::string&) {
            if (name == "SYS_DSCPT" || name == "ND_DSCPT") {
                datagram(DiscoveryReply(name == "SYS_DSCPT" ? 1 : 2));
            }
            return true;
        };
    };
    controller->search();

    const DeviceTable& table = controller->devices();
    ASSERT_EQ(table.count, 3);
    EXPECT_TRUE(table.records[0].isSerial());
    EXPECT_EQ(table.records[0].vid, "V1");
    EXPECT_EQ(table.records[0].inputCount, 2);
    EXPECT_FALSE(table.records[1].isSerial());
    EXPECT_FALSE(table.records[2].isSerial());
    EXPECT_EQ(controller->network()->networkTable()[1].macText, "00:11:22:33:44:01");
    EXPECT_EQ(controller->network()->networkTable()[2].macText, "00:11:22:33:44:02");

    const std::vector<DeviceRow>& rows = controller->rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].number, "1");
    EXPECT_EQ(rows[0].interface, "/dev/fake0");
    EXPECT_EQ(rows[0].product, "M1");
    EXPECT_EQ(rows[1].number, "2");
    EXPECT_EQ(rows[1].interface, "ETHERNET");
    EXPECT_EQ(rows[1].mac, "00:11:22:33:44:01");
    EXPECT_EQ(rows[2].number, "3");
    EXPECT_EQ(rows[2].mac, "00:11:22:33:44:02");
}

TEST_F(ConnectionRace, TheTableNeverHoldsMoreThanTwentyDevices) {
    controller->givenPorts = {"/dev/fake0", "/dev/fake1"};
    // 19 network devices before the serial device answers, two more while it is read: the
    // serial device takes the 20th slot and the 21st device is dropped.
    configure = [this](const std::string& port, FakeSerialDevice& d) {
        d.accepts = port == "/dev/fake1";
        d.onRequest = [this, port](const std::string& name, const std::string&) {
            if (name == "ENTRANCE" && port == "/dev/fake1") {
                for (std::uint8_t i = 1; i <= 19; ++i) {
                    datagram(DiscoveryReply(i));
                }
            }
            if (name == "SYS_DSCPT") {
                datagram(DiscoveryReply(40));
                datagram(DiscoveryReply(41));
            }
            return true;
        };
    };
    controller->search();
    const DeviceTable& table = controller->devices();
    EXPECT_EQ(table.count, 20);
    EXPECT_TRUE(table.records[19].isSerial());
    EXPECT_EQ(table.records[19].vid, "V1");
    EXPECT_EQ(controller->rows().size(), 20u);

    // A full table drops a serial device that answers after it filled up.
    controller->disconnectDevices();
    configure = [this](const std::string& port, FakeSerialDevice& d) {
        d.onRequest = [this, port](const std::string& name, const std::string&) {
            if (name == "ENTRANCE") {
                for (std::uint8_t i = 1; i <= 20; ++i) {
                    datagram(DiscoveryReply(i));
                }
            }
            return true;
        };
    };
    controller->givenPorts = {"/dev/fake2"};
    controller->search();
    EXPECT_EQ(table.count, 20);
    for (int i = 0; i < 20; ++i) {
        EXPECT_FALSE(table.records[static_cast<std::size_t>(i)].isSerial()) << i;
    }
    EXPECT_FALSE(links.at("/dev/fake2")->isOpen());
}

TEST_F(ConnectionRace, DuplicateTestLooksOnlyAtThisSearchsNetworkDevices) {
    // First Search: a network device at slot 0.
    controller->comPort = false;
    controller->search();
    datagram(DiscoveryReply(7));
    ASSERT_EQ(controller->devices().count, 1);
    controller->disconnectDevices();

    // Second Search: a serial device takes slot 0, whose network record still names the
    // device of the first Search; that device answers again and must be listed.
    controller->comPort = true;
    controller->givenPorts = {"/dev/fake0"};
    configure = [this](const std::string&, FakeSerialDevice& d) {
        d.onRequest = [this](const std::string& name, const std::string&) {
            if (name == "ND_DSCPT") {
                datagram(DiscoveryReply(7));
                datagram(DiscoveryReply(7)); // the same device by multicast: listed once
            }
            return true;
        };
    };
    controller->search();
    ASSERT_EQ(controller->devices().count, 2);
    EXPECT_TRUE(controller->devices().records[0].isSerial());
    EXPECT_EQ(controller->rows()[1].mac, "00:11:22:33:44:07");
}

TEST_F(ConnectionRace, DisconnectWhileASerialSelectionOpensStopsIt) {
    controller->givenPorts = {"/dev/fake0"};
    controller->search();
    ASSERT_EQ(controller->devices().count, 1);
    QSignalSpy selected(controller.get(), &ConnectionController::selectionChanged);
    const std::size_t before = device("/dev/fake0").requests.size();
    device("/dev/fake0").onRequest = [this](const std::string& name, const std::string&) {
        if (name == "ND_SEL") {
            controller->disconnectDevices();
        }
        return true;
    };
    controller->select(1);
    EXPECT_EQ(selected.count(), 0);
    EXPECT_FALSE(controller->busy());
    EXPECT_TRUE(controller->searchEnabled());
    // Nothing after the first ND_SEL reached the device.
    EXPECT_EQ(device("/dev/fake0").requests.size(), before + 1);
}

TEST_F(ConnectionRace, DisconnectWhileANetworkSelectionOpensStopsIt) {
    controller->comPort = false;
    controller->search();
    datagram(DiscoveryReply(3));
    ASSERT_EQ(controller->devices().count, 1);
    QSignalSpy selected(controller.get(), &ConnectionController::selectionChanged);
    QObject::connect(controller->network(), &NetworkLink::deviceOpening, controller.get(), [this] {
        QTimer::singleShot(0, controller.get(), [this] { controller->disconnectDevices(); });
    });
    controller->select(1);
    EXPECT_EQ(selected.count(), 0);
    EXPECT_EQ(controller->network()->openedIndex(), -1);
    // A late reply of the device changes nothing now.
    datagram(CommandReplyBytes(12, 0, {'L', 'A', 'T', 'E'}));
    EXPECT_EQ(controller->devices().records[0].vid, "");
}

TEST_F(ConnectionRace, DisconnectAfterAnIspHitEndsTheSearchAndLeavesNoLink) {
    controller->givenPorts = {"/dev/isp", "/dev/fake1"};
    configure = [this](const std::string& port, FakeSerialDevice& d) {
        if (port == "/dev/isp") {
            d.ispMarker = "$ISP091QX-LOADER";
        } else {
            d.onRequest = [this](const std::string& name, const std::string&) {
                if (name == "ENTRANCE") {
                    // The ISP row enabled Disconnect; the user presses it mid-Search.
                    controller->disconnectDevices();
                }
                return true;
            };
        }
    };
    controller->search();
    EXPECT_EQ(controller->devices().count, 0);
    EXPECT_TRUE(controller->rows().empty());
    EXPECT_FALSE(links.at("/dev/isp")->isOpen());
    EXPECT_FALSE(links.at("/dev/fake1")->isOpen());

    // The next Search lists the device of the second port as row 1, and selecting row 1
    // talks to that port, not to the loader's closed link.
    configure = nullptr;
    controller->givenPorts = {"/dev/fake1"};
    controller->search();
    ASSERT_EQ(controller->devices().count, 1);
    const int before = device("/dev/fake1").count("ND_DSCPT");
    controller->select(1);
    EXPECT_EQ(device("/dev/fake1").count("ND_DSCPT"), before + 2);
}

TEST_F(ConnectionRace, DisconnectWithAnAnswerAwaitedLetsTheTickSleep) {
    controller->givenPorts = {"/dev/fake0"};
    controller->search();
    controller->select(1);
    FakeSerialDevice& d = device("/dev/fake0");
    d.onRequest = [](const std::string& name, const std::string&) { return name != "RXEDMD"; };
    controller->session().SendCommand(ModeGet, CmdRxEdMd); // never answered
    EXPECT_TRUE(controller->session().ticking());
    controller->disconnectDevices();
    EXPECT_FALSE(controller->session().ticking());
}

TEST_F(ConnectionRace, ModePressFollowsTheInputShown) {
    InputModeTool modes(*controller);
    controller->givenPorts = {"/dev/fake0"};
    controller->search();
    ASSERT_EQ(controller->devices().current().inputCount, 2);
    controller->select(1);
    modes.chooseInput(1); // "Input 2"
    controller->disconnectDevices();

    // A one-input device: the list shows "Input 1", and a press selects input node 0.
    configure = [](const std::string&, FakeSerialDevice& d) { d.descriptor[7] = "1"; };
    controller->search();
    controller->select(1);
    FakeSerialDevice& d = device("/dev/fake0");
    d.requests.clear();
    modes.press({ModeColumn::Internal, 1});
    ASSERT_EQ(d.count("ND_SEL"), 1);
    EXPECT_NE(d.requests[0].find("ND_SEL 0000"), std::string::npos) << d.requests[0];
}

TEST_F(ConnectionRace, CopyToCreatorTakesTheLastEdidRead) {
    EdidTransfer transfer(*controller);
    EdidControllerTool tool(*controller, transfer);
    configure = [](const std::string&, FakeSerialDevice& d) {
        std::array<std::uint8_t, 256> user2{};
        user2.fill(0x22);
        d.edids[0x2001] = user2;
    };
    controller->givenPorts = {"/dev/fake0"};
    controller->search();
    controller->select(1);

    ASSERT_TRUE(tool.analysisRead({NodeKind::Input, 0}));
    EXPECT_EQ(tool.deviceRecord().image[5], 0x10); // input 1

    QTemporaryDir dir;
    RecordingPrompt prompt;
    prompt.saveAnswers.push_back(dir.filePath("user2.bin").toStdString());
    ASSERT_EQ(tool.save({NodeKind::User, 1}, prompt), EdidControllerTool::Outcome::Done);
    // The one device EDID record now holds what was saved, for the analyzer and the creator.
    EXPECT_EQ(tool.deviceRecord().image[5], 0x22);
    EXPECT_EQ(tool.deviceRecord().image, controller->deviceEdidImage());
    QFile saved(dir.filePath("user2.bin"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray(256, '\x22'));
}

} // namespace

namespace {

// In a network namespace with only loopback up there is no route to the group: the program
// still starts, and the memo says why no device will answer.
TEST(ConnectionNetwork, FailedGroupJoinIsWrittenToTheMemo) {
    if (qEnvironmentVariable("LINKVEX_IN_NETNS") != QLatin1String("1")) {
        GTEST_SKIP() << "needs a network namespace of its own";
    }
    EnsureApplication();
    ConnectionController controller;
    QString error;
    ASSERT_TRUE(controller.openNetwork(EndpointConfig{}, &error)) << error.toStdString();
    EXPECT_NE(controller.log().text().find("Cannot join the multicast group 225.12.13.14"),
              std::string::npos)
        << controller.log().text();
}

} // namespace
