// linkvex-cli check and analyze --full: exit statuses, the text lines, the JSON keys.
#include "support/Processes.h"
#include "unit/edid/EdidParseTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace lvx::test;

namespace {

class CheckCli : public ::testing::Test {
protected:
    QString write(const QString& name, const Bytes& bytes) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return path;
    }
    QString good() { return write(QStringLiteral("good.bin"), TestEdid().fix().bytes); }
    QString bad() {
        Bytes b = TestEdid().fix().bytes;
        b[127] ^= 0x01;
        return write(QStringLiteral("bad.bin"), b);
    }
    QString missing() { return dir_.filePath(QStringLiteral("none.bin")); }

    QTemporaryDir dir_;
};

QJsonArray Json(const CliRun& run) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(run.out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out.constData();
    return doc.array();
}

QStringList Keys(const QJsonObject& o) {
    QStringList keys = o.keys();
    keys.sort();
    return keys;
}

} // namespace

TEST_F(CheckCli, ExitStatusSaysWhetherAnyFileFails) {
    EXPECT_EQ(RunCli({"check", good()}).exitCode, 0);
    EXPECT_EQ(RunCli({"check", good(), bad()}).exitCode, 1);
    EXPECT_EQ(RunCli({"check", good(), missing()}).exitCode, 2);
    EXPECT_EQ(RunCli({"check", bad(), missing()}).exitCode, 2);
    EXPECT_EQ(RunCli({"check"}).exitCode, 2);
    EXPECT_EQ(RunCli({"analyze", "--full", missing()}).exitCode, 1);
}

TEST_F(CheckCli, TextLinesAndVerdict) {
    const QString path = bad();
    const CliRun run = RunCli({"check", good(), path});
    const QStringList lines = QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << run.out.constData();
    EXPECT_EQ(lines[0], good() + ": pass (0 failures, 0 warnings)");
    EXPECT_TRUE(lines[1].startsWith(path + ": failure interop checksum block 0 offset 127: "))
        << qPrintable(lines[1]);
    EXPECT_EQ(lines[2], path + ": fail (1 failure, 0 warnings)");
}

TEST_F(CheckCli, JsonHoldsExactlyTheAgreedKeys) {
    const QJsonArray files = Json(RunCli({"check", "--json", good(), bad()}));
    ASSERT_EQ(files.size(), 2);
    const QStringList fileKeys{"file", "findings", "verdict"};
    EXPECT_EQ(Keys(files[0].toObject()), fileKeys);
    EXPECT_EQ(files[0].toObject().value("verdict").toString(), "pass");
    const QJsonObject failed = files[1].toObject();
    EXPECT_EQ(failed.value("verdict").toString(), "fail");
    const QJsonObject finding = failed.value("findings").toArray().at(0).toObject();
    EXPECT_EQ(Keys(finding), (QStringList{"block", "id", "impact", "offset", "severity", "text"}));
    EXPECT_EQ(finding.value("id").toString(), "checksum");
    EXPECT_EQ(finding.value("severity").toString(), "failure");
    EXPECT_EQ(finding.value("block").toInt(), 0);
    EXPECT_EQ(finding.value("offset").toInt(), 127);
}

TEST_F(CheckCli, FullAnalysisOfAnyLength) {
    TestEdid e;
    e.cta({{0x43, 0x90, 0x01, 0x04}, {0x23, 0x09, 0x07, 0x07}, {0xE2, 0x00, 0x40}});
    QJsonArray files =
        Json(RunCli({"analyze", "--full", "--json", write("cta.bin", e.fix().bytes)}));
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(Keys(files[0].toObject()), (QStringList{"detail", "file"}));
    const QJsonObject d = files[0].toObject().value("detail").toObject();
    for (const char* key : {"vics", "y420Vics", "y420CapableVics", "detailedTimings", "audio",
                            "hdmiMaxTmdsMHz", "hfMaxTmdsMHz", "hdrEotfs"}) {
        EXPECT_TRUE(d.contains(key)) << key;
    }
    EXPECT_EQ(d.value("vics").toArray(), (QJsonArray{16, 1, 4}));
    EXPECT_TRUE(d.value("hdmiMaxTmdsMHz").isNull());
    const QJsonObject timing = d.value("detailedTimings").toArray().at(0).toObject();
    EXPECT_EQ(Keys(timing), (QStringList{"hActive", "interlaced", "pixelClockKHz", "vActive"}));
    EXPECT_EQ(timing.value("pixelClockKHz").toInt(), 148500);
    const QJsonObject audio = d.value("audio").toArray().at(0).toObject();
    EXPECT_EQ(Keys(audio), (QStringList{"formatCode", "maxChannels"}));
    EXPECT_EQ(audio.value("formatCode").toInt(), 1);
    EXPECT_EQ(audio.value("maxChannels").toInt(), 2);

    // 64 KiB: read, cut to 256 blocks, reported.
    Bytes big = TestEdid().fix().bytes;
    big.resize(64 * 1024, 0);
    const QString bigPath = write("big.bin", big);
    files = Json(RunCli({"check", "--json", bigPath}));
    bool counted = false;
    for (const QJsonValue f : files[0].toObject().value("findings").toArray()) {
        counted = counted || f.toObject().value("id").toString() == "extension-count-mismatch";
    }
    EXPECT_TRUE(counted);
    const CliRun text = RunCli({"analyze", "--full", bigPath});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_TRUE(text.out.startsWith("file: " + bigPath.toUtf8() + "\nBlock 0: Base block\n"));
    EXPECT_TRUE(text.out.contains("Block 255: Unknown extension 0x00"));
}
