// Save, upload and analysis of node EDIDs against linkvex-devsim, over a pseudo terminal and
// over loopback UDP, with the flows the program and the CLI share.
#include "edid/EdidTransfer.h"
#include "connection/ConnectionController.h"
#include "edid/EdidControllerTool.h"
#include "links/UdpEndpoints.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"
#include "protocol/PumpDelay.h"
#include "support/DevsimLog.h"
#include "support/Processes.h"
#include "support/QtTestSupport.h"
#include "support/RecordingPrompt.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

const QString kCorpus = QStringLiteral(LVX_CORPUS_DIR);
const QString kSample = kCorpus + QStringLiteral("/002959BBD30B.bin"); // 256 bytes, valid
const QString kOther = kCorpus + QStringLiteral("/00495CE9E498.bin");

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ImageBytes(const EdidImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<int>(image.size()));
}

QString Frame(const char* verb, const char* name, const QByteArray& payload = {}) {
    const QByteArray hex = payload.toHex().toUpper();
    return QStringLiteral("$%1 %2 %3%4\\r\\n")
        .arg(verb, name, QString::fromLatin1(hex),
             QString::fromStdString(Hex4(Crc16(kCrcInit, hex.toStdString()))));
}

// A connected serial device with the EDID tools on it.
class SerialTransfer : public ::testing::Test {
protected:
    void connect(const QStringList& extra = {}) {
        EnsureApplication();
        log = dir.filePath("device.log");
        device = std::make_unique<Devsim>(
            QStringList{"--counts", "2,1,4,8,0", "--edid", "input1=" + kSample, "--log", log} +
            extra);
        ASSERT_FALSE(device->path().isEmpty());
        controller = std::make_unique<ConnectionController>();
        controller->ethernet = false;
        controller->givenPorts = {device->path()};
        controller->search();
        ASSERT_EQ(controller->devices().count, 1);
        controller->select(1);
        transfer = std::make_unique<EdidTransfer>(*controller);
        tool = std::make_unique<EdidControllerTool>(*controller, *transfer);
        QObject::connect(tool.get(), &EdidControllerTool::status,
                         [this](const QString& text, Severity severity) {
                             const bool red =
                                 severity == Severity::Warning || severity == Severity::Failure;
                             if (!text.isEmpty()) {
                                 statuses << (red ? "red:" : "black:") + text;
                             }
                         });
        mark = ReadRequests(log).size();
    }

    // The requests the device received since connect() finished.
    QStringList requestsSinceConnect() {
        PumpDelay(50);
        return RequestTexts(ReadRequests(log).mid(mark));
    }

    QTemporaryDir dir;
    QString log;
    std::unique_ptr<Devsim> device;
    std::unique_ptr<ConnectionController> controller;
    std::unique_ptr<EdidTransfer> transfer;
    std::unique_ptr<EdidControllerTool> tool;
    RecordingPrompt prompt;
    QStringList statuses;
    int mark = 0;
};

} // namespace

TEST_F(SerialTransfer, SavingInputOneSendsTheBracketTheSelectorAndFourReads) {
    connect();
    const QString target = dir.filePath("tv");
    prompt.saveAnswers = {target.toStdString()};
    EXPECT_EQ(tool->save({NodeKind::Input, 0}, prompt), EdidControllerTool::Outcome::Done);
    EXPECT_EQ(prompt.proposedNames, (std::vector<std::string>{"Input1 EDID"}));
    EXPECT_EQ(prompt.filters.front(), "EDID (*.bin)|*.bin");
    // The ".bin" rule: the file is tv.bin, 256 bytes, the device's EDID.
    EXPECT_EQ(FileBytes(target + ".bin"), FileBytes(kSample));
    EXPECT_EQ(
        requestsSinceConnect(),
        (QStringList{Frame("SET", "SYS_STM"), Frame("SET", "ND_SEL", QByteArray(2, '\0')),
                     Frame("GET", "ND_ED0A"), Frame("GET", "ND_ED0B"), Frame("GET", "ND_ED1A"),
                     Frame("GET", "ND_ED1B"), Frame("SET", "SYS_CTM")}));
    EXPECT_EQ(statuses, QStringList{"black:Ok."});
    EXPECT_EQ(controller->log().text().rfind("Edid Open OK.\r\n", 0), 0u);
    EXPECT_FALSE(controller->session().hasFlag(FlagTransfer));
}

TEST_F(SerialTransfer, UploadThatTheDeviceDoesNotTakeFailsInRed) {
    connect({"--mute", "ND_ED0B"});
    prompt.openAnswers = {kOther.toStdString()};
    prompt.confirmAnswers = {true};
    EXPECT_EQ(tool->upload({NodeKind::Input, 0}, prompt), EdidControllerTool::Outcome::Failed);
    EXPECT_EQ(statuses, (QStringList{"black:Ok.", "red:Edid Write Fail."}));
    EXPECT_EQ(tool->lastError(), "the device did not answer SET ND_ED0B");
    EXPECT_FALSE(controller->session().hasFlag(FlagTransfer));
}

TEST_F(SerialTransfer, UploadAsksNamingFileNodeAndDeviceAndCancelSendsNoBlock) {
    connect({"--product", "Lab Switch"});
    const QString file = dir.filePath("tv.bin");
    WriteBytes(file, FileBytes(kOther));
    prompt.openAnswers = {file.toStdString()};
    prompt.confirmAnswers = {false};
    EXPECT_EQ(tool->upload({NodeKind::User, 1}, prompt), EdidControllerTool::Outcome::Cancelled);
    // One question, asked as one that cannot be undone (Cancel first in the window).
    ASSERT_EQ(prompt.irreversible.size(), 1u);
    const QString asked = QString::fromStdString(prompt.irreversible.front());
    EXPECT_TRUE(asked.contains("tv.bin")) << asked.toStdString();
    EXPECT_TRUE(asked.contains(QDir::toNativeSeparators(file))) << asked.toStdString();
    EXPECT_TRUE(asked.contains("User 2")) << asked.toStdString();
    EXPECT_TRUE(asked.contains(device->path())) << asked.toStdString();
    EXPECT_TRUE(asked.contains("Lab Switch")) << asked.toStdString();
    EXPECT_TRUE(asked.contains("row 1")) << asked.toStdString();
    EXPECT_EQ(statuses, QStringList{"red:Upload Edid Canceled."});
    EXPECT_EQ(requestsSinceConnect(),
              (QStringList{Frame("SET", "SYS_STM"), Frame("SET", "SYS_CTM")}));

    // An invalid file is refused before any question.
    QByteArray broken = FileBytes(kOther);
    broken[0] = 0x01;
    WriteBytes(file, broken);
    prompt.openAnswers = {file.toStdString()};
    EXPECT_EQ(tool->upload({NodeKind::User, 1}, prompt), EdidControllerTool::Outcome::Failed);
    EXPECT_EQ(prompt.irreversible.size(), 1u);
}

TEST_F(SerialTransfer, SaveOfAnAnswerThatIsNoBlockFailsAndKeepsTheFile) {
    connect({"--wrong-answer", "ND_ED1B:all"});
    const QString target = dir.filePath("tv.bin");
    WriteBytes(target, FileBytes(kOther));
    prompt.saveAnswers = {target.toStdString()};
    EXPECT_EQ(tool->save({NodeKind::Input, 0}, prompt), EdidControllerTool::Outcome::Failed);
    EXPECT_EQ(statuses, QStringList{"red:Edid Read Fail."});
    EXPECT_EQ(FileBytes(target), FileBytes(kOther));
    EXPECT_NE(controller->log().text().find("Edid Read Fail."), std::string::npos);
}

TEST_F(SerialTransfer, UploadToUserSlotTwoSelectsThenWritesFourBlocks) {
    connect();
    prompt.openAnswers = {kOther.toStdString()};
    prompt.confirmAnswers = {true};
    EXPECT_EQ(tool->upload({NodeKind::User, 1}, prompt), EdidControllerTool::Outcome::Done);
    EXPECT_EQ(tool->uploadPath(), kOther);
    const QList<LoggedRequest> requests = ReadRequests(log).mid(mark);
    const QStringList texts = RequestTexts(requests);
    const QByteArray file = FileBytes(kOther);
    ASSERT_EQ(texts.size(), 7);
    EXPECT_EQ(texts[0], Frame("SET", "SYS_STM"));
    EXPECT_EQ(texts[1], Frame("SET", "ND_SEL", QByteArray::fromHex("2001")));
    const char* names[] = {"ND_ED0A", "ND_ED0B", "ND_ED1A", "ND_ED1B"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(texts[2 + i], Frame("SET", names[i], file.mid(64 * i, 64)));
    }
    EXPECT_EQ(texts[6], Frame("SET", "SYS_CTM"));
    // A user slot's selection is paced 20 + 100 ms, the others 20 + 50 ms. The simulator
    // stamps arrival times, so a loaded machine can shorten one gap: the bound sits halfway
    // between the two pacings.
    EXPECT_GE(requests[2].ms - requests[1].ms, 95);

    // Reading the slot back gives the file.
    prompt.saveAnswers = {dir.filePath("back.bin").toStdString()};
    EXPECT_EQ(tool->save({NodeKind::User, 1}, prompt), EdidControllerTool::Outcome::Done);
    EXPECT_EQ(FileBytes(dir.filePath("back.bin")), file);
}

TEST_F(SerialTransfer, BlockWithABadCrcIsReadOnceMore) {
    connect({"--corrupt-answer", "ND_ED0A:1"});
    prompt.saveAnswers = {dir.filePath("once.bin").toStdString()};
    EXPECT_EQ(tool->save({NodeKind::Input, 0}, prompt), EdidControllerTool::Outcome::Done);
    EXPECT_EQ(FileBytes(dir.filePath("once.bin")), FileBytes(kSample));
    const QStringList texts = requestsSinceConnect();
    EXPECT_EQ(texts.count(Frame("GET", "ND_ED0A")), 2);
    EXPECT_EQ(texts.count(Frame("GET", "ND_ED1B")), 1);
    EXPECT_NE(controller->log().text().find("Edid Open OK."), std::string::npos);
}

TEST_F(SerialTransfer, BlockFailingTwiceIsReportedAndNothingIsWritten) {
    connect({"--corrupt-answer", "ND_ED0B:1", "--corrupt-answer", "ND_ED0B:2"});
    const QString target = dir.filePath("kept.bin");
    WriteBytes(target, "the user's old file");
    prompt.saveAnswers = {target.toStdString()};
    EXPECT_EQ(tool->save({NodeKind::Input, 0}, prompt), EdidControllerTool::Outcome::Failed);
    EXPECT_EQ(FileBytes(target), QByteArray("the user's old file"));
    EXPECT_EQ(statuses, QStringList{"red:Edid Read Fail."});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).filter("kept").size(), 1);
    EXPECT_EQ(requestsSinceConnect().last(), Frame("SET", "SYS_CTM"));
}

TEST_F(SerialTransfer, SilentDeviceWritesNothing) {
    connect({"--mute", "ND_ED1A"});
    prompt.saveAnswers = {dir.filePath("silent.bin").toStdString()};
    EXPECT_EQ(tool->save({NodeKind::Input, 0}, prompt), EdidControllerTool::Outcome::Failed);
    EXPECT_FALSE(QFile::exists(dir.filePath("silent.bin")));
    EXPECT_EQ(QDir(dir.path()).entryList({"silent*"}, QDir::Files).size(), 0);
}

TEST_F(SerialTransfer, CancelledDialogsSendOnlyTheBracket) {
    connect();
    EXPECT_EQ(tool->save({NodeKind::Output, 0}, prompt), EdidControllerTool::Outcome::Cancelled);
    EXPECT_EQ(prompt.proposedNames, (std::vector<std::string>{"Output1 EDID"}));
    EXPECT_EQ(tool->upload({NodeKind::Input, 1}, prompt), EdidControllerTool::Outcome::Cancelled);
    EXPECT_EQ(statuses, QStringList{"red:Upload Edid Canceled."});
    EXPECT_EQ(controller->log().text().rfind("Edid Open Fail.\r\n", 0), 0u);
    EXPECT_EQ(requestsSinceConnect(),
              (QStringList{Frame("SET", "SYS_STM"), Frame("SET", "SYS_CTM"),
                           Frame("SET", "SYS_STM"), Frame("SET", "SYS_CTM")}));
}

TEST_F(SerialTransfer, InvalidFilesAndReadOnlyNodesSendNothing) {
    connect();
    QByteArray broken = FileBytes(kSample);
    broken[20] = static_cast<char>(broken[20] ^ 0x01);
    WriteBytes(dir.filePath("broken.bin"), broken);
    prompt.openAnswers = {dir.filePath("broken.bin").toStdString()};
    EXPECT_EQ(tool->upload({NodeKind::Input, 0}, prompt), EdidControllerTool::Outcome::Failed);
    EXPECT_EQ(statuses, QStringList{"red:Illegal Edid CheckSum0."});
    // The invalid bytes stay in the device image, and its record says so.
    EXPECT_EQ(ImageBytes(controller->deviceEdidImage()), broken);
    EXPECT_NE(tool->deviceRecord().status & 0x0010, 0);

    // Outputs and internal EDIDs cannot be written: no dialog, no command.
    prompt.filters.clear();
    EXPECT_EQ(tool->upload({NodeKind::Output, 0}, prompt), EdidControllerTool::Outcome::Nothing);
    EXPECT_EQ(tool->upload({NodeKind::Internal, 3}, prompt), EdidControllerTool::Outcome::Nothing);
    EXPECT_TRUE(prompt.filters.empty());
    EXPECT_EQ(requestsSinceConnect(),
              (QStringList{Frame("SET", "SYS_STM"), Frame("SET", "SYS_CTM")}));
}

TEST_F(SerialTransfer, AnalysisReadsAnyNodeAndRepeatsAFailedBlockOnce) {
    connect({"--corrupt-answer", "ND_ED1B:1"});
    EXPECT_TRUE(tool->analysisRead({NodeKind::Input, 0}));
    EXPECT_EQ(ImageBytes(controller->deviceEdidImage()), FileBytes(kSample));
    EXPECT_EQ(tool->deviceRecord().status & 0x0078, 0);
    const QStringList texts = requestsSinceConnect();
    // No bracket; after the failed block all four are read again, once.
    EXPECT_FALSE(texts.contains(Frame("SET", "SYS_STM")));
    EXPECT_EQ(texts.count(Frame("GET", "ND_ED0A")), 2);
    EXPECT_EQ(texts.count(Frame("GET", "ND_ED1B")), 2);
    EXPECT_FALSE(controller->session().hasFlag(FlagEdidBlockError));
}

TEST_F(SerialTransfer, NothingHappensWithoutADevice) {
    EnsureApplication();
    ConnectionController idle;
    EdidTransfer t(idle);
    EdidControllerTool idleTool(idle, t);
    EXPECT_EQ(idleTool.save({NodeKind::Input, 0}, prompt), EdidControllerTool::Outcome::Nothing);
    EXPECT_EQ(idleTool.upload({NodeKind::Input, 0}, prompt), EdidControllerTool::Outcome::Nothing);
    EXPECT_FALSE(idleTool.analysisRead({NodeKind::Input, 0}));
    EXPECT_TRUE(prompt.filters.empty());
}

TEST(NetworkTransfer, ReadAndWriteNodesByDatagram) {
    EnsureApplication();
    QTemporaryDir dir;
    QJsonObject device{{"mac", "00:11:22:33:44:55"},
                       {"productName", "LVX-NET"},
                       {"inputs", 2},
                       {"outputs", 1},
                       {"users", 4},
                       {"edids", QJsonObject{{"output1", kSample}}}};
    QFile config(dir.filePath("net.json"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(
        QJsonDocument(QJsonObject{{"network", QJsonObject{{"loopback", true},
                                                          {"devices", QJsonArray{device}}}}})
            .toJson());
    config.close();
    Devsim sim({"--no-serial", "--config", dir.filePath("net.json")});

    ConnectionController controller;
    controller.comPort = false;
    QString error;
    ASSERT_TRUE(controller.openNetwork(EndpointConfig::loopback(), &error)) << error.toStdString();
    controller.search();
    ASSERT_TRUE(WaitUntil([&] { return controller.devices().count == 1; }));
    controller.select(1);
    EdidTransfer transfer(controller);
    EdidControllerTool tool(controller, transfer);
    RecordingPrompt prompt;

    prompt.saveAnswers = {dir.filePath("output1.bin").toStdString()};
    EXPECT_EQ(tool.save({NodeKind::Output, 0}, prompt), EdidControllerTool::Outcome::Done);
    EXPECT_EQ(FileBytes(dir.filePath("output1.bin")), FileBytes(kSample));

    prompt.openAnswers = {kOther.toStdString()};
    prompt.confirmAnswers = {true};
    EXPECT_EQ(tool.upload({NodeKind::User, 2}, prompt), EdidControllerTool::Outcome::Done);
    prompt.saveAnswers = {dir.filePath("user3.bin").toStdString()};
    EXPECT_EQ(tool.save({NodeKind::User, 2}, prompt), EdidControllerTool::Outcome::Done);
    EXPECT_EQ(FileBytes(dir.filePath("user3.bin")), FileBytes(kOther));

    // A device that stops answering: nothing is written.
    sim.kill();
    prompt.saveAnswers = {dir.filePath("gone.bin").toStdString()};
    EXPECT_EQ(tool.save({NodeKind::Output, 0}, prompt), EdidControllerTool::Outcome::Failed);
    EXPECT_FALSE(QFile::exists(dir.filePath("gone.bin")));
}

namespace {
// A save dialog during which the user presses another button of the tab.
class ImpatientPrompt : public RecordingPrompt {
public:
    std::function<void()> whileOpen;
    std::string saveFileName(const std::string& filter, const std::string& proposed) override {
        if (whileOpen) {
            whileOpen();
        }
        return RecordingPrompt::saveFileName(filter, proposed);
    }
};
} // namespace

TEST_F(SerialTransfer, NoSecondFlowStartsWhileOneRuns) {
    connect();
    ImpatientPrompt impatient;
    bool busy = false;
    bool secondStarted = true;
    impatient.whileOpen = [&] {
        busy = controller->busy();
        secondStarted = tool->analysisRead({NodeKind::Output, 0});
    };
    EXPECT_EQ(tool->save({NodeKind::Input, 0}, impatient), EdidControllerTool::Outcome::Cancelled);
    EXPECT_TRUE(busy);
    EXPECT_FALSE(secondStarted);
    EXPECT_FALSE(controller->busy());
    EXPECT_EQ(requestsSinceConnect(),
              (QStringList{Frame("SET", "SYS_STM"), Frame("SET", "SYS_CTM")}));
}
