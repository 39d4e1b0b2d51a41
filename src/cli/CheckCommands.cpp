#include "cli/CheckCommands.h"

#include "cli/CliContext.h"
#include "cli/JsonArrayOut.h"
#include "edid/CtaCodes.h"
#include "edid/EdidParse.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace lvx::cli {

namespace {

// What is read of a file at most: far more than an EDID can be (256 blocks), so that the
// parse can tell how much too long a file is without holding a huge one in memory.
constexpr qint64 kReadLimit = 1 << 20;

std::optional<QByteArray> ReadEdidBytes(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        err(QStringLiteral("linkvex-cli: %1: cannot read: %2\n").arg(name, file.errorString()));
        return std::nullopt;
    }
    // Files that tell their size are read at once; others (pipes, kernel attributes) in pieces.
    QByteArray bytes;
    if (file.size() > 0) {
        bytes = file.read(std::min<qint64>(file.size(), kReadLimit));
    } else {
        while (bytes.size() < kReadLimit) {
            const QByteArray piece = file.read(std::min<qint64>(4096, kReadLimit - bytes.size()));
            if (piece.isEmpty()) {
                break;
            }
            bytes += piece;
        }
    }
    if (file.error() != QFileDevice::NoError) {
        err(QStringLiteral("linkvex-cli: %1: cannot read: %2\n").arg(name, file.errorString()));
        return std::nullopt;
    }
    return bytes;
}

EdidParse Parse(const QByteArray& bytes, int year) {
    return ParseEdid(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                     static_cast<std::size_t>(bytes.size()), year);
}

QString Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QJsonArray Numbers(const std::vector<std::uint8_t>& values) {
    QJsonArray list;
    for (const std::uint8_t v : values) {
        list.append(v);
    }
    return list;
}

QJsonValue Optional(const std::optional<std::uint16_t>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonArray TreeJson(const EdidParse& p) {
    QJsonArray tree;
    for (const EdidDetail& d : p.details) {
        tree.append(QJsonObject{{QStringLiteral("label"), Text(d.label)},
                                {QStringLiteral("value"), Text(d.value)},
                                {QStringLiteral("offset"), static_cast<qint64>(d.offset)},
                                {QStringLiteral("length"), static_cast<qint64>(d.length)},
                                {QStringLiteral("depth"), d.depth}});
    }
    return tree;
}

QJsonArray FindingsJson(const EdidParse& p) {
    QJsonArray list;
    for (const EdidFinding* f : OrderedFindings(p)) {
        list.append(QJsonObject{{QStringLiteral("id"), Text(f->id)},
                                {QStringLiteral("severity"), SeverityName(f->severity)},
                                {QStringLiteral("impact"), ImpactName(f->impact)},
                                {QStringLiteral("block"), f->block},
                                {QStringLiteral("offset"), static_cast<qint64>(f->offset)},
                                {QStringLiteral("text"), Text(f->text)}});
    }
    return list;
}

void PrintTree(const QString& name, const EdidParse& p) {
    QString text = QStringLiteral("file: %1\n").arg(name);
    for (const EdidDetail& d : p.details) {
        text += QString(2 * d.depth, QLatin1Char(' ')) + Text(d.label);
        text +=
            d.value.empty() ? QStringLiteral("\n") : QStringLiteral(": %1\n").arg(Text(d.value));
    }
    out(text);
}

void PrintFindings(const QString& name, const EdidParse& p) {
    QString text;
    int failures = 0;
    int warnings = 0;
    for (const EdidFinding* f : OrderedFindings(p)) {
        (f->severity == FindingSeverity::Failure ? failures : warnings) += 1;
        text += QStringLiteral("%1: %2 %3 %4 block %5 offset %6: %7\n")
                    .arg(name, QLatin1String(SeverityName(f->severity)),
                         QLatin1String(ImpactName(f->impact)), Text(f->id))
                    .arg(f->block)
                    .arg(static_cast<qulonglong>(f->offset))
                    .arg(Text(f->text));
    }
    text += QStringLiteral("%1: %2 (%3 failure%4, %5 warning%6)\n")
                .arg(name, failures > 0 ? QStringLiteral("fail") : QStringLiteral("pass"))
                .arg(failures)
                .arg(failures == 1 ? "" : "s")
                .arg(warnings)
                .arg(warnings == 1 ? "" : "s");
    out(text);
}

} // namespace

QJsonObject DetailJson(const EdidParse& p) {
    QJsonArray vics;
    for (const ShortVideoDescriptor& s : p.svds) {
        if (!SvdReserved(s.raw)) {
            vics.append(s.vic);
        }
    }
    QJsonArray timings;
    for (const DetailedTimingEntry& e : p.detailedTimings) {
        timings.append(QJsonObject{
            {QStringLiteral("hActive"), e.timing.hActive},
            {QStringLiteral("vActive"), e.timing.vActive},
            {QStringLiteral("interlaced"), e.timing.interlaced},
            {QStringLiteral("pixelClockKHz"), static_cast<qint64>(e.timing.pixelClockKHz)}});
    }
    QJsonArray audio;
    for (const ShortAudioDescriptor& s : p.sads) {
        audio.append(QJsonObject{{QStringLiteral("formatCode"), s.formatCode},
                                 {QStringLiteral("maxChannels"), s.maxChannels}});
    }
    QJsonArray eotfs;
    static const char* const kEotfs[4] = {"SDR", "HDR", "ST2084", "HLG"};
    for (int bit = 0; bit < 4 && p.hdr; ++bit) {
        if (p.hdr->eotfs & (1 << bit)) {
            eotfs.append(QLatin1String(kEotfs[bit]));
        }
    }
    return QJsonObject{
        {QStringLiteral("blocks"), static_cast<qint64>(p.blockCount)},
        {QStringLiteral("manufacturer"), Text(p.base.manufacturer)},
        {QStringLiteral("productName"),
         p.base.productName ? QJsonValue(Text(*p.base.productName)) : QJsonValue()},
        {QStringLiteral("vics"), vics},
        {QStringLiteral("y420Vics"), Numbers(p.y420Vics)},
        {QStringLiteral("y420CapableVics"), Numbers(p.y420CapableVics)},
        {QStringLiteral("detailedTimings"), timings},
        {QStringLiteral("audio"), audio},
        {QStringLiteral("hdmiMaxTmdsMHz"),
         Optional(p.hdmi ? p.hdmi->maxTmdsMHz : std::optional<std::uint16_t>())},
        {QStringLiteral("hfMaxTmdsMHz"),
         Optional(p.hdmiForum ? p.hdmiForum->maxTmdsMHz : std::optional<std::uint16_t>())},
        {QStringLiteral("hdrEotfs"), eotfs},
        {QStringLiteral("tree"), TreeJson(p)},
    };
}

namespace {

// Reads and parses each file named in turn; false when one could not be read (the reason is
// on standard error).
template <typename Each>
bool ForEachEdid(const CliContext& context, Each each) {
    const int year = CurrentYear();
    bool allRead = true;
    for (const QString& name : context.arguments) {
        const std::optional<QByteArray> bytes = ReadEdidBytes(name);
        if (!bytes) {
            allRead = false;
            continue;
        }
        each(name, Parse(*bytes, year));
    }
    return allRead;
}

} // namespace

int RunAnalyzeFull(const CliContext& context) {
    if (context.arguments.isEmpty()) {
        err(QStringLiteral("linkvex-cli analyze: name at least one .bin file\n"));
        return kExitUsage;
    }
    JsonArrayOut json(context.json);
    const bool allRead = ForEachEdid(context, [&](const QString& name, const EdidParse& parse) {
        if (json.enabled()) {
            json.add(QJsonObject{{QStringLiteral("file"), name},
                                 {QStringLiteral("detail"), DetailJson(parse)}});
        } else {
            PrintTree(name, parse);
        }
    });
    json.close();
    return allRead ? kExitOk : kExitFailure;
}

int RunCheck(const CliContext& context) {
    if (context.arguments.isEmpty()) {
        err(QStringLiteral("linkvex-cli check: name at least one EDID file\n"));
        return kExitUsage;
    }
    bool failed = false;
    JsonArrayOut json(context.json);
    const bool allRead = ForEachEdid(context, [&](const QString& name, const EdidParse& parse) {
        failed = failed || parse.hasFailure();
        if (!json.enabled()) {
            PrintFindings(name, parse);
            return;
        }
        json.add(QJsonObject{{QStringLiteral("file"), name},
                             {QStringLiteral("verdict"),
                              parse.hasFailure() ? QStringLiteral("fail") : QStringLiteral("pass")},
                             {QStringLiteral("findings"), FindingsJson(parse)}});
    });
    json.close();
    return !allRead ? kExitUsage : (failed ? kExitFailure : kExitOk);
}

} // namespace lvx::cli
