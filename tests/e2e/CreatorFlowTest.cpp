// The creator's device flows against linkvex-devsim: Open EDID inside the transfer bracket on
// the COM port.
#include "connection/ConnectionController.h"
#include "creator/CreatorModel.h"
#include "creator/CreatorTool.h"
#include "creator/HexTableModel.h"
#include "edid/EdidTransfer.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"
#include "protocol/PumpDelay.h"
#include "support/DevsimLog.h"
#include "support/Processes.h"
#include "support/QtTestSupport.h"
#include "support/RecordingPrompt.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

const QString kSample = QStringLiteral(LVX_CORPUS_DIR "/002959BBD30B.bin");

QString Frame(const char* verb, const char* name, const QByteArray& payload = {}) {
    const QByteArray hex = payload.toHex().toUpper();
    return QStringLiteral("$%1 %2 %3%4\\r\\n")
        .arg(verb, name, QString::fromLatin1(hex),
             QString::fromStdString(Hex4(Crc16(kCrcInit, hex.toStdString()))));
}

EdidImage FileImage(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.read(256);
    EdidImage image;
    image.fill(0xFF);
    for (int i = 0; i < bytes.size(); ++i) {
        image[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bytes[i]);
    }
    return image;
}

// The creator with its tool, and a device on a pseudo terminal when connect() is called.
class CreatorFlow : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        controller = std::make_unique<ConnectionController>();
        controller->ethernet = false;
        transfer = std::make_unique<EdidTransfer>(*controller);
        model = std::make_unique<CreatorModel>(hex);
        tool = std::make_unique<CreatorTool>(*controller, *transfer, *model);
    }

    void connectSerial() {
        log = dir.filePath("device.log");
        device = std::make_unique<Devsim>(QStringList{"--counts", "2,1,4,8,0", "--log", log});
        ASSERT_FALSE(device->path().isEmpty());
        controller->givenPorts = {device->path()};
        controller->search();
        ASSERT_EQ(controller->devices().count, 1);
        controller->select(1);
        mark = ReadRequests(log).size();
    }

    QStringList requestsSinceConnect() {
        PumpDelay(50);
        return RequestTexts(ReadRequests(log).mid(mark));
    }

    QTemporaryDir dir;
    QString log;
    int mark = 0;
    std::unique_ptr<Devsim> device;
    std::unique_ptr<ConnectionController> controller;
    std::unique_ptr<EdidTransfer> transfer;
    HexTableModel hex;
    std::unique_ptr<CreatorModel> model;
    std::unique_ptr<CreatorTool> tool;
    RecordingPrompt prompt;
};

} // namespace

TEST_F(CreatorFlow, OpenOnTheComPortIsBracketedAndLoadsTheFile) {
    connectSerial();
    prompt.openAnswers = {kSample.toStdString()};
    EXPECT_EQ(tool->openEdid(prompt), CreatorTool::Outcome::Done);
    EXPECT_EQ(prompt.filters, (std::vector<std::string>{"EDID (*.bin)|*.bin"}));
    EXPECT_EQ(requestsSinceConnect(),
              (QStringList{Frame("SET", "SYS_STM"), Frame("SET", "SYS_CTM")}));
    // The memo's text is set at the open; the device's answer to SYS_CTM is traced after it.
    EXPECT_EQ(controller->log().text().rfind("Edid Open OK.\r\n", 0), 0u);
    EXPECT_EQ(hex.image(), FileImage(kSample));
    EXPECT_EQ(model->record().status & (kStatusContentPresent | kStatusCreatorLoaded),
              kStatusContentPresent | kStatusCreatorLoaded);
    EXPECT_FALSE(controller->session().hasFlag(FlagTransfer));
    EXPECT_FALSE(controller->busy());
}

TEST_F(CreatorFlow, CancelAndUnreadableFilesChangeNothingButCloseTheBracket) {
    connectSerial();
    model->brandNew();
    const EdidImage before = hex.image();
    EXPECT_EQ(tool->openEdid(prompt), CreatorTool::Outcome::Cancelled);
    prompt.openAnswers = {dir.filePath("missing.bin").toStdString()};
    EXPECT_EQ(tool->openEdid(prompt), CreatorTool::Outcome::Failed);
    EXPECT_EQ(controller->log().text().rfind("Edid Open Fail.\r\n", 0), 0u);
    prompt.openAnswers = {dir.path().toStdString()}; // a folder is no file
    EXPECT_EQ(tool->openEdid(prompt), CreatorTool::Outcome::Failed);
    EXPECT_EQ(hex.image(), before);
    EXPECT_NE(model->record().status & kStatusBrandNew, 0);
    EXPECT_EQ(
        requestsSinceConnect(),
        (QStringList{Frame("SET", "SYS_STM"), Frame("SET", "SYS_CTM"), Frame("SET", "SYS_STM"),
                     Frame("SET", "SYS_CTM"), Frame("SET", "SYS_STM"), Frame("SET", "SYS_CTM")}));
}

TEST_F(CreatorFlow, OpenWithoutADeviceSendsNothing) {
    // A short file: 0xFF past its end.
    const QString path = dir.filePath("base.bin");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const EdidImage full = FileImage(kSample);
    file.write(reinterpret_cast<const char*>(full.data()), 128);
    file.close();
    prompt.openAnswers = {path.toStdString()};
    EXPECT_EQ(tool->openEdid(prompt), CreatorTool::Outcome::Done);
    EXPECT_FALSE(controller->session().hasFlag(FlagTransfer));
    EXPECT_EQ(hex.byteAt(127), full[127]);
    EXPECT_EQ(hex.byteAt(128), 0xFF);
    EXPECT_EQ(hex.byteAt(255), 0xFF);
}
