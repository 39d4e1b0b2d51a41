// linkvex-cli search against linkvex-devsim over pseudo terminals.
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

QJsonArray Devices(const CliRun& run) {
    return QJsonDocument::fromJson(run.out).array();
}

CliRun Search(const QStringList& ports, const QStringList& extra = {}) {
    QStringList args = {QStringLiteral("search"), QStringLiteral("--no-ethernet"),
                        QStringLiteral("--json"), QStringLiteral("--trace")};
    for (const QString& port : ports) {
        args << QStringLiteral("--port") << port;
    }
    return RunCli(args + extra);
}

class SerialSearch : public ::testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }
};

} // namespace

TEST_F(SerialSearch, ListsTheFirstAcceptingDeviceAndStopsThere) {
    Devsim silent({"--silent"});
    Devsim device({"--model", "QT-7700TX", "--product", "48V Valens TX", "--counts", "2,1,4,8,0"});
    QTemporaryDir dir;
    const QString unusedLog = dir.filePath("unused.log");
    Devsim unused({"--log", unusedLog});
    ASSERT_FALSE(silent.path().isEmpty());
    ASSERT_FALSE(device.path().isEmpty());

    const CliRun run = Search({"/dev/no-such-port", silent.path(), device.path(), unused.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonArray devices = Devices(run);
    ASSERT_EQ(devices.size(), 1) << run.out.constData();
    const QJsonObject row = devices[0].toObject();
    EXPECT_EQ(row["row"].toInt(), 1);
    EXPECT_EQ(row["interface"].toString(), device.path());
    EXPECT_EQ(row["product"].toString(), "HDBT TX");
    EXPECT_EQ(row["description"].toString(), " HDBT TX ");
    EXPECT_EQ(row["ip"].toString(), "NC");
    EXPECT_EQ(row["mac"].toString(), "NC");
    EXPECT_FALSE(row["isp"].toBool());
    const QJsonObject record = row["record"].toObject();
    EXPECT_EQ(record["vid"].toString(), "1A2B");
    EXPECT_EQ(record["linkKind"].toInt(), 1);
    EXPECT_EQ(record["inputCount"].toInt(), 2);
    EXPECT_EQ(record["userEdidCount"].toInt(), 4);
    EXPECT_EQ(record["internalEdidCount"].toInt(), 8);
    // The first input's node descriptor: fields 1..8 = 1 0 0 T T F T F, mode unknown.
    EXPECT_EQ(record["inputNodes"].toArray()[0].toArray(),
              (QJsonArray{1, 0, 0, 1, 255, 1, 0, 1, 0}));

    const QString trace = QString::fromLatin1(run.err);
    EXPECT_TRUE(trace.contains("Open /dev/no-such-port Failed."));
    EXPECT_TRUE(trace.contains("Check " + silent.path()));
    EXPECT_TRUE(trace.contains("No Device Detected."));
    EXPECT_TRUE(trace.contains("Got One Device."));
    EXPECT_TRUE(trace.contains("Device Cnt= [1]"));
    EXPECT_FALSE(trace.contains("Check " + unused.path()));
    QFile log(unusedLog);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().isEmpty()) << "the port after the device must not be used";
}

TEST_F(SerialSearch, SendsTheConnectFramesInOrder) {
    QTemporaryDir dir;
    const QString logPath = dir.filePath("device.log");
    Devsim device({"--log", logPath});
    const CliRun run = Search({device.path()});
    ASSERT_EQ(Devices(run).size(), 1);
    QFile log(logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    QStringList requests;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() > 2 && words[1] == "RX") {
            requests << QString::fromLatin1(line.mid(line.indexOf("RX ") + 3));
        }
    }
    ASSERT_GE(requests.size(), 4);
    EXPECT_EQ(requests[0], " \\r$ENTRANCE FFFF\\r\\n");
    EXPECT_EQ(requests[1], "$GET SYS_DSCPT FFFF\\r\\n");
    EXPECT_EQ(requests[2], "$SET ND_SEL 0000" + QString("4E5C") + "\\r\\n");
    EXPECT_EQ(requests[3], "$GET ND_DSCPT FFFF\\r\\n");
}

TEST_F(SerialSearch, CorruptedDescriptorIsRetriedOnceThenRead) {
    // Answer 1 is "$ACCEPT", answer 2 the first descriptor.
    Devsim device({"--corrupt-crc", "2", "--split", "7", "--split-delay", "1"});
    const CliRun run = Search({device.path()});
    const QJsonArray devices = Devices(run);
    ASSERT_EQ(devices.size(), 1) << run.err.constData();
    const QString trace = QString::fromLatin1(run.err);
    EXPECT_EQ(trace.count("Retry [Cmd=1]"), 1);
    EXPECT_EQ(trace.count("CRC Err! [Cmd=1]"), 1);
    EXPECT_FALSE(trace.contains("SYS_Descript Err!!!"));
    EXPECT_EQ(devices[0].toObject()["record"].toObject()["vid"].toString(), "1A2B");
}

TEST_F(SerialSearch, DescriptorFailingTwiceIsReported) {
    Devsim device({"--corrupt-crc", "2", "--corrupt-crc", "3"});
    const CliRun run = Search({device.path()});
    EXPECT_EQ(Devices(run).size(), 1);
    EXPECT_TRUE(QString::fromLatin1(run.err).contains("SYS_Descript Err!!!"));
}

TEST_F(SerialSearch, LoaderModeDeviceIsListedAndTheSearchGoesOn) {
    Devsim loader({"--isp", "091", "--model", "QX-AD200"});
    Devsim device(QStringList{});
    const CliRun run = Search({loader.path(), device.path()});
    const QJsonArray devices = Devices(run);
    ASSERT_EQ(devices.size(), 2) << run.err.constData();
    const QJsonObject isp = devices[0].toObject();
    EXPECT_TRUE(isp["isp"].toBool());
    EXPECT_EQ(isp["product"].toString(), "QX-AD200");
    EXPECT_EQ(isp["description"].toString(), "ISP Mode");
    EXPECT_EQ(isp["ip"].toString(), "NC");
    EXPECT_EQ(devices[1].toObject()["row"].toInt(), 2);
    EXPECT_FALSE(devices[1].toObject()["isp"].toBool());
}

TEST_F(SerialSearch, NothingFoundStillSucceedsWithAnEmptyList) {
    Devsim silent({"--silent"});
    const CliRun run = Search({silent.path()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Devices(run).size(), 0);
    EXPECT_TRUE(QString::fromLatin1(run.err).contains("Device Cnt= [0]"));
}

TEST(Cli, UsageAndVersion) {
    EXPECT_EQ(RunCli({"--version"}).exitCode, 0);
    EXPECT_EQ(RunCli({"--help"}).exitCode, 0);
    EXPECT_EQ(RunCli({}).exitCode, 2);
    EXPECT_EQ(RunCli({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(RunCli({"search", "--bogus"}).exitCode, 2);
    const CliRun ports = RunCli({"ports", "--port", "/dev/a", "--port", "/dev/b"});
    EXPECT_EQ(ports.out, "/dev/a\n/dev/b\n");
}
