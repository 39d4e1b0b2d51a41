#include "cli/AnalyzeCommand.h"

#include "cli/CliContext.h"
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

// The name of a label without its "Label_" prefix: the key of its fact in JSON.
std::string_view FactKey(std::string_view label) {
    return label.substr(0, kLabelPrefix.size()) == kLabelPrefix ? label.substr(kLabelPrefix.size())
                                                                : label;
}

// A row caption without the leading spaces it has in the window.
std::string_view Trimmed(std::string_view caption) {
    const std::size_t first = caption.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : caption.substr(first);
}

// The text a fact prints as: the audio formats without the line break the window inserts.
const std::string& FactText(const AnalyzerReport& report, std::string_view label) {
    static const std::string kNone;
    if (label == "Label_Audio_Formats") {
        return report.audioFormatsFlat;
    }
    const auto it = report.labels.find(label);
    return it == report.labels.end() ? kNone : it->second;
}

void WriteDecoded(Writer& w, const EdidRecord& r) {
    w.raw("{");
    w.key("manufacturer");
    w.string(FieldText(r.manufacturer));
    w.key("monitorName");
    w.string(FieldText(r.monitorName));
    w.key("monitorNameOffset");
    w.number(r.monitorNameOffset);
    w.key("productCode");
    w.number(r.productCode);
    w.key("serialNumber");
    w.number(r.serialNumber);
    w.key("week");
    w.number(r.week);
    w.key("year");
    w.number(r.year);
    w.key("establishedTimings");
    w.number(r.establishedTimings);
    w.key("standardTimings");
    w.list(r.standardTimings);
    w.key("baseTiming");
    DetailedTiming baseTiming{};
    std::copy_n(r.baseTimings.begin(), baseTiming.size(), baseTiming.begin());
    w.list(baseTiming);
    w.key("extensionTimings");
    w.list(r.extensionTimings);
    w.key("basePresetIndex");
    w.number(r.basePresetIndex);
    w.key("extensionPresetIndex");
    w.number(r.extensionPresetIndex);
    w.key("timingExtra");
    w.list(r.timingExtra);
    w.key("horizontalBorder");
    w.list(r.horizontalBorder);
    w.key("verticalBorder");
    w.list(r.verticalBorder);
    w.key("rangeLimitOffset");
    w.number(r.rangeLimitOffset);
    w.key("rangeLimitClock");
    w.number(r.rangeLimitClock);
    w.key("extensionFlags");
    w.number(r.extensionFlags);
    w.key("hdmiCapability");
    w.number(r.hdmiCapability);
    w.key("maxColorDepth");
    w.number(r.maxColorDepth);
    w.key("videoBlockOffset");
    w.number(r.videoBlockOffset);
    w.key("videoBlockLength");
    w.number(r.videoBlockLength);
    w.key("svd");
    w.list(r.svd);
    w.key("sad");
    w.list(r.sad);
    w.key("speakerAllocation");
    w.number(r.speakerAllocation);
    w.key("yuv420Video");
    w.list(r.yuv420Video);
    w.key("hdmiVic");
    w.list(r.hdmiVic);
    w.key("info3d");
    w.list(r.info3d);
    w.key("videoCapability");
    w.number(r.videoCapability);
    w.key("colorimetry");
    w.list(r.colorimetry);
    w.key("hdrMetadata");
    w.list(r.hdrMetadata);
    w.key("hdrDepthCode");
    w.number(r.hdrDepthCode);
    w.key("maxResolutionName");
    w.string(FieldText(r.maxResolutionName));
    w.key("support600MHz");
    w.number(r.support600MHz);
    w.key("scdc");
    w.number(r.scdc);
    w.key("yuv420");
    w.number(r.yuv420);
    w.key("yuv420DeepColor");
    w.number(r.yuv420DeepColor);
    w.key("cecAddress");
    w.list(r.cecAddress);
    w.key("audioFlags");
    w.number(r.audioFlags);
    w.key("maxAudioChannels");
    w.number(r.maxAudioChannels);
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
        w.key(FactKey(row.label));
        w.string(FactText(report, row.label));
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
        const std::string& value = FactText(report, row.label);
        w.raw(Trimmed(row.caption));
        if (!value.empty()) {
            w.raw(" ");
            w.escaped(value, true, false);
        }
        w.raw("\n");
    }
}

// The image a .bin file gives, or false with the reason in `error`.
bool ReadImage(const char* path, EdidImage& image, std::string& error) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    std::array<std::uint8_t, kEdidSize> bytes;
    const std::size_t size = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed) {
        error = std::strerror(readErrno);
        return false;
    }
    image = ImageFromFileBytes(bytes.data(), size);
    return true;
}

} // namespace

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
        const QByteArray path = QFile::encodeName(name);
        const QByteArray shown = name.toUtf8();
        EdidImage image;
        std::string error;
        if (!ReadImage(path.constData(), image, error)) {
            anyFailed = true;
            w.flush();
            std::fflush(stdout);
            std::fprintf(stderr, "linkvex-cli: %s: cannot read: %s\n", shown.constData(),
                         error.c_str());
            continue;
        }
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
