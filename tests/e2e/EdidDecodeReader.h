#pragma once

// What Debian's edid-decode says about an EDID, read from the text of `edid-decode -c`: the
// lists that `linkvex-cli analyze --full --json` gives, the faults of the finding ids it
// reports, and its verdict. Only edid-decode's output goes in here, never our parse.

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <map>
#include <set>
#include <utility>
#include <vector>

namespace lvx::test {

struct DecodeReport {
    QJsonObject detail; // the same keys as the detail of analyze --full --json
    // Finding id -> the severities ('F', 'W') edid-decode reported that fault with.
    std::map<QString, std::set<QChar>> faults;
    bool fail = false;
    QStringList failures; // every failure message, for studying disagreements
};

// Finding ids and the edid-decode messages that report the same fault.
inline const std::vector<std::pair<QString, QRegularExpression>>& FaultMessages() {
    static const std::vector<std::pair<QString, QRegularExpression>> table = [] {
        const std::vector<std::pair<const char*, const char*>> rows = {
            {"cta-missing-vcdb", R"(Missing VCDB, needed for Set Selectable RGB)"},
            {"vcdb-rgb-not-selectable", R"(Video Capability Data Block: Set Selectable RGB)"},
            {"vcdb-it-scan-mismatch",
             R"(IT video formats are always (under|over)scanned, but bit 7)"},
            {"dtd-size-mismatch", R"(Mismatch of image size)"},
            {"dtd-larger-than-display", R"(The DTD max image size is)"},
            {"timing-outside-range-limits", R"(Some timings are out of range of the Monitor)"},
            {"range-limits-gtf-noncontinuous", R"(GTF can't be combined with non-continuous)"},
            {"range-limits-feature-needs-1-4", R"(is not allowed for EDID < 1\.4)"},
            {"missing-range-limits", R"(Missing Display Range Limits Descriptor)"},
            {"missing-product-name", R"(Missing Display Product Name)"},
            {"srgb-chromaticity-mismatch",
             R"(sRGB is signaled, but the chromaticities|chromaticities match sRGB, but sRGB)"},
            {"colorimetry-reserved-bits", R"(Colorimetry Data Block: Reserved bits)"},
            {"cta-native-mixed", R"(Native progressive timings are a mix of several)"},
            {"hdmi-needs-edid-1-3", R"(requires EDID 1\.3 instead of)"},
            {"hdmi-tmds-above-340", R"(HDMI VSDB Max TMDS rate is > 340)"},
            {"hf-tmds-invalid", R"(HDMI Forum.*Max TMDS rate is > 0 and <= 340 or > 600)"},
            {"hdmi-vic-without-cta-vic", R"(HDMI VIC Codes must have their CTA-861 VIC)"},
            {"duplicate-vic", R"(^Video Data Block: Duplicate VIC)"},
            {"unknown-vic", R"(^Video Data Block: Unknown VIC)"},
            {"missing-required-timing", R"(^Required .* timings are missing)"},
            {"y420-map-beyond-svds", R"(Capability Map Data Block: Max index .* \(#SVDs\))"},
            {"extension-count-mismatch", R"(EDID specified \d+ extension block\(s\), but found)"},
            {"unknown-extension", R"(^Unknown Extension Block)"},
            {"cta-padding-nonzero", R"(CTA-861 padding contains non-zero bytes)"},
            {"empty-descriptor-zeroes", R"(Use Dummy Descriptor instead of all zeroes)"},
            {"dummy-descriptor-garbage", R"(Dummy block filled with garbage)"},
            {"text-non-printable",
             R"(^(Alphanumeric Data String|Display Product Name|Display Product Serial Number|SPWG Descriptor #\d+): Non-printable)"},
            {"text-empty-or-trailing-space",
             R"(^(Alphanumeric Data String|Display Product Name|Display Product Serial Number): (One or more trailing spaces|Empty string))"},
            {"standard-timing-invalid-code", R"(Use 0x0101 as the invalid Standard Timings code)"},
            {"digital-interface-reserved", R"(Digital Video Interface Standard set to reserved)"},
            {"year-in-future", R"(is more than one year in the future)"},
            {"checksum", R"([Cc]hecksum)"},
            {"missing-preferred-timing",
             R"(Missing preferred timing|requires that the first detailed timing is the preferred)"},
            {"dtd-invalid", R"(Pixelclock < \d+ MHz, assuming invalid data)"},
            {"descriptor-unknown-type", R"(Display Descriptor #\d+: Unknown Type)"},
            {"cta-basic-audio-missing", R"(Audio information is present, but bit 6 of Byte 3)"},
            {"audio-format-reserved", R"(Audio Data Block: Audio Format Code 0x00 is reserved)"},
        };
        std::vector<std::pair<QString, QRegularExpression>> out;
        for (const auto& [id, pattern] : rows) {
            out.emplace_back(QString::fromLatin1(id),
                             QRegularExpression(QString::fromLatin1(pattern)));
        }
        return out;
    }();
    return table;
}

// Audio format names as edid-decode prints them, by format code.
inline int AudioCode(const QString& name) {
    static const std::map<QString, int> codes = {{QStringLiteral("Linear PCM"), 1},
                                                 {QStringLiteral("AC-3"), 2},
                                                 {QStringLiteral("MPEG 1 (Layers 1 & 2)"), 3},
                                                 {QStringLiteral("MPEG 1 Layer 3 (MP3)"), 4},
                                                 {QStringLiteral("MPEG2 (multichannel)"), 5},
                                                 {QStringLiteral("AAC LC"), 6},
                                                 {QStringLiteral("DTS"), 7},
                                                 {QStringLiteral("ATRAC"), 8},
                                                 {QStringLiteral("One Bit Audio"), 9},
                                                 {QStringLiteral("Enhanced AC-3 (DD+)"), 10},
                                                 {QStringLiteral("DTS-HD"), 11},
                                                 {QStringLiteral("MAT (MLP)"), 12},
                                                 {QStringLiteral("DST"), 13},
                                                 {QStringLiteral("WMA Pro"), 14}};
    const auto it = codes.find(name);
    if (it != codes.end()) {
        return it->second;
    }
    static const QRegularExpression reserved(QStringLiteral(R"(^Reserved \(0x([0-9a-f]+)\)$)"));
    const QRegularExpressionMatch m = reserved.match(name);
    return m.hasMatch() ? m.captured(1).toInt(nullptr, 16) : 15; // any other: an extended type
}

class DecodeReader {
public:
    DecodeReport read(const QString& text) {
        report_ = DecodeReport();
        for (const char* key :
             {"vics", "y420Vics", "y420CapableVics", "detailedTimings", "audio", "hdrEotfs"}) {
            lists_[QString::fromLatin1(key)] = QJsonArray();
        }
        hdmiTmds_ = QJsonValue(QJsonValue::Null);
        hfTmds_ = QJsonValue(QJsonValue::Null);
        const QStringList lines = text.split(QLatin1Char('\n'));
        inBlock_ = false;
        for (const QString& line : lines) {
            decodeLine(line);
        }
        readMessages(text.section(QStringLiteral("\n----------------\n"), -1));
        for (auto it = lists_.begin(); it != lists_.end(); ++it) {
            report_.detail.insert(it->first, it->second);
        }
        report_.detail.insert(QStringLiteral("hdmiMaxTmdsMHz"), hdmiTmds_);
        report_.detail.insert(QStringLiteral("hfMaxTmdsMHz"), hfTmds_);
        return report_;
    }

private:
    void decodeLine(const QString& line) {
        if (line.startsWith(QLatin1String("Block "))) {
            inBlock_ = true;
            section_.clear();
            return;
        }
        if (line.startsWith(QLatin1String("Warnings:")) ||
            line.startsWith(QLatin1String("Failures:")) ||
            line.startsWith(QLatin1String("EDID conformity"))) {
            inBlock_ = false;
        }
        if (!inBlock_) {
            return;
        }
        if (line.startsWith(QLatin1String("  ")) && !line.startsWith(QLatin1String("   "))) {
            section_ = line.trimmed();
        }
        readTiming(line);
        if (!section_.isEmpty()) {
            readVic(line);
            readAudio(line);
            readRatesAndEotfs(line);
        }
    }

    void readTiming(const QString& line) {
        static const QRegularExpression dtd(
            QStringLiteral(R"(^\s+DTD(?: \d+)?:\s+(\d+)x(\d+)(i?)\s+[\d.]+ Hz.*?([\d.]+) MHz)"));
        const QRegularExpressionMatch m = dtd.match(line);
        if (m.hasMatch()) {
            lists_[QStringLiteral("detailedTimings")].append(QJsonObject{
                {QStringLiteral("hActive"), m.captured(1).toInt()},
                {QStringLiteral("vActive"), m.captured(2).toInt()},
                {QStringLiteral("interlaced"), !m.captured(3).isEmpty()},
                {QStringLiteral("pixelClockKHz"), qRound64(m.captured(4).toDouble() * 1000.0)}});
        }
    }

    void readVic(const QString& line) {
        static const QRegularExpression vic(
            QStringLiteral(R"(^    (?:VIC\s+(\d+):|Unknown \(VIC\s+(\d+)\)))"));
        const QRegularExpressionMatch m = vic.match(line);
        if (!m.hasMatch()) {
            return;
        }
        const int value = (m.captured(1).isEmpty() ? m.captured(2) : m.captured(1)).toInt();
        if (section_ == QLatin1String("Video Data Block:")) {
            lists_[QStringLiteral("vics")].append(value);
        } else if (section_ == QLatin1String("YCbCr 4:2:0 Video Data Block:")) {
            lists_[QStringLiteral("y420Vics")].append(value);
        } else if (section_ == QLatin1String("YCbCr 4:2:0 Capability Map Data Block:")) {
            lists_[QStringLiteral("y420CapableVics")].append(value);
        }
    }

    void readAudio(const QString& line) {
        if (section_ != QLatin1String("Audio Data Block:")) {
            return;
        }
        static const QRegularExpression format(QStringLiteral(R"(^    (\S.*?):?$)"));
        static const QRegularExpression channels(QStringLiteral(R"(^      Max channels: (\d+))"));
        QJsonArray& audio = lists_[QStringLiteral("audio")];
        QRegularExpressionMatch m = format.match(line);
        if (m.hasMatch()) {
            audio.append(QJsonObject{{QStringLiteral("formatCode"), AudioCode(m.captured(1))},
                                     {QStringLiteral("maxChannels"), QJsonValue()}});
            return;
        }
        m = channels.match(line);
        if (m.hasMatch() && !audio.isEmpty()) {
            QJsonObject last = audio.last().toObject();
            last.insert(QStringLiteral("maxChannels"), m.captured(1).toInt());
            audio.replace(audio.size() - 1, last);
        }
    }

    void readRatesAndEotfs(const QString& line) {
        static const QRegularExpression hdmi(
            QStringLiteral(R"(^    Maximum TMDS clock: (\d+) MHz)"));
        static const QRegularExpression forum(
            QStringLiteral(R"(^    Maximum TMDS Character Rate: (\d+) MHz)"));
        QRegularExpressionMatch m;
        if (section_.startsWith(QLatin1String("Vendor-Specific Data Block (HDMI),")) &&
            hdmiTmds_.isNull() && (m = hdmi.match(line)).hasMatch()) {
            hdmiTmds_ = m.captured(1).toInt();
        }
        if (section_.contains(QLatin1String("HDMI Forum")) && hfTmds_.isNull() &&
            (m = forum.match(line)).hasMatch()) {
            hfTmds_ = m.captured(1).toInt();
        }
        if (section_ != QLatin1String("HDR Static Metadata Data Block:")) {
            return;
        }
        static const std::pair<const char*, const char*> kEotfs[4] = {
            {"SDR", "Traditional gamma - SDR"},
            {"HDR", "Traditional gamma - HDR"},
            {"ST2084", "SMPTE ST2084"},
            {"HLG", "Hybrid Log-Gamma"}};
        QJsonArray& eotfs = lists_[QStringLiteral("hdrEotfs")];
        for (const auto& [key, name] : kEotfs) {
            if (line.trimmed().startsWith(QLatin1String(name)) &&
                !eotfs.contains(QLatin1String(key))) {
                eotfs.append(QLatin1String(key));
            }
        }
    }

    void readMessages(const QString& tail) {
        QChar severity;
        for (const QString& line : tail.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("Warnings:"))) {
                severity = QLatin1Char('W');
            } else if (line.startsWith(QLatin1String("Failures:"))) {
                severity = QLatin1Char('F');
            } else if (line.startsWith(QLatin1String("EDID conformity"))) {
                report_.fail = line.contains(QLatin1String("FAIL"));
                severity = QChar();
            } else if (!severity.isNull() && line.startsWith(QLatin1String("  ")) &&
                       !line.startsWith(QLatin1String("    "))) {
                message(line.trimmed(), severity);
            }
        }
    }

    void message(const QString& text, QChar severity) {
        if (severity == QLatin1Char('F')) {
            report_.failures << text;
        }
        for (const auto& [id, pattern] : FaultMessages()) {
            if (pattern.match(text).hasMatch()) {
                report_.faults[id].insert(severity);
            }
        }
    }

    DecodeReport report_;
    std::map<QString, QJsonArray> lists_;
    QJsonValue hdmiTmds_;
    QJsonValue hfTmds_;
    QString section_;
    bool inBlock_ = false;
};

} // namespace lvx::test
