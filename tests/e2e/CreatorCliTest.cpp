// linkvex-cli creator-load: the controls of the creator after a load, as JSON.
#include "support/Processes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
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
