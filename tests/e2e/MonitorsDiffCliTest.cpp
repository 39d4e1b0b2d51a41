// linkvex-cli monitors against a sysfs tree the test builds, and linkvex-cli diff on corpus
// files and on variants the test makes of them.
#include "support/Processes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace lvx::test;

namespace {

const QString kCorpus = QStringLiteral(LVX_CORPUS_DIR);
const QString kLg = kCorpus + "/002959BBD30B.bin";   // GSM, LG ULTRAGEAR
const QString kDell = kCorpus + "/00495CE9E498.bin"; // DEL, DELL D2721H

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The kernel's layout: class/drm with the cards, their connectors and other entries.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        drm = root.filePath("class/drm");
        Write(drm + "/card0-HDMI-A-1/edid", FileBytes(kLg));
        Write(drm + "/card0-DP-1/edid", QByteArray());               // nothing connected
        Write(drm + "/card0-DP-2/edid", FileBytes(kDell).left(100)); // cut short
        Write(drm + "/card1-HDMI-A-1/edid", FileBytes(kDell));
        Write(drm + "/card0/dev", "226:0\n");
        Write(drm + "/renderD128/dev", "226:128\n");
        QDir().mkpath(drm + "/card0-Writeback-1"); // no edid attribute at all
        Write(drm + "/version", "drm 1.1.0\n");
        // The kernel's entries are links to the devices' directories.
        Write(root.filePath("devices/pci0/card0-eDP-1/edid"), FileBytes(kLg));
        QFile::link(root.filePath("devices/pci0/card0-eDP-1"), drm + "/card0-eDP-1");
        // An attribute that is no regular file is never read (a FIFO would block).
        QDir().mkpath(drm + "/card0-DP-3");
        ASSERT_EQ(::mkfifo(QFile::encodeName(drm + "/card0-DP-3/edid").constData(), 0600), 0);
        qputenv("LINKVEX_SYSFS_ROOT", root.path().toLocal8Bit());
    }
    void TearDown() override { qunsetenv("LINKVEX_SYSFS_ROOT"); }

    QTemporaryDir root;
    QString drm;
};

} // namespace

TEST_F(FakeSysfs, MonitorsListsEveryConnectorWithAnEdidAttribute) {
    const CliRun text = RunCli({"monitors"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(text.out), "DP-1\tno EDID (empty)\n"
                                           "DP-2\tno EDID (truncated, 100 bytes)\n"
                                           "DP-3\tno EDID (cannot be read)\n"
                                           "HDMI-A-1\tok\tGSM\tLG ULTRAGEAR\n"
                                           "eDP-1\tok\tGSM\tLG ULTRAGEAR\n"
                                           "HDMI-A-1\tok\tDEL\tDELL D2721H\n");

    const CliRun json = RunCli({"monitors", "--json"});
    ASSERT_EQ(json.exitCode, 0);
    const QJsonArray list = QJsonDocument::fromJson(json.out).array();
    ASSERT_EQ(list.size(), 6);
    const QJsonObject empty = list[0].toObject();
    EXPECT_EQ(empty["connector"].toString(), "DP-1");
    EXPECT_EQ(empty["status"].toString(), "no EDID");
    EXPECT_TRUE(empty["manufacturer"].isNull());
    const QJsonObject lg = list[3].toObject();
    EXPECT_EQ(list[5].toObject()["card"].toInt(), 1);
    EXPECT_EQ(lg["status"].toString(), "ok");
    EXPECT_EQ(lg["manufacturer"].toString(), "GSM");
    EXPECT_EQ(lg["monitor"].toString(), "LG ULTRAGEAR");
    // The analyzer's facts under the names analyze --json gives them.
    const QJsonArray analyzed =
        QJsonDocument::fromJson(RunCli({"analyze", "--json", kLg}).out).array();
    ASSERT_EQ(analyzed.size(), 1);
    for (const char* key : {"Edid_Header", "Edid_Format", "Max_Resolution", "Support_HDR",
                            "Audio_Formats", "CEC_Address"}) {
        EXPECT_EQ(lg[key], analyzed[0].toObject()[key]) << key;
    }
}

TEST_F(FakeSysfs, MonitorsSavesOneConnectorsEdid) {
    QTemporaryDir out;
    // Two cards share HDMI-A-1: the bare name is refused, the directory's name is not.
    const CliRun ambiguous =
        RunCli({"monitors", "--connector", "HDMI-A-1", "-o", out.filePath("x")});
    EXPECT_EQ(ambiguous.exitCode, 1);
    EXPECT_TRUE(ambiguous.err.contains("card"));
    const CliRun saved =
        RunCli({"monitors", "--connector", "card1-HDMI-A-1", "-o", out.filePath("dell")});
    EXPECT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    EXPECT_EQ(FileBytes(out.filePath("dell.bin")), FileBytes(kDell));

    EXPECT_EQ(RunCli({"monitors", "--connector", "DP-2", "-o", out.filePath("cut.bin")}).exitCode,
              1);
    EXPECT_FALSE(QFile::exists(out.filePath("cut.bin")));
    EXPECT_EQ(RunCli({"monitors", "--connector", "VGA-1", "-o", out.filePath("v.bin")}).exitCode,
              1);
    EXPECT_EQ(RunCli({"monitors", "-o", out.filePath("y.bin")}).exitCode, 2);

    // The tree moved somewhere empty: no connectors, no failure.
    qputenv("LINKVEX_SYSFS_ROOT", out.filePath("nothing").toLocal8Bit());
    const CliRun none = RunCli({"monitors", "--json"});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_TRUE(QJsonDocument::fromJson(none.out).array().isEmpty());
}

// The checksum byte that makes a block's 128 bytes sum to 0.
char BlockChecksum(const QByteArray& bytes, int block) {
    int sum = 0;
    for (int i = block * 128; i < block * 128 + 127; ++i) {
        sum += static_cast<unsigned char>(bytes[i]);
    }
    return static_cast<char>((256 - sum % 256) % 256);
}

// A display's EDID is saved at its own length, 128 bytes per block: a base block alone gets
// no 0xFF behind it (other tools would read that as a broken extension), three blocks stay
// three, and what the attribute holds past the blocks the EDID announces is left out.
TEST_F(FakeSysfs, MonitorsSavesTheEdidAtItsOwnLength) {
    QByteArray base = FileBytes(kLg).left(128);
    base[126] = 0;
    base[127] = BlockChecksum(base, 0);
    QByteArray three = FileBytes(kLg) + QByteArray(128, '\x70');
    three[126] = 2;
    three[127] = BlockChecksum(three, 0);
    Write(drm + "/card2-DP-1/edid", base);
    Write(drm + "/card2-DP-2/edid", base + QByteArray(128, '\0'));
    Write(drm + "/card2-DP-3/edid", three);

    QTemporaryDir out;
    const struct {
        const char* connector;
        QByteArray expected;
    } cases[] = {{"card2-DP-1", base}, {"card2-DP-2", base}, {"card2-DP-3", three}};
    for (const auto& c : cases) {
        const QString file = out.filePath(QString(c.connector) + ".bin");
        const CliRun saved = RunCli({"monitors", "--connector", c.connector, "-o", file});
        EXPECT_EQ(saved.exitCode, 0) << c.connector << ": " << saved.err.toStdString();
        EXPECT_EQ(FileBytes(file).size(), c.expected.size()) << c.connector;
        EXPECT_EQ(FileBytes(file), c.expected) << c.connector;
    }
    // The program's own reading still pads: the base block alone validates and analyses.
    const CliRun validate = RunCli({"validate", out.filePath("card2-DP-1.bin")});
    EXPECT_EQ(validate.exitCode, 0) << validate.out.toStdString();
}

TEST(DiffCli, ExitStatusAndWhatDiffers) {
    QTemporaryDir dir;
    EXPECT_EQ(RunCli({"diff", kLg, kLg}).exitCode, 0);
    EXPECT_TRUE(RunCli({"diff", kLg, kLg}).out.isEmpty());
    EXPECT_EQ(RunCli({"diff", kLg}).exitCode, 2);
    EXPECT_EQ(RunCli({"diff", kLg, dir.filePath("missing.bin")}).exitCode, 2);

    // VIC 4 (at 149) becomes VIC 97; the block 1 checksum follows.
    QByteArray changed = FileBytes(kLg);
    changed[149] = 97;
    int sum = 0;
    for (int i = 128; i < 255; ++i) {
        sum += static_cast<unsigned char>(changed[i]);
    }
    changed[255] = static_cast<char>((256 - sum % 256) % 256);
    Write(dir.filePath("b.bin"), changed);

    const CliRun text = RunCli({"diff", kLg, dir.filePath("b.bin")});
    EXPECT_EQ(text.exitCode, 1);
    const QString out = QString::fromUtf8(text.out);
    EXPECT_TRUE(out.contains("Max Resolution: 1080p@60Hz -> 2160p@60Hz")) << out.toStdString();
    EXPECT_TRUE(out.contains("  - VIC 4: 1280x720p 60 Hz 16:9\n"));
    EXPECT_TRUE(out.contains("  + VIC 97: 3840x2160p 60 Hz 16:9\n"));
    EXPECT_TRUE(out.contains("0x95  Video Data Block  04 -> 61"));
    EXPECT_TRUE(out.contains("Bytes: 2 differ"));

    const CliRun json = RunCli({"diff", "--json", kLg, dir.filePath("b.bin")});
    EXPECT_EQ(json.exitCode, 1);
    const QJsonObject o = QJsonDocument::fromJson(json.out).object();
    EXPECT_FALSE(o["equal"].toBool());
    EXPECT_EQ(o["differingBytes"].toInt(), 2);
    EXPECT_EQ(o["facts"].toArray().size(), 15);
    const QJsonArray ranges = o["ranges"].toArray();
    ASSERT_EQ(ranges.size(), 2);
    EXPECT_EQ(ranges[1].toObject()["first"].toInt(), 255);
    EXPECT_EQ(ranges[1].toObject()["field"].toString(), "Block 1 checksum");
    EXPECT_EQ(o["changes"].toArray().size(), 2);

    // Two different monitors differ in many ways; the count of bytes is the test's own.
    const QByteArray a = FileBytes(kLg), b = FileBytes(kDell);
    int differing = 0;
    for (int i = 0; i < 256; ++i) {
        differing += a[i] != b[i];
    }
    const QJsonObject two =
        QJsonDocument::fromJson(RunCli({"diff", "--json", kLg, kDell}).out).object();
    EXPECT_EQ(two["differingBytes"].toInt(), differing);
}
