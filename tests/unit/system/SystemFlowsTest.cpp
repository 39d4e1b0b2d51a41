// Open and Update Firmware, Write Configuration and Factory Default on a connection whose
// devices answer on in-memory links; waits step a clock instead of passing time.
#include "connection/ConnectionController.h"
#include "support/FakeLoaderDevice.h"
#include "support/FakeSerialDevice.h"
#include "support/QtTestSupport.h"
#include "support/RecordingPrompt.h"
#include "system/FirmwareTool.h"
#include "system/SystemConfigTool.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

// The firmware label is red for a warning or a failure.
bool Red(const FirmwareTool& tool) {
    return tool.statusSeverity() == Severity::Warning || tool.statusSeverity() == Severity::Failure;
}

using Bytes = std::vector<std::uint8_t>;

// A firmware file: counting bytes with the header at 512.
Bytes FirmwareFile(std::size_t size) {
    Bytes file(size);
    for (std::size_t i = 0; i < size; ++i) {
        file[i] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    const std::string header =
        std::string("FW VER:x") + std::string("2.01\0\0\0\0", 8) + "1A2B" + "2037";
    for (std::size_t i = 0; i < header.size() && 512 + i < size; ++i) {
        file[512 + i] = static_cast<std::uint8_t>(header[i]);
    }
    return file;
}

class SystemFlows : public ::testing::Test {
protected:
    SystemFlows() {
        EnsureApplication();
        controller.setPortOpener([this](const QString& port, DebugLog&) {
            auto link = std::make_unique<FakeByteLink>();
            links[port.toStdString()] = link.get();
            if (port.startsWith(QStringLiteral("loader"))) {
                loaders[port.toStdString()] = std::make_unique<FakeLoaderDevice>(
                    *link, port.endsWith(QLatin1Char('1')) ? "$ISP029QX-AD200" : "$ISP091QX-AD200");
            } else {
                auto device = std::make_unique<FakeSerialDevice>(*link);
                device->descriptor[3] = "Old Name";
                serial[port.toStdString()] = std::move(device);
            }
            return std::unique_ptr<ByteLink>(std::move(link));
        });
        controller.session().setDelay([this](int ms) {
            now += ms;
            // A receive tick, unless the firmware loader has the port.
            if (controller.session().receiving()) {
                controller.session().receiveTick();
            }
            if (onWait) {
                onWait();
            }
        });
        firmware.setTransferClock([this] { return now; });
        firmware.setTransferPump([] {});
    }

    // Searches the given ports and selects row 1.
    void searchAndSelect(const QStringList& ports) {
        controller.ethernet = false;
        controller.givenPorts = ports;
        controller.search();
        ASSERT_GE(controller.devices().count, 1);
        controller.select(1);
    }

    QString writeFile(const QString& name, const Bytes& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return path;
    }

    int firmwareFrames(const std::string& port) const {
        const FakeLoaderDevice& loader = *loaders.at(port);
        return loader.count("FW_ADDR") + loader.count("FW_DATA") + loader.count("FW_CHK") +
               loader.count("FW_END");
    }

    QTemporaryDir dir;
    ConnectionController controller;
    FirmwareTool firmware{controller};
    SystemConfigTool config{controller};
    RecordingPrompt prompt;
    std::map<std::string, FakeByteLink*> links;
    std::map<std::string, std::unique_ptr<FakeLoaderDevice>> loaders;
    std::map<std::string, std::unique_ptr<FakeSerialDevice>> serial;
    std::int64_t now = 0;
    std::function<void()> onWait;
};

} // namespace

TEST_F(SystemFlows, OpenShowsTheTargetAndUpdateFlashesTheFile) {
    searchAndSelect({"loader2"});
    QString version;
    QObject::connect(&firmware, &FirmwareTool::versionLabelChanged,
                     [&version](const QString& text) { version = text; });
    const Bytes file = FirmwareFile(2100);
    prompt.openAnswers = {writeFile("fw.bin", file).toStdString()};
    EXPECT_EQ(firmware.openFirmware(prompt), FirmwareTool::Outcome::Done);
    EXPECT_EQ(prompt.filters.front(), "EDID (*.bin)|*.bin");
    EXPECT_EQ(prompt.kinds, std::vector<FileKind>{FileKind::Firmware});
    EXPECT_EQ(version, "Target :   VID-1A2B     PID-2037     Version-2.01");
    EXPECT_EQ(controller.devices().current().fwFileReady, 1);
    EXPECT_EQ(controller.log().text(), "Fw Open OK.\r\n");

    std::vector<int> percents;
    QObject::connect(&firmware, &FirmwareTool::percentChanged,
                     [&percents](int p) { percents.push_back(p); });
    prompt.confirmAnswers = {true};
    EXPECT_EQ(firmware.update(prompt), FirmwareTool::Outcome::Done);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text.rfind("Warning!\r\nUpdate system firmware.\r\n", 0), 0u);
    EXPECT_EQ(prompt.irreversible.size(), 1u);
    EXPECT_EQ(firmware.statusText(), "100%");
    EXPECT_EQ(firmware.statusDetail(), "Firmware 2.01 written; the device restarts: Search again.");
    EXPECT_FALSE(Red(firmware));
    EXPECT_EQ(percents.back(), 100);
    Bytes flashed = file;
    flashed.resize(2176, 0xFF);
    EXPECT_EQ(loaders.at("loader2")->flash, flashed);
    EXPECT_TRUE(loaders.at("loader2")->ended);
    EXPECT_FALSE(controller.busy());
}

TEST_F(SystemFlows, UpdateRefusesBeforeAnythingIsSent) {
    searchAndSelect({"loader2"});
    // No file at all.
    EXPECT_EQ(firmware.update(prompt), FirmwareTool::Outcome::Refused);
    EXPECT_EQ(firmware.statusText(), "Illegal FW.");
    EXPECT_TRUE(Red(firmware));

    // Too short for a header: "Target :" and refused.
    QString version;
    QObject::connect(&firmware, &FirmwareTool::versionLabelChanged,
                     [&version](const QString& text) { version = text; });
    prompt.openAnswers = {writeFile("short.bin", Bytes(518, 0)).toStdString()};
    firmware.openFirmware(prompt);
    EXPECT_EQ(version, "Target :");
    EXPECT_EQ(controller.devices().current().fwFileReady, 0);
    EXPECT_EQ(firmware.update(prompt), FirmwareTool::Outcome::Refused);
    EXPECT_EQ(firmware.statusText(), "Illegal FW.");

    // A good file, then one that cannot be read: the good one is not sent in its place.
    prompt.openAnswers = {writeFile("good.bin", FirmwareFile(4096)).toStdString()};
    EXPECT_EQ(firmware.openFirmware(prompt), FirmwareTool::Outcome::Done);
    prompt.openAnswers = {dir.filePath("missing.bin").toStdString()};
    EXPECT_EQ(firmware.openFirmware(prompt), FirmwareTool::Outcome::Failed);
    EXPECT_EQ(controller.log().text(), "Fw Open Fail.\r\n");
    EXPECT_EQ(firmware.statusText(), "Update Fw Failed.");
    EXPECT_TRUE(Red(firmware));
    EXPECT_EQ(firmware.path(), dir.filePath("missing.bin"));
    prompt.confirmAnswers = {true};
    EXPECT_EQ(firmware.update(prompt), FirmwareTool::Outcome::Refused);
    EXPECT_EQ(firmware.statusText(), "Illegal FW.");

    // A cancelled dialog keeps the file chosen before; a cancelled warning sends nothing.
    prompt.openAnswers = {writeFile("good.bin", FirmwareFile(4096)).toStdString()};
    firmware.openFirmware(prompt);
    prompt.openAnswers = {""};
    EXPECT_EQ(firmware.openFirmware(prompt), FirmwareTool::Outcome::Done);
    EXPECT_EQ(firmware.image().size(), 4096u);
    prompt.confirmAnswers = {false};
    EXPECT_EQ(firmware.update(prompt), FirmwareTool::Outcome::Cancelled);
    EXPECT_EQ(firmwareFrames("loader2"), 0);
}

TEST_F(SystemFlows, LoaderOneRefusesAnImagePastSixtyFourKiB) {
    searchAndSelect({"loader1"});
    prompt.openAnswers = {writeFile("big.bin", FirmwareFile(65537)).toStdString()};
    ASSERT_EQ(firmware.openFirmware(prompt), FirmwareTool::Outcome::Done);
    prompt.confirmAnswers = {true};
    EXPECT_EQ(firmware.update(prompt), FirmwareTool::Outcome::Refused);
    EXPECT_EQ(firmware.statusText(), "Fw Too Large.");
    EXPECT_TRUE(Red(firmware));
    EXPECT_TRUE(prompt.messages.empty()); // not even asked
    EXPECT_EQ(firmwareFrames("loader1"), 0);
    EXPECT_NE(controller.log().text().find("65537"), std::string::npos);

    // 65536 bytes fit: the last block goes to 0xFFC0.
    prompt.openAnswers = {writeFile("full.bin", FirmwareFile(65536)).toStdString()};
    firmware.openFirmware(prompt);
    EXPECT_EQ(firmware.update(prompt), FirmwareTool::Outcome::Done);
    const FakeLoaderDevice& loader = *loaders.at("loader1");
    EXPECT_EQ(loader.sequence()[loader.sequence().size() - 3], "FW_ADDR ffc0");
    EXPECT_EQ(loader.flash, FirmwareFile(65536));
}

TEST_F(SystemFlows, NormalDeviceIsNotFlashed) {
    searchAndSelect({"normal"});
    prompt.openAnswers = {writeFile("fw.bin", FirmwareFile(4096)).toStdString()};
    firmware.openFirmware(prompt);
    prompt.confirmAnswers = {true};
    EXPECT_EQ(firmware.update(prompt), FirmwareTool::Outcome::Refused);
    EXPECT_EQ(firmware.statusText(), "Not ISP Mode.");
    EXPECT_EQ(serial.at("normal")->count("FW_ADDR"), 0);
}

TEST_F(SystemFlows, WriteConfigurationOverTheComPort) {
    searchAndSelect({"normal"});
    FakeSerialDevice& device = *serial.at("normal");
    std::vector<QString> labels;
    QObject::connect(&config, &SystemConfigTool::status,
                     [&labels](const QString& text, Severity) { labels.push_back(text); });

    EXPECT_EQ(config.writeConfiguration("Old Name"), SystemConfigTool::Outcome::Unchanged);
    EXPECT_EQ(config.statusText(), "No Changed.");
    EXPECT_EQ(device.count("SYS_STR"), 0);

    EXPECT_EQ(config.writeConfiguration(""), SystemConfigTool::Outcome::Done);
    EXPECT_EQ(device.requests.back(), "$SET SYS_STR 20" + Hex4(Crc16(kCrcInit, "20")) + "\r\n");

    const std::string seventy(70, 'N');
    const std::int64_t before = now;
    EXPECT_EQ(config.writeConfiguration(seventy), SystemConfigTool::Outcome::Done);
    std::string hex;
    for (int i = 0; i < 63; ++i) {
        hex += "4E";
    }
    EXPECT_EQ(device.requests.back(), "$SET SYS_STR " + hex + Hex4(Crc16(kCrcInit, hex)) + "\r\n");
    EXPECT_GE(now - before, 1000);
    EXPECT_EQ(controller.devices().current().productString, std::string(63, 'N'));
    EXPECT_EQ(controller.rows()[0].description, " " + std::string(63, 'N') + " ");
    EXPECT_EQ(controller.selectedRow(), 0);
    EXPECT_FALSE(controller.session().hasFlag(FlagTransfer));
    EXPECT_EQ(labels.back(), QString());
    EXPECT_NE(std::find(labels.begin(), labels.end(), QStringLiteral("Ok.")), labels.end());
}

TEST_F(SystemFlows, FactoryDefaultShowsTheDescriptionOnceItCame) {
    searchAndSelect({"normal"});
    FakeSerialDevice& device = *serial.at("normal");
    prompt.confirmAnswers = {false};
    EXPECT_EQ(config.factoryDefault(prompt), SystemConfigTool::Outcome::Cancelled);
    EXPECT_EQ(prompt.messages.back().text.rfind("Warning!\r\nReset system to default.\r\n", 0), 0u);
    EXPECT_NE(prompt.messages.back().text.find("settings are lost"), std::string::npos);
    EXPECT_EQ(device.count("SYS_DEF"), 0);

    // The device resets its name, and its description answer takes a while.
    int held = 0;
    device.onRequest = [&](const std::string& name, const std::string&) {
        if (name == "SYS_DEF") {
            device.descriptor[3] = "Factory Name";
        }
        if (name == "SYS_DSCPT") {
            held = 1;
            return false;
        }
        return true;
    };
    onWait = [&] {
        if (held > 0 && ++held == 30) {
            links.at("normal")->incoming += DeviceAnswer("V1\x0CP1\x0CM1\x0C"
                                                         "Factory Name\x0Cx\x0C"
                                                         "1.0\x0CT\x0C"
                                                         "2\x0C"
                                                         "1\x0C"
                                                         "4\x0C"
                                                         "8\x0C"
                                                         "0\x0C");
        }
    };
    QString shown;
    QObject::connect(&config, &SystemConfigTool::productStringShown,
                     [&shown](const QString& text) { shown = text; });
    prompt.confirmAnswers = {true};
    EXPECT_EQ(config.factoryDefault(prompt), SystemConfigTool::Outcome::Done);
    const std::string def = "$SET SYS_DEF 55" + Hex4(Crc16(kCrcInit, "55")) + "\r\n";
    ASSERT_GE(device.requests.size(), 2u);
    EXPECT_EQ(device.requests[device.requests.size() - 2], def);
    EXPECT_EQ(device.requests.back(), "$GET SYS_DSCPT FFFF\r\n");
    EXPECT_EQ(shown, "Factory Name");
    EXPECT_EQ(controller.rows()[0].description, " Factory Name ");

    // A device that never answers: the old text stays and the flow says so.
    held = 0;
    device.onRequest = [](const std::string& name, const std::string&) {
        return name != "SYS_DSCPT";
    };
    prompt.confirmAnswers = {true};
    EXPECT_EQ(config.factoryDefault(prompt), SystemConfigTool::Outcome::NoAnswer);
    EXPECT_EQ(shown, "Factory Name");
}
