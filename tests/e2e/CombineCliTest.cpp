// linkvex-cli combine: files and a device's output as sources, the written file, the JSON
// report and the exit status of each outcome.
#include "support/Processes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <utility>

using namespace lvx::test;

namespace {

const QString kCorpus = QStringLiteral(LVX_CORPUS_DIR);
// A 4K HDR television and a 1080p display of the sample set.
const QString kTv = kCorpus + QStringLiteral("/0146DD9202CC.bin");
const QString kOther = kCorpus + QStringLiteral("/242C30E096F2.bin");

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

constexpr unsigned char k720p[18] = {0x01, 0x1D, 0x00, 0x72, 0x51, 0xD0, 0x1E, 0x20, 0x6E,
                                     0x28, 0x55, 0x00, 0,    0,    0,    0,    0,    0x1E};
constexpr unsigned char k1080p[18] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                                      0x2C, 0x45, 0x00, 0,    0,    0,    0,    0,    0x1E};

// A base block whose only timing is the given detailed timing (checksum right).
QByteArray OnlyTiming(const unsigned char* dtd) {
    QByteArray b(128, '\0');
    const unsigned char head[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    for (int i = 0; i < 8; ++i) {
        b[i] = static_cast<char>(head[i]);
    }
    b[8] = 0x04;
    b[9] = 0x21;
    b[18] = 1;
    b[19] = 3;
    b[20] = char(0x80);
    b[24] = 0x0A;
    for (int i = 0; i < 18; ++i) {
        b[54 + i] = static_cast<char>(dtd[i]);
    }
    for (int at = 72; at < 126; at += 18) {
        b[at + 3] = 0x10;
    }
    unsigned sum = 0;
    for (int i = 0; i < 127; ++i) {
        sum += static_cast<unsigned char>(b[i]);
    }
    b[127] = static_cast<char>((256 - sum % 256) % 256);
    return b;
}

TEST(CombineCli, WritesTheResultAndReportsItAsJson) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("combined.bin"));
    const CliRun run = RunCli({"combine", kTv, kOther, "--intent", "no hdr", "-o", out, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject o = QJsonDocument::fromJson(run.out).object();
    const QByteArray file = ReadAll(out);
    ASSERT_EQ(file.size() % 128, 0);
    EXPECT_EQ(o.value(QStringLiteral("hex")).toString().toLatin1(), file.toHex().toUpper());
    EXPECT_TRUE(o.value(QStringLiteral("kept")).toObject().contains(QStringLiteral("vics")));
    const QJsonArray dropped = o.value(QStringLiteral("dropped")).toArray();
    bool hdr = false;
    for (const QJsonValue& d : dropped) {
        const QJsonObject x = d.toObject();
        ASSERT_TRUE(x.contains(QStringLiteral("what")) && x.contains(QStringLiteral("why")) &&
                    x.contains(QStringLiteral("sink")));
        hdr = hdr || x.value(QStringLiteral("why")).toString().contains(QStringLiteral("no hdr"));
    }
    EXPECT_TRUE(hdr || !o.value(QStringLiteral("kept"))
                            .toObject()
                            .value(QStringLiteral("colour"))
                            .toArray()
                            .contains(QStringLiteral("Transfer function HDR10")));
    // Text: the drops name the display they are about.
    const CliRun text = RunCli({"combine", kTv, kOther, "-o", out});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_TRUE(text.out.contains("Dropped VIC")) << text.out.constData();
}

TEST(CombineCli, NoCommonTimingWritesNothingAndUsageErrorsAreTwo) {
    QTemporaryDir dir;
    const QString hd = dir.filePath(QStringLiteral("hd.bin"));
    const QString fhd = dir.filePath(QStringLiteral("fhd.bin"));
    for (const auto& [path, dtd] : {std::pair{hd, k720p}, std::pair{fhd, k1080p}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(OnlyTiming(dtd));
    }
    const QString out = dir.filePath(QStringLiteral("out.bin"));
    QFile old(out);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("keep me");
    old.close();
    // A 720p display against a 1080p one: no timing in common.
    CliRun run = RunCli({"combine", hd, fhd, "-o", out});
    EXPECT_EQ(run.exitCode, 1) << run.out.constData();
    EXPECT_EQ(ReadAll(out), QByteArray("keep me"));
    EXPECT_EQ(RunCli({"combine", kTv, kOther}).exitCode, 2) << "no -o";
    EXPECT_EQ(RunCli({"combine", "-o", out}).exitCode, 2) << "no source";
    EXPECT_EQ(RunCli({"combine", kTv, "--intent", "max 8k", "-o", out}).exitCode, 2);
    EXPECT_EQ(RunCli({"combine", kTv, "--blocks", "3", "-o", out}).exitCode, 2);
    EXPECT_EQ(RunCli({"combine", kTv, "--video-only", kOther, "-o", out}).exitCode, 2);
    EXPECT_EQ(RunCli({"combine", kTv, dir.filePath("missing.bin"), "-o", out}).exitCode, 1);
    EXPECT_EQ(ReadAll(out), QByteArray("keep me"));
    // Four blocks allowed, one EDID and an intent.
    run = RunCli({"combine", kTv, "--blocks", "4", "--intent", "hdmi 1.4", "-o", out});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
}

TEST(CombineCli, ReadsThisPcsMonitor) {
    QTemporaryDir sysfs;
    const QString connector = sysfs.filePath(QStringLiteral("class/drm/card0-HDMI-A-1"));
    ASSERT_TRUE(QDir().mkpath(connector));
    QFile edid(connector + QStringLiteral("/edid"));
    ASSERT_TRUE(edid.open(QIODevice::WriteOnly));
    edid.write(ReadAll(kOther));
    edid.close();
    qputenv("LINKVEX_SYSFS_ROOT", sysfs.path().toLocal8Bit());
    const QString out = sysfs.filePath(QStringLiteral("out.bin"));
    const CliRun run = RunCli({"combine", "monitor:HDMI-A-1", kTv, "-o", out});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    const CliRun missing = RunCli({"combine", "monitor:DP-9", kTv, "-o", out});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("DP-9")) << missing.err.constData();
    qunsetenv("LINKVEX_SYSFS_ROOT");
}

TEST(CombineCli, ReadsADeviceOutput) {
    Devsim device({"--counts", "2,2,4,8,0"});
    ASSERT_FALSE(device.path().isEmpty());
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("o.bin"));
    const CliRun run = RunCli({"combine", "node:output1", kOther, "--identity", kOther, "-o", out,
                               "--port", device.path(), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QByteArray file = ReadAll(out);
    ASSERT_GE(file.size(), 128);
    EXPECT_EQ(file.mid(8, 4), ReadAll(kOther).mid(8, 4)) << "identity from the named file";
    EXPECT_EQ(
        RunCli({"combine", "node:output9", kOther, "-o", out, "--port", device.path()}).exitCode,
        1);
}

} // namespace
