#include "cli/AnalyzeCommand.h"

#include "cli/CliContext.h"
#include "cli/JsonArrayOut.h"
#include "common/RegularFile.h"
#include "edid/AnalyzerReport.h"
#include "edid/EdidDecoder.h"
#include "edid/EdidFile.h"
#include "edid/EdidValidation.h"

#include <QByteArray>
#include <QJsonArray>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>

namespace lvx::cli {

namespace {

constexpr std::string_view kLabelPrefix = "Label_";

// Bytes from the EDID are Latin-1, as the window shows them.
QString Latin1(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A decoded field: a number, or a list (of lists) of numbers.
template <typename T>
QJsonValue Field(const T& value) {
    if constexpr (std::is_integral_v<T>) {
        return static_cast<qint64>(value);
    } else {
        QJsonArray list;
        for (const auto& element : value) {
            list.append(Field(element));
        }
        return list;
    }
}

QJsonObject DecodedTimings(const EdidRecord& r) {
    DetailedTiming baseTiming{};
    std::copy_n(r.baseTimings.begin(), baseTiming.size(), baseTiming.begin());
    return {{QStringLiteral("establishedTimings"), Field(r.establishedTimings)},
            {QStringLiteral("standardTimings"), Field(r.standardTimings)},
            {QStringLiteral("baseTiming"), Field(baseTiming)},
            {QStringLiteral("extensionTimings"), Field(r.extensionTimings)},
            {QStringLiteral("basePresetIndex"), Field(r.basePresetIndex)},
            {QStringLiteral("extensionPresetIndex"), Field(r.extensionPresetIndex)},
            {QStringLiteral("timingExtra"), Field(r.timingExtra)},
            {QStringLiteral("horizontalBorder"), Field(r.horizontalBorder)},
            {QStringLiteral("verticalBorder"), Field(r.verticalBorder)},
            {QStringLiteral("rangeLimitOffset"), Field(r.rangeLimitOffset)},
            {QStringLiteral("rangeLimitClock"), Field(r.rangeLimitClock)}};
}

QJsonObject DecodedExtension(const EdidRecord& r) {
    return {{QStringLiteral("extensionFlags"), Field(r.extensionFlags)},
            {QStringLiteral("hdmiCapability"), Field(r.hdmiCapability)},
            {QStringLiteral("maxColorDepth"), Field(r.maxColorDepth)},
            {QStringLiteral("videoBlockOffset"), Field(r.videoBlockOffset)},
            {QStringLiteral("videoBlockLength"), Field(r.videoBlockLength)},
            {QStringLiteral("svd"), Field(r.svd)},
            {QStringLiteral("sad"), Field(r.sad)},
            {QStringLiteral("speakerAllocation"), Field(r.speakerAllocation)},
            {QStringLiteral("yuv420Video"), Field(r.yuv420Video)},
            {QStringLiteral("hdmiVic"), Field(r.hdmiVic)},
            {QStringLiteral("info3d"), Field(r.info3d)},
            {QStringLiteral("videoCapability"), Field(r.videoCapability)},
            {QStringLiteral("colorimetry"), Field(r.colorimetry)},
            {QStringLiteral("hdrMetadata"), Field(r.hdrMetadata)},
            {QStringLiteral("hdrDepthCode"), Field(r.hdrDepthCode)},
            {QStringLiteral("maxResolutionName"), Latin1(FieldText(r.maxResolutionName))},
            {QStringLiteral("support600MHz"), Field(r.support600MHz)},
            {QStringLiteral("scdc"), Field(r.scdc)},
            {QStringLiteral("yuv420"), Field(r.yuv420)},
            {QStringLiteral("yuv420DeepColor"), Field(r.yuv420DeepColor)},
            {QStringLiteral("cecAddress"), Field(r.cecAddress)},
            {QStringLiteral("audioFlags"), Field(r.audioFlags)},
            {QStringLiteral("maxAudioChannels"), Field(r.maxAudioChannels)}};
}

// Every field the decoder keeps, by its name in the record.
QJsonObject DecodedJson(const EdidRecord& r) {
    QJsonObject o{{QStringLiteral("manufacturer"), Latin1(FieldText(r.manufacturer))},
                  {QStringLiteral("monitorName"), Latin1(FieldText(r.monitorName))},
                  {QStringLiteral("monitorNameOffset"), Field(r.monitorNameOffset)},
                  {QStringLiteral("productCode"), Field(r.productCode)},
                  {QStringLiteral("serialNumber"), Field(r.serialNumber)},
                  {QStringLiteral("week"), Field(r.week)},
                  {QStringLiteral("year"), Field(r.year)}};
    for (const QJsonObject& part : {DecodedTimings(r), DecodedExtension(r)}) {
        for (auto it = part.begin(); it != part.end(); ++it) {
            o.insert(it.key(), it.value());
        }
    }
    return o;
}

QJsonObject FileJson(const QString& file, const EdidRecord& record, const AnalyzerReport& report) {
    QJsonObject o{
        {QStringLiteral("file"), file},
        {QStringLiteral("status"), record.status},
        {QStringLiteral("format"), record.format},
        {QStringLiteral("valid"), report.valid},
        {QStringLiteral("error"),
         report.valid ? QJsonValue() : QJsonValue(Latin1(InvalidStatusMessage(record.status)))},
        {QStringLiteral("decoded"), report.valid ? QJsonValue(DecodedJson(record)) : QJsonValue()}};
    for (const AnalyzerRow& row : AnalyzerRows()) {
        o.insert(Latin1(AnalyzerFactKey(row.label)), Latin1(AnalyzerFactText(report, row.label)));
    }
    return o;
}

// A row caption without the leading spaces it has in the window.
std::string_view Trimmed(std::string_view caption) {
    const std::size_t first = caption.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : caption.substr(first);
}

// A printable line: control characters become '?'; Latin-1 bytes come out as UTF-8, a file
// name is UTF-8 already.
void AppendPrintable(std::string& text, std::string_view bytes, bool latin1) {
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && latin1) {
            text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        } else {
            text.push_back(byte < 0x20 || byte == 0x7F ? '?' : c);
        }
    }
}

void WriteText(std::string& text, std::string_view file, const AnalyzerReport& report) {
    text.append("file: ");
    AppendPrintable(text, file, false);
    text.append("\n");
    for (const AnalyzerRow& row : AnalyzerRows()) {
        const std::string& value = AnalyzerFactText(report, row.label);
        text.append(Trimmed(row.caption));
        if (!value.empty()) {
            text.append(" ");
            AppendPrintable(text, value, true);
        }
        text.append("\n");
    }
}

} // namespace

std::string_view AnalyzerFactKey(std::string_view label) {
    return label.substr(0, kLabelPrefix.size()) == kLabelPrefix ? label.substr(kLabelPrefix.size())
                                                                : label;
}

const std::string& AnalyzerFactText(const AnalyzerReport& report, std::string_view label) {
    static const std::string kNone;
    if (label == "Label_Audio_Formats") {
        return report.audioFormatsFlat;
    }
    const auto it = report.labels.find(label);
    return it == report.labels.end() ? kNone : it->second;
}

int RunAnalyze(const CliContext& context) {
    if (context.arguments.isEmpty()) {
        err(QStringLiteral("linkvex-cli analyze: name at least one .bin file\n"));
        return kExitUsage;
    }
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);

    JsonArrayOut json(context.json);
    std::string text; // one file's lines, the buffer reused from file to file
    bool anyFailed = false;
    bool firstText = true;
    for (const QString& name : context.arguments) {
        QString why;
        const std::optional<QByteArray> bytes =
            ReadRegularFile(name, static_cast<qint64>(kEdidSize), &why);
        if (!bytes) {
            anyFailed = true;
            std::fflush(stdout);
            std::fprintf(stderr, "linkvex-cli analyze: %s\n", why.toLocal8Bit().constData());
            continue;
        }
        const EdidImage image =
            ImageFromFileBytes(reinterpret_cast<const std::uint8_t*>(bytes->constData()),
                               static_cast<std::size_t>(bytes->size()));
        // A fresh record for every file: what a decode keeps must not pass to the next one.
        EdidRecord record;
        const AnalyzerReport report = AnalyzeImage(record, image);
        if (json.enabled()) {
            json.add(FileJson(name, record, report));
            continue;
        }
        const QByteArray shown = name.toUtf8();
        text.assign(firstText ? "" : "\n");
        firstText = false;
        WriteText(text, std::string_view(shown.constData(), static_cast<std::size_t>(shown.size())),
                  report);
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
    json.close();
    return anyFailed ? kExitFailure : kExitOk;
}

} // namespace lvx::cli
