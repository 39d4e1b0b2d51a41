// linkvex-cli creator-load, creator-build and creator-write: the creator from the command
// line, the writes against linkvex-devsim over a pseudo terminal and over loopback UDP.
#include "support/Processes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace lvx::test;

namespace {

QJsonObject Json(const CliRun& run) {
    return QJsonDocument::fromJson(run.out).object();
}

QString WriteFile(const QTemporaryDir& dir, const char* name, const QByteArray& bytes) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

TEST(CreatorLoadCli, BrandNewOnAGivenDay) {
    const CliRun run = RunCli({"creator-load", "--brand-new", "--date", "2026-12-07", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject o = Json(run);
    EXPECT_TRUE(o["file"].isNull());
    EXPECT_EQ(o["status"].toInt(), 0x0182);
    const QString hex = o["hex"].toString();
    ASSERT_EQ(hex.size(), 512);
    EXPECT_EQ(hex.mid(32, 4), QString("3224")); // week 50, year 2026
    EXPECT_EQ(hex.mid(2 * 255, 2), QString("C8"));
    const QJsonObject controls = o["controls"].toObject();
    EXPECT_EQ(controls["Edit_Creator_Manufac_Year"].toString(), QString("2026"));
    EXPECT_EQ(controls["Edit_HDR_DCLD_1"].toString(), QString("    0"));
    EXPECT_EQ(controls["Edit_AudioAC3_BitRate"].toString(), QString("     0"));
    EXPECT_EQ(controls["ComboBox_Block0_DTD"].toInt(-1), 4);
    EXPECT_EQ(controls["CheckBox_VideoIdCode_16"].toBool(false), true);
    EXPECT_EQ(controls["CheckBox_SpeakerPosition_8r"].toBool(true), false);
    EXPECT_TRUE(controls.contains("CheckBox_AudDetial_OBA"));
    EXPECT_TRUE(controls.contains("CheckBox_AudioFormat_2"));
    EXPECT_TRUE(controls["RadioButton_Edid_Fmt_Hdmi"].toBool(false));
    // Check boxes: 17 established + 5 standard + 21 VICs + 2 4:2:0 VICs + 9 formats + 8 x 7
    // frequencies + 3 sample sizes + 11 speakers and 6 right-hand ones + 8 "For Detail" + 3
    // colour spaces + 3 depths + 8 colorimetry + 3 HDR depths + 3 EOTF + "Type 1" + 3D. Edits:
    // 6 descriptor + 8 MaxCh + 3 bit rates + 3 luminance + CEC. Two radio buttons, two combos.
    EXPECT_EQ(controls.size(), (17 + 5 + 21 + 2 + 9 + 56 + 3 + 17 + 8 + 3 + 3 + 8 + 3 + 3 + 1 + 1) +
                                   (6 + 8 + 3 + 3 + 1) + 2 + 2);
}

TEST(CreatorLoadCli, FilesAndTheirFaults) {
    QTemporaryDir dir;
    // A short file: 0xFF past its end breaks block 1's checksum. Not an error of the command.
    QByteArray base(128, '\0');
    const char header[] = {0,          char(0xFF), char(0xFF), char(0xFF),
                           char(0xFF), char(0xFF), char(0xFF), 0};
    base.replace(0, 8, QByteArray(header, 8));
    base[126] = 1;
    unsigned sum = 0;
    for (int i = 0; i < 127; ++i) {
        sum += static_cast<unsigned char>(base[i]);
    }
    base[127] = char((256 - sum % 256) % 256);
    const QString shortFile = WriteFile(dir, "short.bin", base);
    CliRun run = RunCli({"creator-load", shortFile, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QJsonObject o = Json(run);
    EXPECT_EQ(o["file"].toString(), shortFile);
    EXPECT_EQ(o["status"].toInt() & 0x0078, 0x0020);
    EXPECT_EQ(o["controls"].toObject()["Edit_Creator_Manufac_Name"].toString(), QString("Error."));
    EXPECT_EQ(o["hex"].toString().right(256), QString(256, 'F'));

    run = RunCli({"creator-load", dir.filePath("missing.bin")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("cannot open"));
    EXPECT_TRUE(run.out.isEmpty());

    const QString rich = QStringLiteral(LVX_SOURCE_DIR "/tests/data/edid/A2E567512AB1.bin");
    run = RunCli({"creator-load", rich});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains("Edit_Creator_Monitor_Name: \"27GL850\""));
    EXPECT_TRUE(run.out.contains("\n00: 00 FF FF FF FF FF FF 00"));
}

TEST(CreatorLoadCli, UsageErrors) {
    for (const QStringList& arguments :
         {QStringList{"creator-load"}, QStringList{"creator-load", "a.bin", "--brand-new"},
          QStringList{"creator-load", "a.bin", "b.bin"},
          QStringList{"creator-load", "--brand-new", "--date", "2026-13-01"},
          QStringList{"creator-load", "--brand-new", "--date", "7.12.2026"},
          QStringList{"creator-load", "a.bin", "--date", "2026-12-07"}}) {
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
    }
}

} // namespace

namespace {

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(CreatorBuildCli, SetsGoThroughTheRulesAndTheFileIsSaved) {
    QTemporaryDir dir;
    const QString out = dir.filePath("tv");
    CliRun run = RunCli({"creator-build", "--brand-new", "--date", "2026-12-07", "--set",
                         "Edit_Creator_Manufac_Name=abc", "--set", "Edit_Creator_Monitor_Name=TV",
                         "--set", "CheckBox_VideoIdCode_97=1", "--set",
                         "Edit_Creator_Manufac_Week=60", "-o", out, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject o = Json(run);
    EXPECT_TRUE(o["error"].isNull());
    EXPECT_EQ(o["warning"].toString(), QString("53 Limited!"));
    EXPECT_TRUE(o["flag"].toBool());
    const QByteArray hex = o["hex"].toString().toLatin1();
    ASSERT_EQ(hex.size(), 512);
    const QByteArray saved = FileBytes(out + ".bin"); // ".bin" added
    EXPECT_EQ(saved.toHex().toUpper(), hex);
    EXPECT_EQ(saved.mid(8, 2), QByteArray("\x04\x43", 2));           // ABC
    EXPECT_EQ(saved.mid(16, 1), QByteArray("\x3C", 1));              // week 60, in red
    EXPECT_EQ(saved.mid(0x5F, 4), QByteArray("TV\x0A ", 4));         // the name
    EXPECT_EQ(saved.mid(128 + 4, 3), QByteArray("\x42\x10\x61", 3)); // VIC 97 added

    // Unknown names and values the control does not take are usage errors; nothing written.
    for (const QString& set :
         {QString("Edit_Nothing=1"), QString("CheckBox_VideoIdCode_16=yes"),
          QString("RadioButton_Edid_Fmt_Hdmi=0"), QString("Label3=x"),
          QString("ComboBox_Block0_DTD=11"), QString("CheckBox_AudioFormat_2=1"),
          QString("CheckBox_VideoIdCode_16")}) {
        run = RunCli({"creator-build", "--brand-new", "--set", set, "-o", dir.filePath("no.bin")});
        EXPECT_EQ(run.exitCode, 2) << set.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("no.bin")));

    // A CEC address the build cannot read: an error, no image, no file.
    run = RunCli({"creator-build", "--brand-new", "--set", "Edit_Creator_CEC_Address=1.0.0.0", "-o",
                  dir.filePath("cec.bin"), "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Json(run)["hex"].isNull());
    EXPECT_TRUE(Json(run)["error"].toString().contains("four hexadecimal digits"));
    EXPECT_FALSE(QFile::exists(dir.filePath("cec.bin")));
}

// A sample of the corpus built with no edits and read by Debian's edid-decode: no checksum
// and no length faults.
TEST(CreatorBuildCli, EdidDecodeFindsNoChecksumOrLengthFault) {
    const QString decoder = QStandardPaths::findExecutable("edid-decode");
    if (decoder.isEmpty()) {
        GTEST_SKIP() << "edid-decode is not installed";
    }
    QTemporaryDir dir;
    const QStringList files = QDir(QStringLiteral(LVX_SOURCE_DIR "/tests/data/edid"))
                                  .entryList({"*.bin"}, QDir::Files, QDir::Name);
    int checked = 0;
    for (int i = 0; i < files.size(); i += 37) {
        const QString source = QStringLiteral(LVX_SOURCE_DIR "/tests/data/edid/") + files[i];
        if (RunCli({"validate", source}).exitCode != 0) {
            continue;
        }
        const QString built = dir.filePath(files[i]);
        ASSERT_EQ(RunCli({"creator-build", source, "-o", built}).exitCode, 0)
            << files[i].toStdString();
        QProcess process;
        process.start(decoder, {"-c", built});
        ASSERT_TRUE(process.waitForFinished(10000));
        const QString report = QString::fromLatin1(process.readAllStandardOutput());
        const QString failures = report.mid(report.indexOf("Failures:"));
        for (const QString& line : failures.split('\n')) {
            const QString l = line.toLower();
            EXPECT_FALSE(l.contains("checksum") || l.contains("length") || l.contains("overflow") ||
                         l.contains("should be 0x"))
                << files[i].toStdString() << ": " << line.toStdString();
        }
        ++checked;
    }
    EXPECT_GT(checked, 30);
}

TEST(CreatorWriteCli, OverThePseudoTerminalAndRefusedWithAFieldError) {
    QTemporaryDir dir;
    const QString log = dir.filePath("device.log");
    Devsim device({"--counts", "2,1,4,8,0", "--log", log});
    ASSERT_FALSE(device.path().isEmpty());
    CliRun run = RunCli({"creator-write", "--brand-new", "--set", "Edit_Creator_Product_Code=4660",
                         "--node", "user2", "--port", device.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString out = dir.filePath("user2.bin");
    run = RunCli({"read-edid", "--node", "user2", "-o", out, "--port", device.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QByteArray written = FileBytes(out);
    EXPECT_EQ(written.mid(10, 2), QByteArray("\x34\x12", 2));
    EXPECT_EQ(written.mid(128, 3), QByteArray("\x02\x03\x12", 3));

    const QByteArray before = FileBytes(log);
    run = RunCli({"creator-write", "--brand-new", "--set", "Edit_Creator_Manufac_Year=1900",
                  "--node", "input1", "--port", device.path()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Create Error!"));
    EXPECT_FALSE(FileBytes(log).mid(before.size()).contains("SET ND_ED")); // no block went out

    for (const QStringList& arguments :
         {QStringList{"creator-write", "--brand-new", "--node", "output1", "--port", device.path()},
          QStringList{"creator-write", "--brand-new", "--port", device.path()},
          QStringList{"creator-write", "--node", "input1", "--port", device.path()}}) {
        EXPECT_EQ(RunCli(arguments).exitCode, 2) << arguments.join(' ').toStdString();
    }
}

TEST(CreatorWriteCli, OverLoopbackUdp) {
    QTemporaryDir dir;
    QJsonObject device{{"mac", "00:11:22:33:44:56"},
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
    const QString rich = QStringLiteral(LVX_SOURCE_DIR "/tests/data/edid/A2E567512AB1.bin");
    CliRun run = RunCli({"creator-write", rich, "--set", "RadioButton_Edid_Fmt_Hdmi=1", "--node",
                         "input2", "--mac", "00:11:22:33:44:56", "--loopback"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString out = dir.filePath("input2.bin");
    run = RunCli(
        {"read-edid", "--node", "input2", "-o", out, "--mac", "00:11:22:33:44:56", "--loopback"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QByteArray written = FileBytes(out);
    EXPECT_EQ(written.left(128), FileBytes(rich).left(128));
    // HDMI chosen for a monitor without an HDMI block: one is made.
    EXPECT_TRUE(written.mid(132, 124).contains(QByteArray("\x03\x0C\x00", 3)));
}
