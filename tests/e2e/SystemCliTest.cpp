// linkvex-cli's firmware, system and IP verbs against linkvex-devsim: loader-mode devices on
// pseudo terminals, network devices on loopback (this executable has its own namespace).
#include "support/DevsimLog.h"
#include "support/Processes.h"
#include "support/QtTestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lvx::test;

namespace {

QByteArray FirmwareFile(int size) {
    QByteArray file(size, '\0');
    for (int i = 0; i < size; ++i) {
        file[i] = static_cast<char>(i * 131 + i / 7);
    }
    const QByteArray header = QByteArray("FW VER:x") + QByteArray("4.02\0\0\0\0", 8) + "1A2B2037";
    if (size >= 536) {
        file.replace(512, header.size(), header);
    }
    return file;
}

int CountRequests(const QString& log, const QString& name) {
    int n = 0;
    for (const QString& text : RequestTexts(ReadRequests(log))) {
        n += text.startsWith(QStringLiteral("$SET ") + name + ' ') ? 1 : 0;
    }
    return n;
}

class SystemCli : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }

    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        return path;
    }

    QByteArray read(const QString& name) {
        QFile in(dir.filePath(name));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    // A loader of this kind; its log and flash file are named after `tag`.
    std::unique_ptr<Devsim> loader(const QString& kind, const QString& tag,
                                   const QStringList& more = {}) {
        auto sim =
            std::make_unique<Devsim>(QStringList{"--isp", kind, "--log", dir.filePath(tag + ".log"),
                                                 "--flash-file", dir.filePath(tag + ".flash")} +
                                     more);
        EXPECT_FALSE(sim->path().isEmpty());
        return sim;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(SystemCli, FirmwareOfTwoThousandOneHundredBytesIsFlashedExactly) {
    const QByteArray image = FirmwareFile(2100);
    const QString path = file("fw.bin", image);
    auto sim = loader("091", "a");
    const CliRun run = RunCli({"fw-update", path, "--port", sim->path(), "--yes"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("fw-update: 100%"));
    EXPECT_EQ(read("a.flash"), image + QByteArray(76, '\xFF'));
    // Both pages are checked, the one the image ends in too.
    EXPECT_EQ(CountRequests(dir.filePath("a.log"), "FW_CHK"), 2);
    EXPECT_EQ(CountRequests(dir.filePath("a.log"), "FW_END"), 1);
}

TEST_F(SystemCli, WrongPageSumIsResentAndThenPasses) {
    const QByteArray image = FirmwareFile(2100);
    auto sim = loader("091", "b", {"--check-wrong", "0:1"});
    const CliRun run =
        RunCli({"fw-update", file("fw.bin", image), "--port", sim->path(), "--yes", "--trace"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Warnning: Add:800, Check:"));
    EXPECT_EQ(CountRequests(dir.filePath("b.log"), "FW_DATA"), 16 + 16 + 1);
    EXPECT_EQ(CountRequests(dir.filePath("b.log"), "FW_CHK"), 3);
    EXPECT_EQ(read("b.flash"), image + QByteArray(76, '\xFF'));
}

TEST_F(SystemCli, PageThatAlwaysFailsStopsAfterThreeResends) {
    auto sim = loader("091", "c", {"--check-wrong", "0:all"});
    const CliRun run =
        RunCli({"fw-update", file("fw.bin", FirmwareFile(4096)), "--port", sim->path(), "--yes"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Update Fw Failed.")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("page 0x0"));
    EXPECT_EQ(CountRequests(dir.filePath("c.log"), "FW_CHK"), 4);
    EXPECT_EQ(CountRequests(dir.filePath("c.log"), "FW_DATA"), 4 * 16);
    EXPECT_EQ(CountRequests(dir.filePath("c.log"), "FW_END"), 0);
    EXPECT_FALSE(QFile::exists(dir.filePath("c.flash")));
}

TEST_F(SystemCli, UpdateRefusals) {
    // A device that accepted normally.
    Devsim normal({"--log", dir.filePath("n.log")});
    CliRun run =
        RunCli({"fw-update", file("fw.bin", FirmwareFile(4096)), "--port", normal.path(), "--yes"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Not ISP Mode.")) << run.err.toStdString();
    EXPECT_EQ(CountRequests(dir.filePath("n.log"), "FW_ADDR"), 0);

    // Loader 029 and an image past 64 KiB.
    auto small = loader("029", "e");
    run = RunCli(
        {"fw-update", file("big.bin", FirmwareFile(70000)), "--port", small->path(), "--yes"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Fw Too Large.")) << run.err.toStdString();
    EXPECT_EQ(CountRequests(dir.filePath("e.log"), "FW_ADDR"), 0);

    // No header.
    run = RunCli(
        {"fw-update", file("bare.bin", QByteArray(600, '\x01')), "--port", small->path(), "--yes"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Illegal FW."));

    // Not confirmed: no terminal to ask on, and no --yes.
    run = RunCli({"fw-update", file("fw.bin", FirmwareFile(4096)), "--port", small->path()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("--yes")) << run.err.toStdString();
    EXPECT_EQ(CountRequests(dir.filePath("e.log"), "FW_ADDR"), 0);

    EXPECT_EQ(RunCli({"fw-update", "fw.bin"}).exitCode, 2);
}

TEST_F(SystemCli, FirmwareInfo) {
    CliRun run = RunCli({"fw-info", file("fw.bin", FirmwareFile(70000)), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(o["target"].toString(), "Target :   VID-1A2B     PID-2037     Version-4.02");
    EXPECT_EQ(o["size"].toInt(), 70000);
    EXPECT_FALSE(o["fitsLoader029"].toBool());
    run = RunCli({"fw-info", file("short.bin", QByteArray(518, 'x'))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Illegal FW."));
    run = RunCli({"fw-info", dir.filePath("none.bin")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Fw Open Fail."));
    EXPECT_EQ(RunCli({"fw-info"}).exitCode, 2);
}

TEST_F(SystemCli, ProductStringAndFactoryDefaultOverTheComPort) {
    Devsim device({"--product", "Meeting Room", "--log", dir.filePath("p.log")});
    const QString seventy(70, 'Z');
    CliRun run = RunCli({"set-product", seventy, "--port", device.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), QString(63, 'Z').toLatin1());
    EXPECT_TRUE(run.err.contains("63 Letters Limited!"));
    run = RunCli({"set-product", QString(63, 'Z'), "--port", device.path()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("No Changed."));

    run = RunCli({"search", "--no-ethernet", "--port", device.path(), "--json"});
    EXPECT_EQ(QJsonDocument::fromJson(run.out).array()[0].toObject()["description"].toString(),
              " " + QString(63, 'Z') + " ");

    run = RunCli({"factory-default", "--port", device.path()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(CountRequests(dir.filePath("p.log"), "SYS_DEF"), 0);
    run = RunCli({"factory-default", "--port", device.path(), "--yes"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), "Meeting Room");
    EXPECT_EQ(CountRequests(dir.filePath("p.log"), "SYS_DEF"), 1);
    EXPECT_EQ(RunCli({"factory-default", "--mac", "00:11:22:33:44:55"}).exitCode, 2);
}

class NetworkCli : public SystemCli {
protected:
    void SetUp() override {
        const QJsonObject first{
            {"mac", "00:11:22:33:44:55"}, {"ip", "192.168.1.10"}, {"description", "Lobby"}};
        const QJsonObject second{
            {"mac", "00:11:22:33:44:66"}, {"ip", "192.168.1.11"}, {"webPort", 8080}};
        const QJsonObject config{
            {"network", QJsonObject{{"loopback", true}, {"devices", QJsonArray{first, second}}}}};
        const QString path = file("net.json", QJsonDocument(config).toJson());
        sim = std::make_unique<Devsim>(QStringList{"--no-serial", "--config", path});
        ASSERT_EQ(sim->process().state(), QProcess::Running);
    }

    QJsonObject listed(const QString& mac) {
        const CliRun run = RunCli({"search", "--no-serial", "--loopback", "--json"});
        for (const QJsonValue& row : QJsonDocument::fromJson(run.out).array()) {
            if (row.toObject()["mac"].toString() == mac) {
                return row.toObject();
            }
        }
        return {};
    }

    std::unique_ptr<Devsim> sim;
};

TEST_F(NetworkCli, IpWriteIsShownByTheNextSearch) {
    const QString mac = QStringLiteral("00:11:22:33:44:55");
    CliRun run = RunCli({"ip-config", "--mac", mac, "--loopback", "--ip", "192.168.1.20"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("03 0E 02 06 00 11 22 33 44 55 03 04 C0 A8 01 14 "));
    EXPECT_EQ(listed(mac)["ip"].toString(), "192.168.1.20");
    EXPECT_EQ(listed("00:11:22:33:44:66")["ip"].toString(), "192.168.1.11");

    run = RunCli({"ip-config", "--mac", mac, "--loopback", "--mode", "dhcp"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), "03 0B 02 06 00 11 22 33 44 55 07 01 01 AE 25");
    EXPECT_EQ(listed(mac)["network"].toObject()["ipMode"].toInt(), 1);

    // In DHCP mode an address is not sent; asking for one says so.
    run = RunCli({"ip-config", "--mac", mac, "--loopback", "--ip", "10.0.0.1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("DHCP"));
}

TEST_F(NetworkCli, RefusedWritesSendNothing) {
    const QString mac = QStringLiteral("00:11:22:33:44:66");
    for (const QStringList& bad :
         {QStringList{"--ip", "192.168.1.300"}, QStringList{"--web-port", "70000"},
          QStringList{"--telnet-port", "2x"}, QStringList{"--gateway", "1.2.3.4x"}}) {
        const CliRun run = RunCli(QStringList{"ip-config", "--mac", mac, "--loopback"} + bad);
        EXPECT_EQ(run.exitCode, 1) << bad.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("Nothing sent")) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    // A malformed address is left out, the rest goes, and the exit status says so.
    CliRun run = RunCli({"ip-config", "--mac", mac, "--loopback", "--mask", "10..0.1", "--gateway",
                         "192.168.1.254"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("10..0.1"));
    const QJsonObject after = listed(mac);
    EXPECT_EQ(after["network"].toObject()["gateway"].toString(), "192.168.1.254");
    EXPECT_EQ(after["network"].toObject()["subnetMask"].toString(), "255.255.255.0");
    EXPECT_EQ(after["ip"].toString(), "192.168.1.11");
    EXPECT_EQ(RunCli({"ip-config", "--mac", mac, "--mode", "auto"}).exitCode, 2);
}

TEST_F(NetworkCli, WebAddressAndProductString) {
    CliRun run = RunCli({"web-url", "--mac", "00:11:22:33:44:55", "--loopback"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), "Http://192.168.1.10/");
    run = RunCli({"web-url", "--mac", "00:11:22:33:44:66", "--loopback", "--json"});
    EXPECT_EQ(QJsonDocument::fromJson(run.out).object()["url"].toString(),
              "Http://192.168.1.11:8080/");

    run = RunCli({"set-product", "Front Desk", "--mac", "00:11:22:33:44:55", "--loopback"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(listed("00:11:22:33:44:55")["network"].toObject()["description"].toString(),
              "Front Desk");
}
