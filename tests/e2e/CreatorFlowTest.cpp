// The creator's device flows against linkvex-devsim: Open EDID, Save EDID and Write EDID to
// Device, inside the transfer bracket on the COM port, and over loopback UDP.
#include "connection/ActivityLog.h"
#include "connection/ConnectionController.h"
#include "creator/BrandNewTemplate.h"
#include "creator/CreatorControls.h"
#include "creator/CreatorModel.h"
#include "creator/CreatorTool.h"
#include "creator/EdidWorkImage.h"
#include "edid/EdidTransfer.h"
#include "links/UdpEndpoints.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"
#include "protocol/PumpDelay.h"
#include "support/DevsimLog.h"
#include "support/Processes.h"
#include "support/QtTestSupport.h"
#include "support/RecordingPrompt.h"

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

// The brand-new EDID of 7 December 2026 as Save and Write must send it, put together here from
// the template's bytes: week 50, year 2026, block 0's checksum, and block 1 rebuilt (the HDMI
// block without its byte 8, the DTD offset 0x12, checksum 0xCA).
EdidImage ExpectedBrandNew() {
    EdidImage image = BrandNewTemplate();
    image[16] = 50;
    image[17] = 2026 - 1990;
    unsigned sum = 0;
    for (int i = 0; i < 127; ++i) {
        sum += image[static_cast<std::size_t>(i)];
    }
    image[127] = static_cast<std::uint8_t>((256 - sum % 256) % 256);
    const std::uint8_t block1[] = {0x02, 0x03, 0x12, 0x71, 0x41, 0x10, 0x23, 0x09, 0x07,
                                   0x03, 0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x21};
    std::fill(image.begin() + 128, image.end(), std::uint8_t{0});
    std::copy(std::begin(block1), std::end(block1), image.begin() + 128);
    image[255] = 0xCA;
    return image;
}

QByteArray Bytes(const EdidImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<int>(image.size()));
}

// Label3 and the warning label as the model showed them, in order.
struct Labels {
    QStringList seen;
    void watch(CreatorModel& model) {
        QObject::connect(
            &model, &CreatorModel::controlsChanged, [this, &model](const QList<int>& ids) {
                for (std::string_view name : {names::kStatusLabel, names::kWarningLabel}) {
                    if (ids.contains(CreatorModel::idOf(name))) {
                        const ControlState& s = model.state(name);
                        seen << QStringLiteral("%1:%2%3").arg(
                            QString::fromLatin1(name.data(), int(name.size())),
                            s.colour == TextColour::Red        ? QStringLiteral("red:")
                            : s.colour == TextColour::DarkBlue ? QStringLiteral("blue:")
                                                               : QStringLiteral("black:"),
                            QString::fromStdString(s.text));
                    }
                }
                if (ids.contains(CreatorModel::idOf(names::kWriteButton))) {
                    seen << (model.state(names::kWriteButton).enabled
                                 ? QStringLiteral("button:on")
                                 : QStringLiteral("button:off"));
                }
            });
    }
};

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
        tool->messageWaits = false;
        model->setClock([] { return CalendarDate{2026, 12, 7}; });
        labels.watch(*model);
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
    EdidWorkImage hex;
    std::unique_ptr<CreatorModel> model;
    std::unique_ptr<CreatorTool> tool;
    RecordingPrompt prompt;
    Labels labels;
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
    EXPECT_EQ(hex.bytes(), FileImage(kSample));
    EXPECT_EQ(model->record().status & (kStatusContentPresent | kStatusCreatorLoaded),
              kStatusContentPresent | kStatusCreatorLoaded);
    EXPECT_FALSE(controller->session().hasFlag(FlagTransfer));
    EXPECT_FALSE(controller->busy());
}

TEST_F(CreatorFlow, CancelAndUnreadableFilesChangeNothingButCloseTheBracket) {
    connectSerial();
    model->brandNew();
    const EdidImage before = hex.bytes();
    EXPECT_EQ(tool->openEdid(prompt), CreatorTool::Outcome::Cancelled);
    prompt.openAnswers = {dir.filePath("missing.bin").toStdString()};
    EXPECT_EQ(tool->openEdid(prompt), CreatorTool::Outcome::Failed);
    EXPECT_EQ(controller->log().text().rfind("Edid Open Fail.\r\n", 0), 0u);
    prompt.openAnswers = {dir.path().toStdString()}; // a folder is no file
    EXPECT_EQ(tool->openEdid(prompt), CreatorTool::Outcome::Failed);
    EXPECT_EQ(hex.bytes(), before);
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

TEST_F(CreatorFlow, SaveWritesTheBuiltEdidInsideTheBracket) {
    connectSerial();
    model->brandNew();
    prompt.saveAnswers = {dir.filePath("created").toStdString()};
    EXPECT_EQ(tool->save(prompt), CreatorTool::Outcome::Done);
    EXPECT_EQ(prompt.proposedNames, (std::vector<std::string>{"Created EDID"}));
    QFile file(dir.filePath("created.bin"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), Bytes(ExpectedBrandNew()));
    EXPECT_EQ(requestsSinceConnect(),
              (QStringList{Frame("SET", "SYS_STM"), Frame("SET", "SYS_CTM")}));
    EXPECT_EQ(controller->log().text().rfind("Edid Open OK.\r\n", 0), 0u);

    // A field error does not stop a save; a folder that cannot take the file leaves nothing.
    model->setText(CreatorModel::idOf(names::kWeek), "60");
    ASSERT_TRUE(model->fieldError());
    prompt.saveAnswers = {dir.filePath("flagged.bin").toStdString(),
                          dir.filePath("no/such/folder/x.bin").toStdString()};
    EXPECT_EQ(tool->save(prompt), CreatorTool::Outcome::Done);
    EXPECT_TRUE(QFile::exists(dir.filePath("flagged.bin")));
    EXPECT_EQ(tool->save(prompt), CreatorTool::Outcome::Failed);
    EXPECT_EQ(controller->log().text().rfind("Edid Open Fail.\r\n", 0), 0u);
    EXPECT_FALSE(controller->session().hasFlag(FlagTransfer));
}

TEST_F(CreatorFlow, NothingLoadedIsRefusedWithTheNoEdidWarning) {
    connectSerial();
    EXPECT_EQ(tool->save(prompt), CreatorTool::Outcome::Failed);
    EXPECT_TRUE(prompt.proposedNames.empty());
    EXPECT_EQ(tool->writeToDevice({NodeKind::Input, 0}), CreatorTool::Outcome::Failed);
    EXPECT_EQ(
        labels.seen,
        (QStringList{"Label_EdidCreator_Warning:blue:Please select \"NEW\" or \"OPEN\"",
                     "Label3:red:Create Error!", "Label_EdidCreator_Warning:red:", "Label3:red:",
                     "Label_EdidCreator_Warning:blue:Please select \"NEW\" or \"OPEN\"",
                     "Label3:red:Create Error!", "Label_EdidCreator_Warning:red:", "Label3:red:"}));
    EXPECT_TRUE(requestsSinceConnect().isEmpty());
}

TEST_F(CreatorFlow, WriteSendsTheBuiltEdidToTheChosenSlot) {
    connectSerial();
    model->brandNew();
    const std::optional<NodeRef> target = tool->uploadTarget(1); // "Input 2"
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(tool->writeToDevice(*target), CreatorTool::Outcome::Done);
    const QByteArray image = Bytes(ExpectedBrandNew());
    EXPECT_EQ(
        requestsSinceConnect(),
        (QStringList{Frame("SET", "SYS_STM"), Frame("SET", "ND_SEL", QByteArray("\x00\x01", 2)),
                     Frame("SET", "ND_ED0A", image.mid(0, 64)),
                     Frame("SET", "ND_ED0B", image.mid(64, 64)),
                     Frame("SET", "ND_ED1A", image.mid(128, 64)),
                     Frame("SET", "ND_ED1B", image.mid(192, 64)), Frame("SET", "SYS_CTM")}));
    EXPECT_EQ(labels.seen,
              (QStringList{"button:off", "Label3:black:Ok.", "Label3:black:", "button:on"}));
    EXPECT_TRUE(model->state(names::kWriteButton).enabled);
    EXPECT_FALSE(controller->busy());
    // The device holds it.
    ASSERT_TRUE(transfer->readNode({NodeKind::Input, 1}));
    EXPECT_EQ(Bytes(controller->deviceEdidImage()), image);
    // "User 1" comes after the separator.
    EXPECT_FALSE(tool->uploadTarget(2).has_value());
    EXPECT_EQ(tool->uploadTarget(3)->kind, NodeKind::User);
    EXPECT_EQ(tool->uploadTarget(3)->number, 0);
}

TEST_F(CreatorFlow, ARefusedWriteSendsNothing) {
    connectSerial();
    model->brandNew();
    model->setChecked(CreatorModel::idOf("CheckBox_HDR_1"), true); // HDR without 4K
    ASSERT_TRUE(model->fieldError());
    labels.seen.clear();
    EXPECT_EQ(tool->writeToDevice({NodeKind::Input, 0}), CreatorTool::Outcome::Failed);
    EXPECT_EQ(labels.seen, (QStringList{"Label3:red:Create Error!", "Label3:red:"}));
    EXPECT_TRUE(requestsSinceConnect().isEmpty());

    // An image that fails validation is built, shown as such, and not sent.
    EdidImage broken = BrandNewTemplate();
    broken[0] = 0x01;
    model->openImage(broken);
    labels.seen.clear();
    EXPECT_EQ(tool->writeToDevice({NodeKind::Input, 0}), CreatorTool::Outcome::Failed);
    EXPECT_EQ(labels.seen,
              (QStringList{"button:off", "Label3:red:Illegal Edid Header.", "button:on"}));
    EXPECT_EQ(requestsSinceConnect(),
              (QStringList{Frame("SET", "SYS_STM"), Frame("SET", "SYS_CTM")}));
    // Outputs and internal EDIDs are no targets.
    model->brandNew();
    EXPECT_EQ(tool->writeToDevice({NodeKind::Output, 0}), CreatorTool::Outcome::Failed);
}

// A field left red stays a reason to refuse the write after a valid edit of another field,
// and the refusal names it.
TEST_F(CreatorFlow, AFieldStillRedRefusesTheWriteAfterAValidEditElsewhere) {
    connectSerial();
    model->brandNew();
    model->setText(CreatorModel::idOf(names::kYear), "1989");
    model->setText(CreatorModel::idOf(names::kWeek), "10");
    ASSERT_EQ(model->text(names::kWarningLabel), ""); // the last rule said nothing
    labels.seen.clear();
    EXPECT_EQ(tool->writeToDevice({NodeKind::Input, 0}, &prompt), CreatorTool::Outcome::Failed);
    EXPECT_EQ(labels.seen, (QStringList{"Label3:red:Create Error!", "Label3:red:"}));
    EXPECT_TRUE(tool->lastError().contains("Create Error!"));
    EXPECT_TRUE(tool->lastError().contains("Year (1990~2245 Limited!)"))
        << tool->lastError().toStdString();
    EXPECT_EQ(tool->statusSeverity(), Severity::Failure);
    EXPECT_TRUE(tool->statusDetail().contains("Year")) << tool->statusDetail().toStdString();
    EXPECT_TRUE(prompt.irreversible.empty()); // refused before any question
    EXPECT_TRUE(requestsSinceConnect().isEmpty());

    // Mended, it goes out with the week the user typed.
    model->setText(CreatorModel::idOf(names::kYear), "2020");
    EXPECT_EQ(tool->writeToDevice({NodeKind::Input, 0}), CreatorTool::Outcome::Done);
    EXPECT_EQ(tool->lastBuilt()[16], 10);
    EXPECT_EQ(tool->lastBuilt()[17], 2020 - 1990);
}

TEST_F(CreatorFlow, WriteAsksFirstNamingTheNodeAndTheDevice) {
    connectSerial();
    model->brandNew();
    const NodeRef user2{NodeKind::User, 1};
    prompt.confirmAnswers = {false};
    EXPECT_EQ(tool->writeToDevice(user2, &prompt), CreatorTool::Outcome::Cancelled);
    ASSERT_EQ(prompt.irreversible.size(), 1u);
    const QString question = QString::fromStdString(prompt.irreversible[0]);
    EXPECT_TRUE(question.contains("User 2")) << question.toStdString();
    EXPECT_TRUE(question.contains(device->path())) << question.toStdString();
    EXPECT_TRUE(labels.seen.isEmpty());
    EXPECT_TRUE(requestsSinceConnect().isEmpty());
    EXPECT_FALSE(controller->busy());

    prompt.confirmAnswers = {true};
    EXPECT_EQ(tool->writeToDevice(user2, &prompt), CreatorTool::Outcome::Done);
    EXPECT_EQ(prompt.irreversible.size(), 2u);
    EXPECT_TRUE(requestsSinceConnect().contains(
        Frame("SET", "ND_SEL", QByteArray("\x20\x01", 2)))); // user slot 2: 0x2000 + 1
    // Without a prompt, as the command line calls it, nothing is asked.
    EXPECT_EQ(tool->writeToDevice(user2), CreatorTool::Outcome::Done);
    EXPECT_EQ(prompt.irreversible.size(), 2u);
}

TEST_F(CreatorFlow, SaveAndWriteReachTheActivityLog) {
    connectSerial();
    ActivityLog activity;
    activity.follow(*tool, QStringLiteral("the creator"));
    auto last = [&activity] { return activity.entries().back(); };
    model->brandNew();

    const QString saved = dir.filePath("made.bin");
    prompt.saveAnswers = {saved.toStdString()};
    ASSERT_EQ(tool->save(prompt), CreatorTool::Outcome::Done);
    EXPECT_EQ(last().text, QStringLiteral("Saved the created EDID to %1").arg(saved));
    EXPECT_EQ(last().severity, Severity::Success);
    EXPECT_EQ(last().device, device->path());

    prompt.saveAnswers = {dir.filePath("no/such/folder/x.bin").toStdString()};
    ASSERT_EQ(tool->save(prompt), CreatorTool::Outcome::Failed);
    EXPECT_EQ(last().severity, Severity::Failure);
    EXPECT_TRUE(last().text.contains("no/such/folder/x.bin")) << last().text.toStdString();

    const std::size_t before = activity.entries().size();
    ASSERT_EQ(tool->writeToDevice({NodeKind::User, 1}), CreatorTool::Outcome::Done);
    ASSERT_EQ(activity.entries().size(), before + 2); // the start and the result
    const ActivityEntry& start = activity.entries()[before];
    EXPECT_TRUE(start.text.startsWith("Writing the created EDID to User 2 of "))
        << start.text.toStdString();
    EXPECT_TRUE(start.text.contains(device->path()));
    EXPECT_EQ(start.node, QStringLiteral("User 2"));
    EXPECT_TRUE(last().text.startsWith("Wrote the created EDID to User 2 of "))
        << last().text.toStdString();
    EXPECT_TRUE(last().text.contains(device->path()));
    EXPECT_EQ(last().node, QStringLiteral("User 2"));
    EXPECT_EQ(last().severity, Severity::Success);

    // A refusal names the node and the field.
    model->setChecked(CreatorModel::idOf("CheckBox_HDR_1"), true);
    ASSERT_EQ(tool->writeToDevice({NodeKind::Input, 0}), CreatorTool::Outcome::Failed);
    EXPECT_EQ(last().severity, Severity::Failure);
    EXPECT_EQ(last().node, QStringLiteral("Input 1"));
    EXPECT_TRUE(last().text.contains("HDR 4:2:0 16Bit")) << last().text.toStdString();
    // A save after it works on no node: its line names none.
    prompt.saveAnswers = {dir.filePath("after.bin").toStdString()};
    ASSERT_EQ(tool->save(prompt), CreatorTool::Outcome::Done);
    EXPECT_EQ(last().node, QString());
}

TEST_F(CreatorFlow, WriteWithoutADeviceDoesNothing) {
    model->brandNew();
    EXPECT_EQ(tool->writeToDevice({NodeKind::Input, 0}), CreatorTool::Outcome::Nothing);
    EXPECT_TRUE(labels.seen.isEmpty());
}

TEST_F(CreatorFlow, SaveAndWriteOverTheNetwork) {
    QJsonObject device{{"mac", "00:11:22:33:44:55"},
                       {"productName", "LVX-NET"},
                       {"inputs", 2},
                       {"outputs", 1},
                       {"users", 4}};
    QFile config(dir.filePath("net.json"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(
        QJsonDocument(QJsonObject{{"network", QJsonObject{{"loopback", true},
                                                          {"devices", QJsonArray{device}}}}})
            .toJson());
    config.close();
    Devsim sim({"--no-serial", "--config", dir.filePath("net.json")});
    controller->ethernet = true;
    controller->comPort = false;
    QString error;
    ASSERT_TRUE(controller->openNetwork(EndpointConfig::loopback(), &error)) << error.toStdString();
    controller->search();
    ASSERT_TRUE(WaitUntil([&] { return controller->devices().count == 1; }));
    controller->select(1);

    model->brandNew();
    prompt.saveAnswers = {dir.filePath("net.bin").toStdString()};
    EXPECT_EQ(tool->save(prompt), CreatorTool::Outcome::Done);
    QFile saved(dir.filePath("net.bin"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), Bytes(ExpectedBrandNew()));

    model->setText(CreatorModel::idOf(names::kManufacturer), "LVX");
    const std::optional<NodeRef> user3 = tool->uploadTarget(5); // Input 1, 2, ----, User 1, 2, 3
    ASSERT_TRUE(user3.has_value());
    EXPECT_EQ(tool->writeToDevice(*user3), CreatorTool::Outcome::Done);
    ASSERT_TRUE(transfer->readNode({NodeKind::User, 2}));
    EdidImage expected = ExpectedBrandNew();
    expected[8] = 0x32; // L V X: 12, 22, 24
    expected[9] = 0xD8;
    unsigned sum = 0;
    for (int i = 0; i < 127; ++i) {
        sum += expected[static_cast<std::size_t>(i)];
    }
    expected[127] = static_cast<std::uint8_t>((256 - sum % 256) % 256);
    EXPECT_EQ(Bytes(controller->deviceEdidImage()), Bytes(expected));
}

TEST_F(CreatorFlow, BlocksThatDoNotFitSaveNothingAndTheMemoNamesWhatWasLeftOut) {
    // A loaded block 1 nearly full: 24 VICs, ten audio descriptors, an HDMI block with 3D
    // data and a 31-byte HDMI Forum block.
    EdidImage image{};
    const std::uint8_t header[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x04, 0x21};
    std::copy(std::begin(header), std::end(header), image.begin());
    image[126] = 1;
    std::vector<std::uint8_t> blocks = {0x58};
    for (int vic = 1; vic <= 24; ++vic) {
        blocks.push_back(static_cast<std::uint8_t>(vic));
    }
    blocks.push_back(0x3E);
    for (int k = 0; k < 10; ++k) {
        blocks.insert(blocks.end(), {0x15, 0x07, 0x50});
    }
    blocks.insert(blocks.end(), {0x78, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x21, 0x20, 0x80, 0x0E});
    for (int k = 0; k < 14; ++k) {
        blocks.push_back(static_cast<std::uint8_t>(k));
    }
    blocks.insert(blocks.end(), {0x7F, 0xD8, 0x5D, 0xC4});
    blocks.resize(blocks.size() + 28, 0x00);
    ASSERT_LE(132 + blocks.size(), 254u);
    std::copy(blocks.begin(), blocks.end(), image.begin() + 132);
    image[128] = 0x02;
    image[129] = 0x03;
    image[130] = static_cast<std::uint8_t>(4 + blocks.size());
    for (int block = 0; block < 2; ++block) {
        unsigned sum = 0;
        for (int i = 0; i < 127; ++i) {
            sum += image[static_cast<std::size_t>(block * 128 + i)];
        }
        image[static_cast<std::size_t>(block * 128 + 127)] =
            static_cast<std::uint8_t>((256 - sum % 256) % 256);
    }
    model->openImage(image);
    ASSERT_TRUE(model->checked(names::kPresent3d));
    // What the user adds on top: speakers, colorimetry, HDR with luminance, the 4:2:0 VICs.
    for (const char* box :
         {"CheckBox_SpeakerPosition_8", "CheckBox_Colorimetry_1", "CheckBox_HDR_EOTF_1",
          "CheckBox_YUV420VDB_96", "CheckBox_YUV420VDB_97"}) {
        model->setChecked(CreatorModel::idOf(box), true);
    }
    model->setText(CreatorModel::idOf("Edit_HDR_DCLD_3"), "1");
    labels.seen.clear();
    prompt.saveAnswers = {dir.filePath("full.bin").toStdString()};
    EXPECT_EQ(tool->save(prompt), CreatorTool::Outcome::Failed);
    EXPECT_TRUE(prompt.proposedNames.empty());
    EXPECT_FALSE(QFile::exists(dir.filePath("full.bin")));
    EXPECT_EQ(labels.seen, (QStringList{"Label3:red:Create Error!", "Label3:red:"}));

    // Without the additions it fits, and the memo names the block the build does not carry.
    image[132 + blocks.size() - 32 + 1] = 0x00; // the Forum block becomes another vendor's
    image[132 + blocks.size() - 32 + 2] = 0x10;
    image[132 + blocks.size() - 32 + 3] = 0xFA;
    unsigned sum = 0;
    for (int i = 128; i < 255; ++i) {
        sum += image[static_cast<std::size_t>(i)];
    }
    image[255] = static_cast<std::uint8_t>((256 - sum % 256) % 256);
    model->openImage(image);
    EXPECT_EQ(tool->save(prompt), CreatorTool::Outcome::Done);
    EXPECT_NE(controller->log().text().find(
                  "Left out: vendor-specific data block, OUI FA-10-00, 32 bytes\r\n"),
              std::string::npos);
}
