// linkvex-cli analyze over the whole EDID corpus in one run, checked file by file against
// what the test reads from the bytes itself.
#include "support/Processes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <array>
#include <cstdint>
#include <optional>

using namespace lvx::test;

namespace {

using Image = std::array<std::uint8_t, 256>;

// A .bin file as the program reads it: its first 256 bytes, 0xFF for what is missing.
Image ReadBin(const QString& path) {
    Image image;
    image.fill(0xFF);
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.read(256);
        for (int i = 0; i < bytes.size(); ++i) {
            image[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bytes[i]);
        }
    }
    return image;
}

bool BlockIntact(const Image& image, int block) {
    unsigned sum = 0;
    for (int i = 0; i < 128; ++i) {
        sum += image[static_cast<std::size_t>(block * 128 + i)];
    }
    return sum % 256 == 0;
}

// Header, base checksum, at most one extension, and that extension's checksum.
bool Usable(const Image& image) {
    const std::uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    if (!std::equal(std::begin(header), std::end(header), image.begin())) {
        return false;
    }
    if (!BlockIntact(image, 0) || image[126] > 1) {
        return false;
    }
    return image[126] == 0 || BlockIntact(image, 1);
}

// The three letters of the manufacturer ID: five bits each from the big-endian word at 8,
// '@' + code (the reserved top bit lands on the first letter).
QString Letters(const Image& image) {
    const unsigned word = (unsigned(image[8]) << 8) | image[9];
    QString letters;
    letters += QChar(char(0x40 | (word >> 10)));
    letters += QChar(char(0x40 | ((word >> 5) & 0x1F)));
    letters += QChar(char(0x40 | (word & 0x1F)));
    return letters;
}

// The physical address of the last HDMI 1.x vendor block (IEEE OUI 00-0C-03) with room
// for it in the data block collection of a CTA extension; "0000" without one. Nullopt when
// block 1 is not a CTA extension.
std::optional<QString> CecAddress(const Image& image) {
    if (image[126] == 0) {
        return QStringLiteral("0000");
    }
    if (image[128] != 0x02) {
        return std::nullopt;
    }
    const std::size_t end = std::min<std::size_t>(128 + image[130], 256);
    QString cec = QStringLiteral("0000");
    for (std::size_t at = 132; at < end;) {
        const unsigned tag = image[at] >> 5;
        const unsigned length = image[at] & 0x1F;
        if (tag == 3 && length >= 5 && at + 5 < 256 && image[at + 1] == 0x03 &&
            image[at + 2] == 0x0C && image[at + 3] == 0x00) {
            cec = QStringLiteral("%1%2")
                      .arg(image[at + 4], 2, 16, QChar('0'))
                      .arg(image[at + 5], 2, 16, QChar('0'))
                      .toUpper();
        }
        at += length + 1;
    }
    return cec;
}

QJsonArray ParseArray(const QByteArray& out) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    EXPECT_TRUE(document.isArray());
    return document.array();
}

const QStringList kFactKeys = {"Edid_Header",    "Edid_Checksum",  "Edid_Format",    "Manufac_Name",
                               "Monitor_Name",   "Max_Resolution", "Max_ColorDepth", "Support_3D",
                               "Support_YUV420", "Support_SCDC",   "Support_600MHz", "Support_HDR",
                               "Audio_Formats",  "Audio_Channel",  "CEC_Address"};

} // namespace

TEST(analyzeCli, WholeCorpusInOneRun) {
    const QDir corpus(QStringLiteral(LVX_CORPUS_DIR));
    QStringList files;
    for (const QString& name : corpus.entryList({"*.bin"}, QDir::Files, QDir::Name)) {
        files << corpus.filePath(name);
    }
    ASSERT_GE(files.size(), 1000);

    const CliRun run = RunCli(QStringList{"analyze", "--json"} + files, 120000);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QJsonArray results = ParseArray(run.out);
    ASSERT_EQ(results.size(), files.size());

    int usable = 0;
    int hdmi = 0;
    for (int i = 0; i < files.size(); ++i) {
        const QJsonObject o = results[i].toObject();
        const std::string where = files[i].toStdString();
        ASSERT_EQ(o["file"].toString(), files[i]);
        for (const QString& key : kFactKeys) {
            EXPECT_TRUE(o[key].isString()) << where << " " << key.toStdString();
        }
        EXPECT_TRUE(o["status"].isDouble()) << where;
        EXPECT_TRUE(o["format"].isDouble()) << where;

        const Image image = ReadBin(files[i]);
        const bool good = Usable(image);
        EXPECT_EQ(o["Edid_Header"].toString() == "Good", good) << where;
        EXPECT_EQ(o["valid"].toBool(), good) << where;
        if (!good) {
            EXPECT_EQ(o["Edid_Header"].toString(), "Illegal") << where;
            EXPECT_EQ(o["CEC_Address"].toString(), "-") << where;
            EXPECT_NE(o["status"].toInt() & 0x0078, 0) << where;
            EXPECT_TRUE(o["decoded"].isNull()) << where;
            continue;
        }
        ++usable;
        EXPECT_EQ(o["status"].toInt() & 0x0078, 0) << where;
        EXPECT_EQ(o["Manufac_Name"].toString(), Letters(image)) << where;
        if (const std::optional<QString> cec = CecAddress(image)) {
            EXPECT_EQ(o["CEC_Address"].toString(), *cec) << where;
            hdmi += *cec != "0000";
        }
        EXPECT_FALSE(o["Audio_Formats"].toString().contains('\r')) << where;

        const QJsonObject d = o["decoded"].toObject();
        EXPECT_EQ(d["productCode"].toInt(), image[10] | (image[11] << 8)) << where;
        EXPECT_EQ(d["week"].toInt(), image[16]) << where;
        EXPECT_EQ(d["year"].toInt(), image[17]) << where;
        EXPECT_EQ(d["svd"].toArray().size(), 24) << where;
        EXPECT_EQ(d["sad"].toArray().size(), 10) << where;
        EXPECT_EQ(d["sad"].toArray()[0].toArray().size(), 3) << where;
        EXPECT_EQ(d["colorimetry"].toArray().size(), 2) << where;
        EXPECT_EQ(d["standardTimings"].toArray()[0].toInt(), (image[38] << 8) | image[39]) << where;
    }
    // The corpus is mostly usable and holds many HDMI sinks.
    EXPECT_GT(usable, files.size() / 2);
    EXPECT_GT(hdmi, 100);
}

// A file that cannot be read is reported and left out; the others are still printed, and
// the run ends with status 1. Short and empty files are read with 0xFF for the rest.
TEST(analyzeCli, UnreadableFilesAndShortFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString empty = dir.filePath("empty.bin");
    const QString shortFile = dir.filePath("short.bin");
    QFile(empty).open(QIODevice::WriteOnly);
    {
        QFile f(shortFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromHex("00ffffffffffff00"));
    }
    const QDir corpus(QStringLiteral(LVX_CORPUS_DIR));
    const QString real = corpus.filePath("00495CE9E498.bin");
    const QString missing = dir.filePath("missing.bin");

    const CliRun run =
        RunCli({"analyze", "--json", real, missing, dir.path(), empty, shortFile, real});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(missing.toUtf8())) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(dir.path().toUtf8() + " is not a regular file"))
        << run.err.toStdString();
    const QJsonArray results = ParseArray(run.out);
    ASSERT_EQ(results.size(), 4);
    EXPECT_EQ(results[0].toObject()["file"].toString(), real);
    EXPECT_EQ(results[0].toObject()["Edid_Header"].toString(), "Good");
    EXPECT_EQ(results[1].toObject()["file"].toString(), empty);
    EXPECT_EQ(results[1].toObject()["Edid_Header"].toString(), "Illegal");
    EXPECT_EQ(results[1].toObject()["error"].toString(), "Illegal Edid Header.");
    // The header is right, the padding spoils the checksum.
    EXPECT_EQ(results[2].toObject()["Edid_Header"].toString(), "Illegal");
    EXPECT_NE(results[2].toObject()["error"].toString(), "Illegal Edid Header.");
    // One file analysed twice gives the same answer twice.
    EXPECT_EQ(results[3].toObject(), results[0].toObject());

    // The text form: a "file:" line and fifteen facts per file.
    const CliRun text = RunCli({"analyze", real, missing, real});
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_EQ(text.out.count("file: "), 2);
    EXPECT_TRUE(text.out.contains("Manufacturer Name : DEL\n")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("CEC Address : 1000\n"));
    EXPECT_EQ(text.out.count('\n'), 2 * 16 + 1);

    const CliRun none = RunCli({"analyze"});
    EXPECT_EQ(none.exitCode, 2);
}
