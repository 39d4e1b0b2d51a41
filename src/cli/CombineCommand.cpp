#include "cli/CombineCommand.h"

#include "cli/EdidCommands.h"
#include "connection/ConnectionController.h"
#include "edid/CombineSources.h"
#include "edid/CombineTool.h"
#include "edid/EdidCombine.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidParse.h"
#include "edid/EdidTransfer.h"
#include "edid/MonitorScan.h"
#include "protocol/PumpDelay.h"

#include <QJsonDocument>

#include <algorithm>

namespace lvx::cli {

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

QJsonArray Strings(const std::vector<std::string>& list) {
    QJsonArray a;
    for (const std::string& s : list) {
        a.append(Text(s));
    }
    return a;
}

QJsonArray Numbers(const std::vector<int>& list) {
    QJsonArray a;
    for (const int v : list) {
        a.append(v);
    }
    return a;
}

QJsonObject KeptJson(const CombineKept& k) {
    return QJsonObject{{QStringLiteral("vics"), Numbers(k.vics)},
                       {QStringLiteral("y420Vics"), Numbers(k.y420Vics)},
                       {QStringLiteral("y420CapableVics"), Numbers(k.y420Capable)},
                       {QStringLiteral("preferred"), Text(k.preferred)},
                       {QStringLiteral("detailed"), Strings(k.detailed)},
                       {QStringLiteral("established"), Strings(k.established)},
                       {QStringLiteral("standard"), Strings(k.standard)},
                       {QStringLiteral("audio"), Strings(k.audio)},
                       {QStringLiteral("speakers"), Text(k.speakers)},
                       {QStringLiteral("colour"), Strings(k.colour)},
                       {QStringLiteral("hdmi"), Strings(k.hdmi)},
                       {QStringLiteral("rangeLimits"), Text(k.rangeLimits)},
                       {QStringLiteral("identity"), Text(k.identity)},
                       {QStringLiteral("blocks"), k.blocks}};
}

QString Hex(const std::vector<std::uint8_t>& bytes) {
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                          static_cast<qsizetype>(bytes.size()))
                                   .toHex()
                                   .toUpper());
}

void PrintReport(const CombineResult& r, bool json) {
    if (json) {
        QJsonArray dropped;
        for (const CombineDrop& d : r.dropped) {
            dropped.append(QJsonObject{{QStringLiteral("what"), Text(d.what)},
                                       {QStringLiteral("why"), Text(d.why)},
                                       {QStringLiteral("sink"), Text(d.sink)}});
        }
        const QJsonObject o{{QStringLiteral("kept"), KeptJson(r.kept)},
                            {QStringLiteral("dropped"), dropped},
                            {QStringLiteral("hex"), Hex(r.bytes)}};
        out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
        return;
    }
    QString text;
    const auto list = [&](const char* caption, const std::vector<std::string>& items) {
        if (!items.empty()) {
            QStringList l;
            for (const std::string& s : items) {
                l << Text(s);
            }
            text += QStringLiteral("%1: %2\n")
                        .arg(QLatin1String(caption), l.join(QStringLiteral(", ")));
        }
    };
    if (r.status == CombineStatus::Written) {
        QStringList vics;
        for (const int v : r.kept.vics) {
            vics << QString::number(v);
        }
        text += QStringLiteral("Identity: %1\nPreferred: %2\n")
                    .arg(Text(r.kept.identity), Text(r.kept.preferred));
        list("VICs", std::vector<std::string>(1, vics.join(QStringLiteral(" ")).toStdString()));
        list("Detailed", r.kept.detailed);
        list("Audio", r.kept.audio);
        list("Colour", r.kept.colour);
        list("HDMI", r.kept.hdmi);
    }
    for (const CombineDrop& d : r.dropped) {
        text += QStringLiteral("Dropped %1: %2\n").arg(Text(d.what), Text(d.why));
    }
    out(text);
}

// The device's nodes named by node:NODE sources, read in one connection.
bool ReadNodes(const CliContext& context, std::vector<CombineSource>& sources,
               const std::vector<std::size_t>& nodeSources) {
    ConnectionController controller;
    if (!ConnectDevice(controller, context)) {
        return false;
    }
    EdidTransfer transfer(controller);
    bool ok = true;
    for (const std::size_t i : nodeSources) {
        const QString name = Text(sources[i].name).mid(5);
        CliContext named = context;
        named.node = name;
        const std::optional<NodeRef> node = ParseNode(name);
        if (!CheckNode(controller, node, named)) {
            ok = false;
            break;
        }
        QString why;
        std::optional<std::vector<std::uint8_t>> bytes =
            ReadDeviceNode(controller, transfer, *node, &why);
        if (!bytes) {
            err(QStringLiteral("linkvex-cli combine: %1: %2\n").arg(name, why));
            ok = false;
            break;
        }
        sources[i].bytes = std::move(*bytes);
    }
    PumpDelay(100);
    controller.disconnectDevices();
    return ok;
}

// Reads every source; false (with a message) when one cannot be read.
bool ReadSources(const CliContext& context, std::vector<CombineSource>& sources) {
    std::vector<std::size_t> nodes;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const QString name = Text(sources[i].name);
        QString why;
        std::optional<std::vector<std::uint8_t>> bytes;
        if (name.startsWith(QLatin1String("node:"))) {
            nodes.push_back(i);
            continue;
        }
        bytes = name.startsWith(QLatin1String("monitor:"))
                    ? MonitorEdid(SysfsRoot(), name.mid(8), &why)
                    : ReadEdidBytes(name, &why);
        if (!bytes) {
            err(QStringLiteral("linkvex-cli combine: %1\n").arg(why));
            return false;
        }
        sources[i].bytes = std::move(*bytes);
    }
    return nodes.empty() || ReadNodes(context, sources, nodes);
}

// The options of a combination from the command line; false (with a message) on a usage
// error.
bool ReadOptions(const CliContext& context, std::vector<CombineSource>& sources,
                 CombineOptions& options) {
    const auto fail = [](const QString& text) {
        err(QStringLiteral("linkvex-cli combine: %1\n").arg(text));
        return false;
    };
    if (context.arguments.isEmpty() || context.output.isEmpty()) {
        return fail(QStringLiteral("give one or more EDIDs and -o OUT"));
    }
    for (const QString& a : context.arguments) {
        sources.push_back({a.toStdString(), {}, context.videoOnly.contains(a)});
    }
    for (const QString& v : context.videoOnly + QStringList(context.identity)) {
        if (!v.isEmpty() && !context.arguments.contains(v)) {
            return fail(QStringLiteral("%1 is not one of the EDIDs to combine").arg(v));
        }
    }
    options.identity = context.identity.isEmpty()
                           ? 0
                           : static_cast<std::size_t>(context.arguments.indexOf(context.identity));
    for (const QString& i : context.intents) {
        const std::optional<CombineIntent> intent = ParseIntent(i.toStdString());
        if (!intent) {
            return fail(QStringLiteral("unknown intent \"%1\"; the intents are: max 4k30, max "
                                       "1080p, no 4:2:0, rgb only, 8 bit, no hdr, audio 2ch, "
                                       "audio 5.1, audio 7.1, no audio, hdmi 1.4")
                            .arg(i));
        }
        options.intents.push_back(*intent);
    }
    if (!context.blocks.isEmpty() && context.blocks != QLatin1String("2") &&
        context.blocks != QLatin1String("4")) {
        return fail(QStringLiteral("--blocks takes 2 or 4"));
    }
    options.maxBlocks = context.blocks == QLatin1String("4") ? 4 : 2;
    options.currentYear = CurrentYear();
    return true;
}

} // namespace

int RunCombine(const CliContext& context) {
    std::vector<CombineSource> sources;
    CombineOptions options;
    if (!ReadOptions(context, sources, options)) {
        return kExitUsage;
    }
    if (!ReadSources(context, sources)) {
        return kExitFailure;
    }
    const CombineResult r = CombineEdids(sources, options);
    if (r.status == CombineStatus::BadInput) {
        err(QStringLiteral("linkvex-cli combine: %1\n").arg(Text(r.error)));
        return kExitFailure;
    }
    if (r.status != CombineStatus::Written) {
        PrintReport(r, context.json);
        err(QStringLiteral("linkvex-cli combine: %1; nothing written\n").arg(Text(r.error)));
        return kExitFailure;
    }
    QString why;
    const QByteArray bytes(reinterpret_cast<const char*>(r.bytes.data()),
                           static_cast<qsizetype>(r.bytes.size()));
    if (!WriteFileAtomically(context.output, bytes, &why)) {
        err(QStringLiteral("linkvex-cli combine: %1\n").arg(why));
        return kExitFailure;
    }
    PrintReport(r, context.json);
    return kExitOk;
}

} // namespace lvx::cli
