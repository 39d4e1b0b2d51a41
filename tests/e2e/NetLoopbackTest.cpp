// linkvex-devsim and net_search_probe as two processes on loopback.

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/Processes.h"
#include "support/QtTestSupport.h"

using lvx::test::Devsim;
using lvx::test::EnsureApplication;

namespace {

const QString kBin = QStringLiteral(LVX_BIN_DIR);

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

struct ProbeRun {
    int exitCode = -1;
    std::vector<QJsonObject> lines;
    QByteArray errors;
};

ProbeRun RunProbe(const QStringList& arguments) {
    QProcess probe;
    probe.start(kBin + "/net_search_probe", arguments);
    ProbeRun run;
    if (!probe.waitForFinished(15000)) {
        probe.kill();
        probe.waitForFinished(1000);
        return run;
    }
    run.exitCode = probe.exitCode();
    run.errors = probe.readAllStandardError();
    for (const QByteArray& line : probe.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty()) {
            run.lines.push_back(QJsonDocument::fromJson(line).object());
        }
    }
    return run;
}

std::vector<QJsonObject> With(const std::vector<QJsonObject>& lines, const char* key) {
    std::vector<QJsonObject> out;
    for (const QJsonObject& line : lines) {
        if (line.contains(key)) {
            out.push_back(line);
        }
    }
    return out;
}

} // namespace

TEST(NetLoopback, ProbeFindsTheDevicesOfAConfigFileOnceEach) {
    EnsureApplication();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteFile(dir.filePath("in1.bin"), QByteArray(256, '\x11'));
    const QJsonObject config{
        {"network",
         QJsonObject{{"loopback", true},
                     {"devices", QJsonArray{
                                     QJsonObject{{"mac", "00:11:22:33:44:55"},
                                                 {"productName", "First"},
                                                 {"edids", QJsonObject{{"input1", "in1.bin"}}},
                                                 {"faults", QJsonObject{{"answerTwice", true}}}},
                                     QJsonObject{{"mac", "00:11:22:33:44:66"},
                                                 {"ip", "10.9.8.7"},
                                                 {"description", "Second one"},
                                                 {"vid", "77"},
                                                 {"faults", QJsonObject{{"unknownTag", true}}}},
                                     QJsonObject{{"mac", "00:11:22:33:44:77"},
                                                 {"faults", QJsonObject{{"badCrc", true}}}},
                                 }}}}};
    WriteFile(dir.filePath("devsim.json"), QJsonDocument(config).toJson());

    Devsim sim;
    ASSERT_TRUE(sim.start({"--no-serial", "--config", dir.filePath("devsim.json")}))
        << sim.process().readAllStandardError().toStdString();

    const ProbeRun run = RunProbe({"--loopback", "--open"});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const std::vector<QJsonObject> found = With(run.lines, "found");
    ASSERT_EQ(found.size(), 2u);
    std::map<QString, QJsonObject> byMac;
    for (const QJsonObject& line : found) {
        byMac[line["mac"].toString()] = line;
        EXPECT_EQ(line["interface"].toString(), "ETHERNET");
    }
    ASSERT_EQ(byMac.count("00:11:22:33:44:55"), 1u);
    ASSERT_EQ(byMac.count("00:11:22:33:44:66"), 1u);
    EXPECT_EQ(byMac["00:11:22:33:44:55"]["productName"].toString(), "First");
    EXPECT_EQ(byMac["00:11:22:33:44:66"]["ip"].toString(), "10.9.8.7");
    EXPECT_EQ(byMac["00:11:22:33:44:66"]["description"].toString(), "Second one");

    const std::vector<QJsonObject> opened = With(run.lines, "opened");
    ASSERT_EQ(opened.size(), 2u);
    for (const QJsonObject& line : opened) {
        const QJsonObject& listed = found[static_cast<std::size_t>(line["opened"].toInt() - 1)];
        const bool second = listed["mac"].toString() == "00:11:22:33:44:66";
        EXPECT_EQ(line["vid"].toString(), second ? "  77" : "1A2B");
        EXPECT_EQ(line["version"].toString(), "v1.00");
        EXPECT_EQ(line["productString"].toString(), listed["description"].toString());
        EXPECT_EQ(line["inputs"].toInt(), 2);
        EXPECT_EQ(line["users"].toInt(), 4);
    }
    EXPECT_EQ(With(run.lines, "count").at(0)["count"].toInt(), 2);
}

TEST(NetLoopback, SimulatorRefusesAWrongConfigFile) {
    EnsureApplication();
    QTemporaryDir dir;
    WriteFile(dir.filePath("bad.json"), R"({"network": {"devices": [{"mac": "zz"}]}})");
    Devsim sim;
    EXPECT_FALSE(sim.start({"--no-serial", "--config", dir.filePath("bad.json")}));
    sim.process().waitForFinished(5000);
    ASSERT_EQ(sim.process().state(), QProcess::NotRunning);
    EXPECT_EQ(sim.process().exitCode(), 2);
    EXPECT_TRUE(sim.process().readAllStandardOutput().isEmpty());
    EXPECT_TRUE(sim.process().readAllStandardError().contains("\"mac\""));
}
