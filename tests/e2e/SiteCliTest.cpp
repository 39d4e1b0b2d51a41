// linkvex-cli apply and capture against linkvex-devsim: one device on a pseudo terminal and two
// network devices on loopback. What reaches the devices is read from the simulator's request
// log (serial) and its activity lines (network). It binds the devices' UDP ports, so CTest runs
// it in a network namespace of its own.
#include "support/DevsimLog.h"
#include "support/Processes.h"
#include "support/QtTestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace lvx::test;

namespace {

const bool kOwnNetwork = qEnvironmentVariable("LINKVEX_IN_NETNS") == QLatin1String("1");

const QString kCorpus = QStringLiteral(LVX_CORPUS_DIR);
const QString kSample = kCorpus + QStringLiteral("/002959BBD30B.bin");
const QString kOther = kCorpus + QStringLiteral("/00495CE9E498.bin");
const QString kMacA = QStringLiteral("00:11:22:33:44:55");
const QString kMacB = QStringLiteral("00:11:22:33:44:66");

QString WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    return path;
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The serial device: input 1 holds kSample, user 2 kOther; input 1 on External 1 (mode 8),
// input 2 on User 2 (mode 10). The network devices: A as the serial one, B the defaults.
QJsonObject Devices(bool serial) {
    const QJsonObject counts{{"inputs", 2}, {"outputs", 1}, {"users", 4}, {"internals", 8}};
    if (serial) {
        QJsonObject d = counts;
        d["model"] = "QEM-2";
        d["inputModes"] = QJsonObject{{"0", 8}, {"1", 10}};
        d["edids"] = QJsonObject{{"input1", kSample}, {"user2", kOther}};
        return {{"serial", d}};
    }
    QJsonObject a = counts;
    a["mac"] = kMacA;
    a["edids"] = QJsonObject{{"input1", kSample}, {"user2", kOther}};
    QJsonObject b = counts;
    b["mac"] = kMacB;
    return {{"network", QJsonObject{{"loopback", true}, {"devices", QJsonArray{a, b}}}}};
}

// A serial simulator with its request log and a network one whose activity is kept.
struct Bench {
    QTemporaryDir dir;
    QString log = dir.filePath("serial.log");
    Devsim serial;
    Devsim network;
    QByteArray netActivity;

    bool start() {
        const QString s = WriteFile(dir.filePath("s.json"), QJsonDocument(Devices(true)).toJson());
        const QString n = WriteFile(dir.filePath("n.json"), QJsonDocument(Devices(false)).toJson());
        QDir().mkpath(dir.filePath("site/edids"));
        QFile::copy(kSample, dir.filePath("site/edids/sample.bin"));
        QFile::copy(kOther, dir.filePath("site/edids/other.bin"));
        return serial.start({"--config", s, "--log", log}) &&
               network.start({"--no-serial", "--config", n});
    }
    QString site(const QString& text) {
        return WriteFile(dir.filePath("site/site.yaml"), text.toUtf8());
    }
    // The requests the serial device got since `mark` (its request count before).
    QStringList serialSince(int mark) const { return RequestTexts(ReadRequests(log).mid(mark)); }
    int serialMark() const { return static_cast<int>(ReadRequests(log).size()); }
    // EDID writes the network devices stored since the last call.
    int netStores() {
        QProcess& p = network.process();
        p.setReadChannel(QProcess::StandardError);
        while (p.waitForReadyRead(300)) {
            netActivity += p.readAllStandardError();
        }
        netActivity += p.readAllStandardError();
        const int n = static_cast<int>(netActivity.count("EDID stored"));
        netActivity.clear();
        return n;
    }
};

// What changes the device: an EDID block written, a mode set.
QStringList Writes(const QStringList& requests) {
    QStringList writes;
    QString selected;
    for (const QString& t : requests) {
        if (t.startsWith("$SET ND_SEL ")) {
            selected = t.mid(12, 4);
        } else if (t.startsWith("$SET ND_ED0A ")) {
            writes << selected;
        } else if (t.startsWith("$SET RXEDMD ")) {
            writes << selected + ":" + t.mid(12, 2);
        }
    }
    return writes;
}

// The site file of the tests: the serial device's user 2 and input 1's mode differ, network A's
// input 1, network B's input 1; everything else named is already so.
QString SiteText(const QString& port) {
    return QStringLiteral("# the test rack\n"
                          "edids: edids\n"
                          "devices:\n"
                          "  - name: rack-1\n"
                          "    port: %1\n"
                          "    nodes:\n"
                          "      input1: sample.bin\n"
                          "      user2: sample.bin\n"
                          "    modes:\n"
                          "      input1: user2\n"
                          "      input2: user2\n"
                          "  - name: hall-a\n"
                          "    mac: %2\n"
                          "    nodes:\n"
                          "      input1: other.bin\n"
                          "      user2: other.bin\n"
                          "  - name: hall-b\n"
                          "    mac: %3\n"
                          "    nodes:\n"
                          "      input1: sample.bin\n")
        .arg(port, kMacA, kMacB);
}

// device name -> "node=status" and "inputN=status", in file order.
std::map<QString, QStringList> Statuses(const QJsonObject& report) {
    std::map<QString, QStringList> out;
    for (const QJsonValue& v : report["devices"].toArray()) {
        const QJsonObject d = v.toObject();
        QStringList& s = out[d["name"].toString()];
        for (const QJsonValue& n : d["nodes"].toArray()) {
            s << n["node"].toString() + "=" + n["status"].toString();
        }
        for (const QJsonValue& m : d["modes"].toArray()) {
            s << m["input"].toString() + "=" + m["status"].toString();
        }
    }
    return out;
}

QJsonObject Json(const CliRun& run) {
    return QJsonDocument::fromJson(run.out).object();
}

} // namespace

TEST(SiteCli, DryRunThenApplyWritesOnlyTheDifferencesAndASecondRunNothing) {
    if (!kOwnNetwork) {
        GTEST_SKIP() << "needs a network namespace of its own (root)";
    }
    EnsureApplication();
    Bench b;
    ASSERT_TRUE(b.start());
    const QString site = b.site(SiteText(b.serial.path()));
    int mark = b.serialMark();

    // The dry run reads and reports; it writes nothing anywhere.
    const CliRun dry = RunCli({"apply", site, "--dry-run", "--loopback", "--json"});
    EXPECT_EQ(dry.exitCode, 1) << dry.err.toStdString();
    std::map<QString, QStringList> s = Statuses(Json(dry));
    EXPECT_EQ(s["rack-1"], (QStringList{"input1=unchanged", "user2=differs", "input1=differs",
                                        "input2=unchanged"}));
    EXPECT_EQ(s["hall-a"], (QStringList{"input1=differs", "user2=unchanged"}));
    EXPECT_EQ(s["hall-b"], (QStringList{"input1=differs"}));
    EXPECT_TRUE(Writes(b.serialSince(mark)).isEmpty());
    EXPECT_FALSE(b.serialSince(mark).filter("GET ND_ED0A").isEmpty()); // it did read
    EXPECT_EQ(b.netStores(), 0);
    EXPECT_FALSE(QDir(b.dir.filePath("site/linkvex-backups")).exists());
    const QJsonArray devices = Json(dry)["devices"].toArray();
    ASSERT_EQ(devices.size(), 3);
    const QJsonArray changes =
        devices[0].toObject()["nodes"].toArray()[1].toObject()["changes"].toArray();
    ASSERT_FALSE(changes.isEmpty());
    EXPECT_TRUE(changes[0].toString().endsWith("bytes differ"));

    // The run: exactly user 2 and input 1's mode on the serial device, one node on each
    // network device, each read back.
    mark = b.serialMark();
    const CliRun run = RunCli({"apply", site, "--loopback", "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    s = Statuses(Json(run));
    EXPECT_EQ(s["rack-1"], (QStringList{"input1=unchanged", "user2=written", "input1=written",
                                        "input2=unchanged"}));
    EXPECT_EQ(s["hall-a"], (QStringList{"input1=written", "user2=unchanged"}));
    EXPECT_EQ(s["hall-b"], (QStringList{"input1=written"}));
    const QStringList after = b.serialSince(mark);
    EXPECT_EQ(Writes(after), (QStringList{"2001", "0000:0A"}));
    // Read back: the write is followed by a read of the same node, the mode by GET RXEDMD.
    const int write = static_cast<int>(after.indexOf(QRegularExpression("^\\$SET ND_ED1B.*")));
    ASSERT_GE(write, 0);
    EXPECT_FALSE(after.mid(write).filter("GET ND_ED0A").isEmpty());
    const int setMode = static_cast<int>(after.indexOf(QRegularExpression("^\\$SET RXEDMD.*")));
    EXPECT_FALSE(after.mid(setMode).filter("GET RXEDMD").isEmpty());
    EXPECT_EQ(b.netStores(), 2);
    // Each changed device was backed up first, the serial one with its user 2 as it was.
    const QStringList backups =
        QDir(b.dir.filePath("site/linkvex-backups")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(backups.size(), 3);
    const QString rackBackup = backups.filter("-rack-1").value(0);
    ASSERT_FALSE(rackBackup.isEmpty());
    EXPECT_EQ(FileBytes(b.dir.filePath("site/linkvex-backups/" + rackBackup + "/user2.bin")),
              FileBytes(kOther));

    // Again: everything matches, nothing is written and nothing backed up.
    mark = b.serialMark();
    const CliRun again = RunCli({"apply", site, "--loopback", "--json"});
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    for (const auto& [name, list] : Statuses(Json(again))) {
        for (const QString& item : list) {
            EXPECT_TRUE(item.endsWith("=unchanged"))
                << name.toStdString() << " " << item.toStdString();
        }
    }
    EXPECT_TRUE(Writes(b.serialSince(mark)).isEmpty());
    EXPECT_EQ(b.netStores(), 0);
    EXPECT_EQ(QDir(b.dir.filePath("site/linkvex-backups"))
                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                  .size(),
              3);
}

TEST(SiteCli, CaptureThenApplyChangesNothing) {
    if (!kOwnNetwork) {
        GTEST_SKIP() << "needs a network namespace of its own (root)";
    }
    EnsureApplication();
    Bench b;
    ASSERT_TRUE(b.start());
    const QString site = b.dir.filePath("captured/site.yaml");
    QDir().mkpath(b.dir.filePath("captured"));
    const CliRun capture = RunCli({"capture", site, "--port", b.serial.path(), "--loopback"});
    ASSERT_EQ(capture.exitCode, 0) << capture.err.toStdString();
    EXPECT_TRUE(capture.out.contains("3 devices captured")) << capture.out.toStdString();

    // Three devices with 2 inputs and 4 user slots each; equal EDIDs share a file: network A
    // and the serial device hold the same kSample on input 1 and kOther on user 2.
    const QByteArray text = FileBytes(site);
    EXPECT_EQ(text.count("  - name: "), 3);
    EXPECT_EQ(text.count("      input1: "), 3 + 1); // each input 1, and the serial one's mode
    const QStringList files = QDir(b.dir.filePath("captured/edids")).entryList(QDir::Files);
    int sample = 0;
    for (const QString& f : files) {
        sample += FileBytes(b.dir.filePath("captured/edids/" + f)) == FileBytes(kSample) ? 1 : 0;
    }
    EXPECT_EQ(sample, 1);

    const int mark = b.serialMark();
    b.netStores();
    const CliRun apply = RunCli({"apply", site, "--loopback", "--json"});
    EXPECT_EQ(apply.exitCode, 0) << apply.err.toStdString() << text.toStdString();
    EXPECT_TRUE(Json(apply)["ok"].toBool());
    EXPECT_TRUE(Writes(b.serialSince(mark)).isEmpty());
    EXPECT_EQ(b.netStores(), 0);

    // A second capture finds every EDID already there and keeps the file as it is, comments
    // included.
    WriteFile(site, "# kept\n" + text);
    const CliRun second = RunCli({"capture", site, "--port", b.serial.path(), "--loopback"});
    ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_TRUE(second.out.contains("0 EDID files written")) << second.out.toStdString();
    EXPECT_EQ(FileBytes(site), "# kept\n" + text);
}

TEST(SiteCli, ABrokenSiteFileSendsNothing) {
    if (!kOwnNetwork) {
        GTEST_SKIP() << "needs a network namespace of its own (root)";
    }
    EnsureApplication();
    Bench b;
    ASSERT_TRUE(b.start());
    const QString port = b.serial.path();
    int mark = b.serialMark();

    // Wrong on its own: nothing is even searched.
    QString site =
        b.site(SiteText(port).replace("    modes:\n      input1", "    mdoes:\n      input1"));
    CliRun run = RunCli({"apply", site, "--loopback"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("site.yaml:9: unknown key \"mdoes\"")) << run.err.toStdString();
    EXPECT_TRUE(b.serialSince(mark).isEmpty());

    WriteFile(b.dir.filePath("site/edids/bad.bin"), QByteArray(256, '\x01'));
    site = b.site(SiteText(port).replace("user2: sample.bin", "user2: bad.bin"));
    run = RunCli({"apply", site, "--loopback"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("site.yaml:8: bad.bin is not a valid EDID"))
        << run.err.toStdString();
    site = b.site(SiteText(port).replace("user2: sample.bin", "user2: missing.bin"));
    run = RunCli({"apply", site, "--loopback"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("site.yaml:8: ")) << run.err.toStdString();
    EXPECT_TRUE(b.serialSince(mark).isEmpty());

    // Wrong for the devices found (a node one does not have, two entries for one device):
    // they are searched, nothing is written to any.
    site = b.site(SiteText(port).replace("      user2: other.bin", "      input3: other.bin"));
    run = RunCli({"apply", site, "--loopback"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("site.yaml:16: hall-a has no input3")) << run.err.toStdString();
    site = b.site(SiteText(port) + "  - name: again\n    mac: " + kMacB + "\n");
    run = RunCli({"apply", site, "--loopback"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("site.yaml:21: ")) << run.err.toStdString();
    EXPECT_TRUE(Writes(b.serialSince(mark)).isEmpty());
    EXPECT_EQ(b.netStores(), 0);
}

TEST(SiteCli, ADeviceThatVanishesIsReportedWhileTheOthersComplete) {
    if (!kOwnNetwork) {
        GTEST_SKIP() << "needs a network namespace of its own (root)";
    }
    EnsureApplication();
    Bench b;
    ASSERT_TRUE(b.start());
    const QString site = b.site(SiteText(b.serial.path()));

    // The serial device goes away as its first write starts.
    QProcess cli;
    cli.start(BinDir() + "/linkvex-cli", {"apply", site, "--loopback", "--json"});
    ASSERT_TRUE(cli.waitForStarted());
    bool killed = false;
    while (!cli.waitForFinished(20)) {
        if (!killed && !RequestTexts(ReadRequests(b.log)).filter("$SET ND_ED0A").isEmpty()) {
            b.serial.kill();
            killed = true;
        }
    }
    ASSERT_TRUE(killed);
    EXPECT_EQ(cli.exitCode(), 1);
    const QJsonObject report = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
    const QJsonArray devices = report["devices"].toArray();
    ASSERT_EQ(devices.size(), 3);
    EXPECT_FALSE(devices[0]["matches"].toBool());
    EXPECT_FALSE(devices[0]["error"].toString().isEmpty());
    EXPECT_EQ(devices[0].toObject()["nodes"].toArray()[1].toObject()["status"].toString(),
              "failed");
    EXPECT_TRUE(devices[1]["matches"].toBool()) << QJsonDocument(report).toJson().toStdString();
    EXPECT_TRUE(devices[2]["matches"].toBool());
    EXPECT_EQ(b.netStores(), 2) << QJsonDocument(report).toJson().toStdString();
}

TEST(SiteCli, Usage) {
    EnsureApplication();
    EXPECT_EQ(RunCli({"apply"}).exitCode, 2);
    EXPECT_EQ(RunCli({"capture"}).exitCode, 2);
    EXPECT_EQ(RunCli({"capture", "x.yaml", "--mac", "00:11"}).exitCode, 2);
    QTemporaryDir dir;
    const CliRun missing = RunCli({"apply", dir.filePath("none.yaml")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains("none.yaml")) << missing.err.toStdString();
}
