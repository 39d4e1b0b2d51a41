#include "cli/AnalyzeCommand.h"

#include "cli/CliContext.h"
#include "common/RegularFile.h"
#include "edid/AnalyzerReport.h"
#include "edid/EdidDecoder.h"
#include "edid/EdidFile.h"
#include "edid/EdidValidation.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

namespace lvx::cli {

namespace {

constexpr std::string_view kLabelPrefix = "Label_";

// Appends the pieces of one file's output to a buffer that is reused from file to file.
class Writer {
public:
    std::string text;

    void raw(std::string_view piece) { text.append(piece); }

    void number(std::uint64_t value) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        text.append(digits, end);
    }

    // Text as a JSON string body (json) or as a printable line. Bytes from the EDID are
    // Latin-1, as the window shows them, and come out as UTF-8; a file name is UTF-8 already.
    void escaped(std::string_view bytes, bool latin1, bool json) {
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x80 && latin1) {
                text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
                text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
            } else if (json && (byte == '"' || byte == '\\')) {
                text.push_back('\\');
                text.push_back(c);
            } else if (byte < 0x20 || byte == 0x7F) {
                if (json) {
                    static constexpr char kHex[] = "0123456789abcdef";
                    text.append("\\u00");
                    text.push_back(kHex[byte >> 4]);
                    text.push_back(kHex[byte & 0x0F]);
                } else {
                    text.push_back('?');
                }
            } else {
                text.push_back(c);
            }
        }
    }

    void string(std::string_view bytes, bool latin1 = true) {
        text.push_back('"');
        escaped(bytes, latin1, true);
        text.push_back('"');
    }

    void key(std::string_view name) {
        if (!text.empty() && text.back() != '{') {
            text.push_back(',');
        }
        text.push_back('"');
        text.append(name);
        text.append("\":");
    }

    template <typename Container>
    void list(const Container& values) {
        text.push_back('[');
        bool first = true;
        for (const auto& value : values) {
            if (!first) {
                text.push_back(',');
            }
            first = false;
            element(value);
        }
        text.push_back(']');
    }

    // A key and its value: a number, a list (of lists) of numbers, or Latin-1 text.
    template <typename T>
    void field(std::string_view name, const T& value) {
        key(name);
        if constexpr (std::is_convertible_v<T, std::string_view>) {
            string(value);
        } else {
            element(value);
        }
    }

    void flush() {
        std::fwrite(text.data(), 1, text.size(), stdout);
        text.clear();
    }

private:
    template <typename T>
    void element(const T& value) {
        if constexpr (std::is_integral_v<T>) {
            number(static_cast<std::uint64_t>(value));
        } else {
            list(value);
        }
    }
};

// A row caption without the leading spaces it has in the window.
std::string_view Trimmed(std::string_view caption) {
    const std::size_t first = caption.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : caption.substr(first);
}

void WriteDecoded(Writer& w, const EdidRecord& r) {
    w.raw("{");
    w.field("manufacturer", FieldText(r.manufacturer));
    w.field("monitorName", FieldText(r.monitorName));
    w.field("monitorNameOffset", r.monitorNameOffset);
    w.field("productCode", r.productCode);
    w.field("serialNumber", r.serialNumber);
    w.field("week", r.week);
    w.field("year", r.year);
    w.field("establishedTimings", r.establishedTimings);
    w.field("standardTimings", r.standardTimings);
    DetailedTiming baseTiming{};
    std::copy_n(r.baseTimings.begin(), baseTiming.size(), baseTiming.begin());
    w.field("baseTiming", baseTiming);
    w.field("extensionTimings", r.extensionTimings);
    w.field("basePresetIndex", r.basePresetIndex);
    w.field("extensionPresetIndex", r.extensionPresetIndex);
    w.field("timingExtra", r.timingExtra);
    w.field("horizontalBorder", r.horizontalBorder);
    w.field("verticalBorder", r.verticalBorder);
    w.field("rangeLimitOffset", r.rangeLimitOffset);
    w.field("rangeLimitClock", r.rangeLimitClock);
    w.field("extensionFlags", r.extensionFlags);
    w.field("hdmiCapability", r.hdmiCapability);
    w.field("maxColorDepth", r.maxColorDepth);
    w.field("videoBlockOffset", r.videoBlockOffset);
    w.field("videoBlockLength", r.videoBlockLength);
    w.field("svd", r.svd);
    w.field("sad", r.sad);
    w.field("speakerAllocation", r.speakerAllocation);
    w.field("yuv420Video", r.yuv420Video);
    w.field("hdmiVic", r.hdmiVic);
    w.field("info3d", r.info3d);
    w.field("videoCapability", r.videoCapability);
    w.field("colorimetry", r.colorimetry);
    w.field("hdrMetadata", r.hdrMetadata);
    w.field("hdrDepthCode", r.hdrDepthCode);
    w.field("maxResolutionName", FieldText(r.maxResolutionName));
    w.field("support600MHz", r.support600MHz);
    w.field("scdc", r.scdc);
    w.field("yuv420", r.yuv420);
    w.field("yuv420DeepColor", r.yuv420DeepColor);
    w.field("cecAddress", r.cecAddress);
    w.field("audioFlags", r.audioFlags);
    w.field("maxAudioChannels", r.maxAudioChannels);
    w.raw("}");
}

void WriteJson(Writer& w, std::string_view file, const EdidRecord& record,
               const AnalyzerReport& report) {
    w.raw("{");
    w.key("file");
    w.string(file, false);
    w.key("status");
    w.number(record.status);
    w.key("format");
    w.number(record.format);
    w.key("valid");
    w.raw(report.valid ? "true" : "false");
    w.key("error");
    if (report.valid) {
        w.raw("null");
    } else {
        w.string(InvalidStatusMessage(record.status));
    }
    for (const AnalyzerRow& row : AnalyzerRows()) {
        w.key(AnalyzerFactKey(row.label));
        w.string(AnalyzerFactText(report, row.label));
    }
    w.key("decoded");
    if (report.valid) {
        WriteDecoded(w, record);
    } else {
        w.raw("null");
    }
    w.raw("}");
}

void WriteText(Writer& w, std::string_view file, const AnalyzerReport& report) {
    w.raw("file: ");
    w.escaped(file, false, false);
    w.raw("\n");
    for (const AnalyzerRow& row : AnalyzerRows()) {
        const std::string& value = AnalyzerFactText(report, row.label);
        w.raw(Trimmed(row.caption));
        if (!value.empty()) {
            w.raw(" ");
            w.escaped(value, true, false);
        }
        w.raw("\n");
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

    Writer w;
    bool anyFailed = false;
    bool firstObject = true;
    if (context.json) {
        w.raw("[");
    }
    for (const QString& name : context.arguments) {
        const QByteArray shown = name.toUtf8();
        QString why;
        const std::optional<QByteArray> bytes =
            ReadRegularFile(name, static_cast<qint64>(kEdidSize), &why);
        if (!bytes) {
            anyFailed = true;
            w.flush();
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
        const std::string_view file(shown.constData(), static_cast<std::size_t>(shown.size()));
        if (context.json) {
            w.raw(firstObject ? "\n" : ",\n");
            WriteJson(w, file, record, report);
        } else {
            if (!firstObject) {
                w.raw("\n");
            }
            WriteText(w, file, report);
        }
        firstObject = false;
        w.flush();
    }
    if (context.json) {
        w.raw(firstObject ? "]\n" : "\n]\n");
        w.flush();
    }
    std::fflush(stdout);
    return anyFailed ? kExitFailure : kExitOk;
}

} // namespace lvx::cli
