#include "cli/DiffCommand.h"

#include "cli/CliContext.h"
#include "edid/EdidComparison.h"
#include "edid/EdidFileIO.h"

#include <QJsonDocument>

namespace lvx::cli {

namespace {

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString Hex(int value) {
    return QStringLiteral("0x") +
           QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

QString Bytes(const EdidImage& image, const ByteRange& r) {
    QStringList bytes;
    for (int i = r.first; i <= r.last; ++i) {
        bytes << QStringLiteral("%1")
                     .arg(image[static_cast<std::size_t>(i)], 2, 16, QLatin1Char('0'))
                     .toUpper();
    }
    return bytes.join(QLatin1Char(' '));
}

// Byte values are written out for runs up to this long.
constexpr int kShownRun = 8;

QJsonObject ComparisonJson(const EdidComparison& c, const QString& a, const QString& b,
                           const EdidImage& ia, const EdidImage& ib) {
    QJsonObject o;
    o[QStringLiteral("a")] = a;
    o[QStringLiteral("b")] = b;
    o[QStringLiteral("equal")] = c.equal;
    o[QStringLiteral("differingBytes")] = c.differingBytes;
    QJsonArray facts;
    for (const FactComparison& f : c.facts) {
        facts.append(QJsonObject{{QStringLiteral("key"), QString::fromStdString(f.key)},
                                 {QStringLiteral("caption"), QString::fromStdString(f.caption)},
                                 {QStringLiteral("a"), Latin1(f.a)},
                                 {QStringLiteral("b"), Latin1(f.b)},
                                 {QStringLiteral("differs"), f.differs}});
    }
    o[QStringLiteral("facts")] = facts;
    QJsonArray changes;
    for (const ListChange& ch : c.changes) {
        changes.append(QJsonObject{{QStringLiteral("list"), QString::fromLatin1(ListName(ch.list))},
                                   {QStringLiteral("change"),
                                    ch.added ? QStringLiteral("added") : QStringLiteral("removed")},
                                   {QStringLiteral("text"), QString::fromStdString(ch.text)}});
    }
    o[QStringLiteral("changes")] = changes;
    QJsonArray ranges;
    for (const ByteRange& r : c.ranges) {
        ranges.append(QJsonObject{{QStringLiteral("first"), r.first},
                                  {QStringLiteral("last"), r.last},
                                  {QStringLiteral("field"), QString::fromStdString(r.field)},
                                  {QStringLiteral("a"), Bytes(ia, r)},
                                  {QStringLiteral("b"), Bytes(ib, r)}});
    }
    o[QStringLiteral("ranges")] = ranges;
    return o;
}

QString ComparisonText(const EdidComparison& c, const QString& a, const QString& b,
                       const EdidImage& ia, const EdidImage& ib) {
    QString text = QStringLiteral("--- %1\n+++ %2\n").arg(a, b);
    if (c.differingFacts() > 0) {
        text += QStringLiteral("Facts:\n");
        for (const FactComparison& f : c.facts) {
            if (f.differs) {
                auto shown = [](const std::string& v) {
                    return v.empty() ? QStringLiteral("(empty)") : Latin1(v);
                };
                text += QStringLiteral("  %1: %2 -> %3\n")
                            .arg(QString::fromStdString(f.caption), shown(f.a), shown(f.b));
            }
        }
    }
    for (const ListChange::List list : {ListChange::List::Vic, ListChange::List::Audio,
                                        ListChange::List::Speaker, ListChange::List::Timing}) {
        QString lines;
        for (const ListChange& ch : c.changes) {
            if (ch.list == list) {
                lines += QStringLiteral("  %1 %2\n")
                             .arg(ch.added ? QLatin1Char('+') : QLatin1Char('-'))
                             .arg(QString::fromStdString(ch.text));
            }
        }
        if (!lines.isEmpty()) {
            text += QString::fromLatin1(ListName(list)) + QStringLiteral(":\n") + lines;
        }
    }
    text += QStringLiteral("Bytes: %1 differ\n").arg(c.differingBytes);
    for (const ByteRange& r : c.ranges) {
        const QString where = r.first == r.last
                                  ? Hex(r.first)
                                  : QStringLiteral("%1-%2").arg(Hex(r.first), Hex(r.last));
        const QString values = r.last - r.first < kShownRun
                                   ? QStringLiteral("%1 -> %2").arg(Bytes(ia, r), Bytes(ib, r))
                                   : QStringLiteral("%1 bytes").arg(r.last - r.first + 1);
        text +=
            QStringLiteral("  %1  %2  %3\n").arg(where, QString::fromStdString(r.field), values);
    }
    return text;
}

} // namespace

int RunDiff(const CliContext& context) {
    if (context.arguments.size() != 2) {
        err(QStringLiteral("linkvex-cli diff: name two .bin files: diff A.bin B.bin [--json]\n"));
        return kExitUsage;
    }
    const QString a = context.arguments[0];
    const QString b = context.arguments[1];
    QString why;
    const std::optional<EdidImage> ia = ReadEdidFile(a, &why);
    const std::optional<EdidImage> ib = ia ? ReadEdidFile(b, &why) : std::nullopt;
    if (!ia || !ib) {
        err(QStringLiteral("linkvex-cli diff: %1\n").arg(why));
        return kExitUsage;
    }
    const EdidComparison c = CompareEdids(*ia, *ib);
    if (context.json) {
        out(QString::fromUtf8(
            QJsonDocument(ComparisonJson(c, a, b, *ia, *ib)).toJson(QJsonDocument::Indented)));
    } else if (!c.equal) {
        out(ComparisonText(c, a, b, *ia, *ib));
    }
    return c.equal ? kExitOk : kExitFailure;
}

} // namespace lvx::cli
