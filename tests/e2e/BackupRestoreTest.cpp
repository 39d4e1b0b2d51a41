// Device backup and restore against linkvex-devsim, over a pseudo terminal and over loopback
// UDP, with the flow the program and the CLI share, and through linkvex-cli; the link is cut
// in the middle of a backup on both. It binds the devices' UDP ports, so CTest runs it in a
// network namespace of its own.
#include "connection/ConnectionController.h"
#include "edid/DeviceBackupTool.h"
#include "edid/EdidTransfer.h"
#include "edid/InputModeTool.h"
#include "links/UdpEndpoints.h"
#include "protocol/PumpDelay.h"
#include "support/DevsimLog.h"
#include "support/Processes.h"
#include "support/QtTestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

// The test program runs in a network namespace of its own (CTest starts it through
// tests/support/in-netns.sh); the network cases need it.
const bool kOwnNetwork = qEnvironmentVariable("LINKVEX_IN_NETNS") == QLatin1String("1");

const QString kCorpus = QStringLiteral(LVX_CORPUS_DIR);
const QString kSample = kCorpus + QStringLiteral("/002959BBD30B.bin");
const QString kOther = kCorpus + QStringLiteral("/00495CE9E498.bin");
const QString kMac = QStringLiteral("00:11:22:33:44:55");
const QString kOtherMac = QStringLiteral("00:11:22:33:44:66");

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString WriteJson(const QTemporaryDir& dir, const QString& name, const QJsonObject& object) {
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(object).toJson());
    return file.fileName();
}

// A serial device of 2 inputs, 1 output, 4 user slots and 8 internal EDIDs, with input 1
// holding kSample, user 2 kOther, and its inputs on External 1 (mode 8) and User 2 (mode 10).
QJsonObject SerialDevice(const QString& model = QStringLiteral("QEM-2")) {
    return {{"model", model},
            {"inputs", 2},
            {"outputs", 1},
            {"users", 4},
            {"internals", 8},
            {"inputModes", QJsonObject{{"0", 8}, {"1", 10}}},
            {"edids", QJsonObject{{"input1", kSample}, {"user2", kOther}}}};
}

QJsonObject NetworkDevice(const QString& mac, bool withEdids) {
    QJsonObject d{{"mac", mac}, {"inputs", 2}, {"outputs", 1}, {"users", 4}, {"internals", 8}};
    if (withEdids) {
        d["edids"] = QJsonObject{{"input1", kSample}, {"user2", kOther}};
    }
    return d;
}

// The manifest as any JSON reader sees it.
QJsonObject Manifest(const QString& dir) {
    return QJsonDocument::fromJson(FileBytes(dir + "/manifest.json")).object();
}

// Every entry of the manifest agrees with the folder: a read node has its file, 256 bytes
// with the recorded SHA-256; a failed node has no file at all.
void ExpectFolderMatchesManifest(const QString& dir, int* ok = nullptr, int* failed = nullptr) {
    const QJsonArray files = Manifest(dir)["files"].toArray();
    ASSERT_FALSE(files.isEmpty());
    int good = 0, bad = 0;
    for (const QJsonValue& v : files) {
        const QJsonObject entry = v.toObject();
        const QString file = dir + "/" + entry["node"].toString() + ".bin";
        if (entry["status"].toString() == "ok") {
            const QByteArray bytes = FileBytes(file);
            EXPECT_EQ(bytes.size(), 256) << file.toStdString();
            EXPECT_EQ(QString::fromLatin1(
                          QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()),
                      entry["sha256"].toString());
            ++good;
        } else {
            EXPECT_EQ(entry["status"].toString(), "failed");
            EXPECT_FALSE(QFile::exists(file)) << "a failed node left " << file.toStdString();
            EXPECT_FALSE(entry["error"].toString().isEmpty());
            ++bad;
        }
    }
    if (ok) {
        *ok = good;
    }
    if (failed) {
        *failed = bad;
    }
}

// A connection to one device with the backup tool on it.
struct Connected {
    std::unique_ptr<ConnectionController> controller = std::make_unique<ConnectionController>();
    std::unique_ptr<EdidTransfer> transfer;
    std::unique_ptr<InputModeTool> modes;
    std::unique_ptr<DeviceBackupTool> tool;
    QStringList lines;

    bool serial(const QString& port) {
        controller->ethernet = false;
        controller->givenPorts = {port};
        controller->search();
        if (controller->devices().count != 1) {
            return false;
        }
        controller->select(1);
        return tools();
    }

    bool network(const QString& mac) {
        controller->comPort = false;
        QString error;
        if (!controller->openNetwork(EndpointConfig::loopback(), &error)) {
            return false;
        }
        controller->search();
        WaitUntil([&] { return controller->devices().count >= 2; }, 600);
        for (std::size_t i = 0; i < controller->rows().size(); ++i) {
            if (QString::fromStdString(controller->rows()[i].mac) == mac) {
                controller->select(static_cast<int>(i) + 1);
                PumpDelay(100);
                return tools();
            }
        }
        return false;
    }

    bool tools() {
        transfer = std::make_unique<EdidTransfer>(*controller);
        modes = std::make_unique<InputModeTool>(*controller);
        tool = std::make_unique<DeviceBackupTool>(*controller, *transfer, *modes);
        QObject::connect(tool.get(), &DeviceBackupTool::stepFinished,
                         [this](const QString& line, bool) { lines << line; });
        return true;
    }
};

} // namespace

TEST(SerialBackup, EveryNodeAndModeGoesToTheFolder) {
    EnsureApplication();
    QTemporaryDir dir;
    const QString log = dir.filePath("device.log");
    Devsim sim(
        {"--config", WriteJson(dir, "sim.json", {{"serial", SerialDevice()}}), "--log", log});
    Connected c;
    ASSERT_TRUE(c.serial(sim.path()));
    PumpDelay(50);
    const int mark = static_cast<int>(ReadRequests(log).size());

    const QString folder = dir.filePath("backup");
    const DeviceBackupTool::BackupResult result = c.tool->backup(folder);
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    int ok = 0, failed = 0;
    ExpectFolderMatchesManifest(folder, &ok, &failed);
    EXPECT_EQ(ok, 15);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(FileBytes(folder + "/input1.bin"), FileBytes(kSample));
    EXPECT_EQ(FileBytes(folder + "/user2.bin"), FileBytes(kOther));
    EXPECT_NE(FileBytes(folder + "/internal8.bin"), FileBytes(folder + "/internal7.bin"));

    const QJsonObject manifest = Manifest(folder);
    // The model as the connection recorded it (Search names known models by their type).
    const std::string model = c.controller->devices().current().model;
    EXPECT_FALSE(model.empty());
    EXPECT_EQ(manifest["device"].toObject()["model"].toString().toStdString(), model);
    EXPECT_EQ(manifest["counts"].toObject()["users"].toInt(), 4);
    EXPECT_TRUE(manifest["complete"].toBool());
    const QJsonArray modes = manifest["modes"].toArray();
    ASSERT_EQ(modes.size(), 2);
    EXPECT_EQ(modes[0].toObject()["mode"].toInt(), 8);
    EXPECT_EQ(modes[0].toObject()["source"].toString(), "external1");
    EXPECT_EQ(modes[1].toObject()["source"].toString(), "user2");

    // On the wire: the bracket around the nodes in list order, then the two modes.
    PumpDelay(100);
    QStringList selects;
    QStringList texts = RequestTexts(ReadRequests(log).mid(mark));
    for (const QString& t : texts) {
        if (t.startsWith("$SET ND_SEL ")) {
            selects << t.mid(12, 4);
        }
    }
    EXPECT_TRUE(texts.first().startsWith("$SET SYS_STM"));
    const QStringList expected = {"0000", "0001", "1000", "2000", "2001", "2002",
                                  "2003", "3000", "3001", "3002", "3003", "3004",
                                  "3005", "3006", "3007", "0000", "0001"};
    EXPECT_EQ(selects.mid(0, expected.size()), expected);
    EXPECT_EQ(texts.filter("GET RXEDMD").size(), 3); // two inputs, then the chooser's input
    EXPECT_EQ(texts.filter("SYS_CTM").size(), 1);
    EXPECT_FALSE(c.controller->busy());
}

TEST(SerialBackup, RestoreOntoAnotherUnitWritesUsersInputsAndModes) {
    EnsureApplication();
    QTemporaryDir dir;
    const QString folder = dir.filePath("backup");
    {
        Devsim source({"--config", WriteJson(dir, "a.json", {{"serial", SerialDevice()}})});
        Connected c;
        ASSERT_TRUE(c.serial(source.path()));
        ASSERT_TRUE(c.tool->backup(folder).ok);
    }
    // A fresh unit of the same model: default EDIDs everywhere, every input on mode 0.
    QJsonObject fresh = SerialDevice();
    fresh.remove("inputModes");
    fresh.remove("edids");
    const QString log = dir.filePath("b.log");
    Devsim target({"--config", WriteJson(dir, "b.json", {{"serial", fresh}}), "--log", log});
    Connected c;
    ASSERT_TRUE(c.serial(target.path()));
    PumpDelay(50);
    const int mark = static_cast<int>(ReadRequests(log).size());

    const DeviceBackupTool::RestorePreparation prep = c.tool->prepareRestore(folder);
    ASSERT_TRUE(prep.readable) << prep.error.toStdString();
    EXPECT_TRUE(prep.plan.usable(false));
    const DeviceBackupTool::RestoreResult result = c.tool->restore(prep, false);
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.stepsDone, 8);

    // The user slots first, then the inputs, each written whole; then the two modes.
    PumpDelay(100);
    const QStringList texts = RequestTexts(ReadRequests(log).mid(mark));
    QStringList writtenTo;
    QString selected;
    QStringList modes;
    for (const QString& t : texts) {
        if (t.startsWith("$SET ND_SEL ")) {
            selected = t.mid(12, 4);
        } else if (t.startsWith("$SET ND_ED0A ")) {
            writtenTo << selected;
        } else if (t.startsWith("$SET RXEDMD ")) {
            modes << selected + ":" + t.mid(12, 2);
        }
    }
    EXPECT_EQ(writtenTo, (QStringList{"2000", "2001", "2002", "2003", "0000", "0001"}));
    EXPECT_EQ(modes, (QStringList{"0000:08", "0001:0A"}));

    // A backup of the target now matches the source's writable nodes and modes.
    const QString again = dir.filePath("again");
    ASSERT_TRUE(c.tool->backup(again).ok);
    for (const char* node : {"input1", "input2", "user1", "user2", "user3", "user4"}) {
        EXPECT_EQ(FileBytes(again + "/" + node + ".bin"), FileBytes(folder + "/" + node + ".bin"))
            << node;
    }
    EXPECT_EQ(Manifest(again)["modes"], Manifest(folder)["modes"]);
}

// A folder as an earlier release wrote it (tests/data/backup) restores onto a fresh unit.
TEST(SerialBackup, AFolderOfAnEarlierReleaseRestores) {
    EnsureApplication();
    const QString folder = QStringLiteral(LVX_SOURCE_DIR "/tests/data/backup/serial-complete");
    QTemporaryDir dir;
    QJsonObject fresh = SerialDevice(QStringLiteral("UHD+EDID Manager"));
    fresh.remove("inputModes");
    fresh.remove("edids");
    Devsim target({"--config", WriteJson(dir, "sim.json", {{"serial", fresh}})});
    Connected c;
    ASSERT_TRUE(c.serial(target.path()));

    const DeviceBackupTool::RestorePreparation prep = c.tool->prepareRestore(folder);
    ASSERT_TRUE(prep.readable) << prep.error.toStdString();
    EXPECT_TRUE(prep.plan.usable(false));
    const DeviceBackupTool::RestoreResult result = c.tool->restore(prep, false);
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.stepsDone, 8); // four user slots, two inputs, two modes

    const QString again = dir.filePath("again");
    ASSERT_TRUE(c.tool->backup(again).ok);
    for (const char* node : {"input1", "input2", "user1", "user2", "user3", "user4"}) {
        EXPECT_EQ(FileBytes(again + "/" + node + ".bin"), FileBytes(folder + "/" + node + ".bin"))
            << node;
    }
    EXPECT_EQ(Manifest(again)["modes"], Manifest(folder)["modes"]);
}

TEST(SerialBackup, ADamagedFolderOrAnotherModelSendsNothing) {
    EnsureApplication();
    QTemporaryDir dir;
    const QString folder = dir.filePath("backup");
    const QString log = dir.filePath("device.log");
    Devsim sim(
        {"--config", WriteJson(dir, "sim.json", {{"serial", SerialDevice()}}), "--log", log});
    Connected c;
    ASSERT_TRUE(c.serial(sim.path()));
    ASSERT_TRUE(c.tool->backup(folder).ok);
    PumpDelay(100);
    const int mark = static_cast<int>(ReadRequests(log).size());

    // One byte of one file changed: refused, forced or not.
    QByteArray user3 = FileBytes(folder + "/user3.bin");
    user3[20] = static_cast<char>(user3[20] ^ 0x01);
    QFile file(folder + "/user3.bin");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(user3);
    file.close();
    const DeviceBackupTool::RestorePreparation damaged = c.tool->prepareRestore(folder);
    ASSERT_TRUE(damaged.readable);
    ASSERT_EQ(damaged.plan.errors.size(), 1u);
    const DeviceBackupTool::RestoreResult refused = c.tool->restore(damaged, true);
    EXPECT_FALSE(refused.started);
    EXPECT_FALSE(refused.ok);

    // A manifest that is not one.
    QFile manifest(folder + "/manifest.json");
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly));
    manifest.write("{\"format\": \"linkvex-device-backup\", \"version\": 1");
    manifest.close();
    EXPECT_FALSE(c.tool->prepareRestore(folder).readable);
    EXPECT_FALSE(c.tool->prepareRestore(dir.filePath("nowhere")).readable);

    PumpDelay(100);
    EXPECT_TRUE(RequestTexts(ReadRequests(log).mid(mark)).isEmpty());
}

TEST(SerialBackup, ALinkCutInTheMiddleLeavesNoPartialFile) {
    EnsureApplication();
    QTemporaryDir dir;
    const QString folder = dir.filePath("backup");
    Devsim sim({"--config", WriteJson(dir, "sim.json", {{"serial", SerialDevice()}})});
    Connected c;
    ASSERT_TRUE(c.serial(sim.path()));
    // The device vanishes once three nodes are saved.
    QObject::connect(c.tool.get(), &DeviceBackupTool::stepFinished, [&](const QString&, bool) {
        if (c.lines.size() == 3) {
            sim.kill();
        }
    });
    const DeviceBackupTool::BackupResult result = c.tool->backup(folder);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
    int ok = 0, failed = 0;
    ExpectFolderMatchesManifest(folder, &ok, &failed);
    EXPECT_EQ(ok, 3);
    EXPECT_EQ(failed, 12);
    EXPECT_FALSE(Manifest(folder)["complete"].toBool());
    EXPECT_TRUE(c.lines.filter("the link to the device was lost").size() >= 1);
    EXPECT_FALSE(c.controller->busy());
}

// A second backup into the same folder that breaks off part way keeps the first one as it
// was: its manifest and every file, byte for byte, and no temporary file. A second backup
// that completes replaces it.
TEST(SerialBackup, AFailedRefreshKeepsTheEarlierCompleteBackup) {
    EnsureApplication();
    QTemporaryDir dir;
    const QString folder = dir.filePath("backup");
    {
        Devsim sim({"--config", WriteJson(dir, "first.json", {{"serial", SerialDevice()}})});
        Connected c;
        ASSERT_TRUE(c.serial(sim.path()));
        ASSERT_TRUE(c.tool->backup(folder).ok);
    }
    const QByteArray manifest = FileBytes(folder + "/manifest.json");
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(entries.size(), 16);

    // The unit now holds other EDIDs on its inputs.
    QJsonObject changed = SerialDevice();
    changed["edids"] = QJsonObject{{"input1", kOther}, {"input2", kSample}};
    {
        Devsim sim({"--config", WriteJson(dir, "second.json", {{"serial", changed}})});
        Connected c;
        ASSERT_TRUE(c.serial(sim.path()));
        // The device vanishes once two nodes are read.
        QObject::connect(c.tool.get(), &DeviceBackupTool::stepFinished, [&](const QString&, bool) {
            if (c.lines.size() == 2) {
                sim.kill();
            }
        });
        const DeviceBackupTool::BackupResult result = c.tool->backup(folder);
        EXPECT_TRUE(result.started);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.keptEarlier);
        ASSERT_FALSE(c.lines.isEmpty());
        EXPECT_TRUE(c.lines.last().contains("earlier complete backup"))
            << c.lines.last().toStdString();
    }
    EXPECT_EQ(FileBytes(folder + "/manifest.json"), manifest);
    int ok = 0, failed = 0;
    ExpectFolderMatchesManifest(folder, &ok, &failed);
    EXPECT_EQ(ok, 15);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(FileBytes(folder + "/input1.bin"), FileBytes(kSample));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), entries);

    // Complete this time: the new backup takes the folder.
    Devsim sim({"--config", WriteJson(dir, "third.json", {{"serial", changed}})});
    Connected c;
    ASSERT_TRUE(c.serial(sim.path()));
    const DeviceBackupTool::BackupResult result = c.tool->backup(folder);
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_FALSE(result.keptEarlier);
    ExpectFolderMatchesManifest(folder, &ok, &failed);
    EXPECT_EQ(ok, 15);
    EXPECT_EQ(FileBytes(folder + "/input1.bin"), FileBytes(kOther));
    EXPECT_EQ(FileBytes(folder + "/input2.bin"), FileBytes(kSample));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), entries);
}

// Links found in the backup folder are replaced by the files themselves: the file a link
// pointed to stays as it was, and a dangling link creates nothing outside the folder.
TEST(SerialBackup, LinksInTheFolderAreReplacedNotFollowed) {
    EnsureApplication();
    QTemporaryDir dir;
    const QString folder = dir.filePath("backup");
    const QString outside = dir.filePath("outside");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QDir().mkpath(outside));
    {
        QFile precious(outside + "/precious.json");
        ASSERT_TRUE(precious.open(QIODevice::WriteOnly));
        precious.write("not a manifest");
    }
    ASSERT_TRUE(QFile::link(outside + "/precious.json", folder + "/manifest.json"));
    ASSERT_TRUE(QFile::link(outside + "/made.bin", folder + "/input1.bin"));

    Devsim sim({"--config", WriteJson(dir, "sim.json", {{"serial", SerialDevice()}})});
    Connected c;
    ASSERT_TRUE(c.serial(sim.path()));
    const DeviceBackupTool::BackupResult result = c.tool->backup(folder);
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(FileBytes(outside + "/precious.json"), "not a manifest");
    EXPECT_FALSE(QFileInfo::exists(outside + "/made.bin"));
    EXPECT_FALSE(QFileInfo(folder + "/manifest.json").isSymLink());
    EXPECT_FALSE(QFileInfo(folder + "/input1.bin").isSymLink());
    EXPECT_EQ(FileBytes(folder + "/input1.bin"), FileBytes(kSample));
    int ok = 0;
    ExpectFolderMatchesManifest(folder, &ok);
    EXPECT_EQ(ok, 15);
}

TEST(SerialBackup, ADeviceThatFallsSilentIsGivenUpAfterTwoNodes) {
    EnsureApplication();
    QTemporaryDir dir;
    // How many answers a connect takes, counted on a first device.
    int connectAnswers = 0;
    {
        const QString log = dir.filePath("probe.log");
        Devsim probe(
            {"--config", WriteJson(dir, "sim.json", {{"serial", SerialDevice()}}), "--log", log});
        Connected c;
        ASSERT_TRUE(c.serial(probe.path()));
        PumpDelay(100);
        QFile file(log);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        connectAnswers = static_cast<int>(file.readAll().count(" TX "));
    }
    // The second device answers SYS_STM, input 1 whole (ND_SEL and four blocks), then
    // ND_SEL and two blocks of input 2, and nothing more.
    QJsonObject device = SerialDevice();
    device["silentAfter"] = connectAnswers + 1 + 5 + 3;
    Devsim sim({"--config", WriteJson(dir, "silent.json", {{"serial", device}})});
    Connected c;
    ASSERT_TRUE(c.serial(sim.path()));
    const QString folder = dir.filePath("backup");
    const DeviceBackupTool::BackupResult result = c.tool->backup(folder);
    EXPECT_FALSE(result.ok);
    ExpectFolderMatchesManifest(folder);
    const QJsonArray files = Manifest(folder)["files"].toArray();
    ASSERT_EQ(files.size(), 15);
    EXPECT_EQ(files[0].toObject()["status"].toString(), "ok");
    EXPECT_EQ(files[1].toObject()["error"].toString(), "the device did not send the whole EDID");
    EXPECT_EQ(files[14].toObject()["error"].toString(), "not read: the device stopped answering");
    // Two silent nodes after input 2, then no more tries.
    EXPECT_EQ(files[4].toObject()["error"].toString(), "not read: the device stopped answering");
    EXPECT_EQ(Manifest(folder)["modes"].toArray()[0].toObject()["status"].toString(), "failed");
}

TEST(NetworkBackup, BackupRestoreAndACutLinkOverLoopback) {
    if (!kOwnNetwork) {
        GTEST_SKIP() << "needs a network namespace of its own (root)";
    }
    EnsureApplication();
    QTemporaryDir dir;
    const QString config = WriteJson(
        dir, "net.json",
        {{"network", QJsonObject{{"loopback", true},
                                 {"devices", QJsonArray{NetworkDevice(kMac, true),
                                                        NetworkDevice(kOtherMac, false)}}}}});
    auto sim = std::make_unique<Devsim>(QStringList{"--no-serial", "--config", config});
    const QString folder = dir.filePath("backup");
    {
        Connected c;
        ASSERT_TRUE(c.network(kMac));
        const DeviceBackupTool::BackupResult result = c.tool->backup(folder);
        EXPECT_TRUE(result.ok) << result.error.toStdString();
        int ok = 0;
        ExpectFolderMatchesManifest(folder, &ok);
        EXPECT_EQ(ok, 15);
        EXPECT_EQ(FileBytes(folder + "/input1.bin"), FileBytes(kSample));
        const QJsonObject manifest = Manifest(folder);
        EXPECT_EQ(manifest["device"].toObject()["link"].toString(), "network");
        EXPECT_EQ(manifest["device"].toObject()["mac"].toString(), kMac);
        EXPECT_TRUE(manifest["modes"].toArray().isEmpty());
    }
    {
        // Restored onto the other device: its user slots and inputs read back as the backup.
        Connected c;
        ASSERT_TRUE(c.network(kOtherMac));
        const DeviceBackupTool::RestorePreparation prep = c.tool->prepareRestore(folder);
        ASSERT_TRUE(prep.plan.usable(false));
        const DeviceBackupTool::RestoreResult result = c.tool->restore(prep, false);
        EXPECT_TRUE(result.ok) << result.error.toStdString();
        EXPECT_EQ(result.stepsDone, 6);
        const QString again = dir.filePath("again");
        ASSERT_TRUE(c.tool->backup(again).ok);
        EXPECT_EQ(FileBytes(again + "/user2.bin"), FileBytes(kOther));
        EXPECT_EQ(FileBytes(again + "/input1.bin"), FileBytes(kSample));
    }
    {
        // The device goes away during a backup: two silent nodes and the rest is given up.
        Connected c;
        ASSERT_TRUE(c.network(kMac));
        QObject::connect(c.tool.get(), &DeviceBackupTool::stepFinished, [&](const QString&, bool) {
            if (c.lines.size() == 3) {
                sim->kill();
            }
        });
        const QString cut = dir.filePath("cut");
        const DeviceBackupTool::BackupResult result = c.tool->backup(cut);
        EXPECT_FALSE(result.ok);
        int ok = 0, failed = 0;
        ExpectFolderMatchesManifest(cut, &ok, &failed);
        EXPECT_EQ(ok, 3);
        EXPECT_EQ(failed, 12);
        EXPECT_TRUE(c.lines.filter("not read: the device stopped answering").size() >= 1);
    }
}

TEST(BackupCli, ExitStatusesAndForceOverBothLinks) {
    EnsureApplication();
    QTemporaryDir dir;
    const QString folder = dir.filePath("backup");
    EXPECT_EQ(RunCli({"backup", folder}).exitCode, 2);                 // no device named
    EXPECT_EQ(RunCli({"restore", "--port", "/dev/null"}).exitCode, 2); // no folder

    const QString log = dir.filePath("device.log");
    Devsim sim(
        {"--config", WriteJson(dir, "sim.json", {{"serial", SerialDevice()}}), "--log", log});
    const CliRun backup = RunCli({"backup", "--port", sim.path(), folder});
    EXPECT_EQ(backup.exitCode, 0) << backup.err.toStdString();
    EXPECT_TRUE(backup.err.contains("[1/18] Reading input1"));
    EXPECT_TRUE(backup.out.contains("15 of 15 EDIDs and 2 of 2 modes saved"));

    // Another model: refused without --force, nothing written; restored with it.
    Devsim other({"--config", WriteJson(dir, "other.json", {{"serial", SerialDevice("QEM-4")}}),
                  "--log", dir.filePath("other.log")});
    const CliRun refused = RunCli({"restore", "--port", other.path(), folder});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("nothing was sent")) << refused.err.toStdString();
    EXPECT_TRUE(
        RequestTexts(ReadRequests(dir.filePath("other.log"))).filter("SET ND_ED").isEmpty());
    const CliRun forced = RunCli({"restore", "--port", other.path(), folder, "--force", "--json"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    const QJsonObject report = QJsonDocument::fromJson(forced.out).object();
    EXPECT_TRUE(report["ok"].toBool());
    EXPECT_EQ(report["steps"].toArray().size(), 8);

    if (kOwnNetwork) {
        const QString config = WriteJson(
            dir, "net.json",
            {{"network", QJsonObject{{"loopback", true},
                                     {"devices", QJsonArray{NetworkDevice(kMac, true)}}}}});
        Devsim net({"--no-serial", "--config", config});
        const QString netFolder = dir.filePath("net");
        const CliRun netBackup =
            RunCli({"backup", "--mac", kMac, "--loopback", netFolder, "--json"});
        EXPECT_EQ(netBackup.exitCode, 0) << netBackup.err.toStdString();
        EXPECT_EQ(QJsonDocument::fromJson(netBackup.out).object()["files"].toArray().size(), 15);
        EXPECT_EQ(RunCli({"restore", "--mac", kMac, "--loopback", netFolder}).exitCode, 0);
    }
}
