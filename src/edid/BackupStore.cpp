#include "edid/BackupStore.h"

#include "common/AtomicFileWriter.h"
#include "edid/EdidFileIO.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <set>

namespace lvx {

namespace {

QString Text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

bool IsDigest(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// --- writing -------------------------------------------------------------------------------

QJsonObject DeviceJson(const BackupDevice& d) {
    return {{QStringLiteral("link"), Text(d.link)},
            {QStringLiteral("model"), Text(d.model)},
            {QStringLiteral("vid"), Text(d.vid)},
            {QStringLiteral("pid"), Text(d.pid)},
            {QStringLiteral("productString"), Text(d.productString)},
            {QStringLiteral("version"), Text(d.version)},
            {QStringLiteral("serialNumber"), Text(d.serialNumber)},
            {QStringLiteral("mac"), Text(d.mac)}};
}

QJsonObject CountsJson(const NodeCounts& c) {
    return {{QStringLiteral("inputs"), c.inputs},
            {QStringLiteral("outputs"), c.outputs},
            {QStringLiteral("users"), c.users},
            {QStringLiteral("internals"), c.internals}};
}

QJsonObject EntryJson(const BackupEntry& e) {
    QJsonObject o{{QStringLiteral("node"), Text(NodeName(e.node))}};
    if (e.ok) {
        o[QStringLiteral("file")] = Text(NodeFileName(e.node));
        o[QStringLiteral("sha256")] = Text(e.sha256);
        o[QStringLiteral("status")] = QStringLiteral("ok");
    } else {
        o[QStringLiteral("status")] = QStringLiteral("failed");
        o[QStringLiteral("error")] = Text(e.error);
    }
    return o;
}

QJsonObject ModeJson(const BackupMode& m) {
    QJsonObject o{{QStringLiteral("input"), m.input + 1}};
    if (m.ok) {
        o[QStringLiteral("mode")] = m.mode;
        o[QStringLiteral("source")] = Text(m.source);
        o[QStringLiteral("status")] = QStringLiteral("ok");
    } else {
        o[QStringLiteral("status")] = QStringLiteral("failed");
        o[QStringLiteral("error")] = Text(m.error);
    }
    return o;
}

// --- reading -------------------------------------------------------------------------------

// Reads members of the manifest's objects; the first thing found wrong is the error.
class Reader {
public:
    QString error;

    bool fail(const QString& message) {
        if (error.isEmpty()) {
            error = message;
        }
        return false;
    }

    bool member(const QJsonObject& object, const char* name, QJsonValue::Type type,
                const char* where, QJsonValue& out) {
        out = object.value(QLatin1String(name));
        if (out.type() != type) {
            return fail(QStringLiteral("%1: \"%2\" is missing or mistyped")
                            .arg(QLatin1String(where), QLatin1String(name)));
        }
        return true;
    }

    bool text(const QJsonObject& object, const char* name, std::string& out, const char* where) {
        QJsonValue value;
        if (!member(object, name, QJsonValue::String, where, value)) {
            return false;
        }
        out = Utf8(value.toString());
        return true;
    }

    // An optional text member: absent is empty, present must be a string.
    bool optionalText(const QJsonObject& object, const char* name, std::string& out,
                      const char* where) {
        out.clear();
        return !object.contains(QLatin1String(name)) || text(object, name, out, where);
    }

    bool integer(const QJsonObject& object, const char* name, int low, int high, int& out,
                 const char* where) {
        QJsonValue value;
        if (!member(object, name, QJsonValue::Double, where, value)) {
            return false;
        }
        const double n = value.toDouble();
        if (!(n >= low && n <= high) || std::floor(n) != n) {
            return fail(QStringLiteral("%1: \"%2\" must be a whole number from %3 to %4")
                            .arg(QLatin1String(where), QLatin1String(name))
                            .arg(low)
                            .arg(high));
        }
        out = static_cast<int>(n);
        return true;
    }

    bool status(const QJsonObject& object, bool& ok, const char* where) {
        std::string value;
        if (!text(object, "status", value, where)) {
            return false;
        }
        if (value != "ok" && value != "failed") {
            return fail(QStringLiteral("%1: status is \"ok\" or \"failed\"").arg(where));
        }
        ok = value == "ok";
        return true;
    }
};

bool ReadHeader(Reader& r, const QJsonObject& root, BackupManifest& out) {
    std::string format;
    if (!r.text(root, "format", format, "manifest") || format != kManifestFormat) {
        return r.fail(QStringLiteral("not a device backup manifest"));
    }
    if (!r.integer(root, "version", 1, 1000000, out.version, "manifest")) {
        return false;
    }
    if (out.version > kManifestVersion) {
        return r.fail(QStringLiteral("the manifest is of version %1; this program reads version %2")
                          .arg(out.version)
                          .arg(kManifestVersion));
    }
    return r.optionalText(root, "date", out.date, "manifest") &&
           r.optionalText(root, "program", out.program, "manifest");
}

bool ReadDevice(Reader& r, const QJsonObject& device, BackupDevice& d) {
    if (!r.text(device, "link", d.link, "device") || (d.link != "serial" && d.link != "network") ||
        !r.text(device, "model", d.model, "device") || !r.text(device, "vid", d.vid, "device") ||
        !r.text(device, "pid", d.pid, "device") ||
        !r.optionalText(device, "productString", d.productString, "device") ||
        !r.optionalText(device, "version", d.version, "device") ||
        !r.optionalText(device, "serialNumber", d.serialNumber, "device") ||
        !r.optionalText(device, "mac", d.mac, "device")) {
        return r.fail(QStringLiteral("device: link is \"serial\" or \"network\""));
    }
    return true;
}

bool ReadCounts(Reader& r, const QJsonObject& counts, NodeCounts& out) {
    int inputs = 0, outputs = 0, users = 0, internals = 0;
    if (!r.integer(counts, "inputs", 0, 255, inputs, "counts") ||
        !r.integer(counts, "outputs", 0, 255, outputs, "counts") ||
        !r.integer(counts, "users", 0, 255, users, "counts") ||
        !r.integer(counts, "internals", 0, 255, internals, "counts")) {
        return false;
    }
    out = {static_cast<std::uint8_t>(inputs), static_cast<std::uint8_t>(outputs),
           static_cast<std::uint8_t>(users), static_cast<std::uint8_t>(internals)};
    return true;
}

bool ReadEntry(Reader& r, const QJsonObject& item, const NodeCounts& counts,
               std::set<std::string>& seen, BackupEntry& entry) {
    std::string name;
    if (!r.text(item, "node", name, "files")) {
        return false;
    }
    const std::optional<NodeRef> node = NodeFromName(name);
    if (!node || !HasNode(counts, *node)) {
        return r.fail(QStringLiteral("files: \"%1\" is no node of the device").arg(Text(name)));
    }
    if (!seen.insert(name).second) {
        return r.fail(QStringLiteral("files: \"%1\" is listed twice").arg(Text(name)));
    }
    entry.node = *node;
    if (!r.status(item, entry.ok, "files")) {
        return false;
    }
    if (!entry.ok) {
        return r.optionalText(item, "error", entry.error, "files");
    }
    std::string file;
    if (!r.text(item, "file", file, "files") || file != NodeFileName(*node)) {
        // Only the node's own name: a manifest never sends the program elsewhere.
        return r.fail(QStringLiteral("files: the file of %1 must be %2")
                          .arg(Text(name), Text(NodeFileName(*node))));
    }
    if (!r.text(item, "sha256", entry.sha256, "files") || !IsDigest(entry.sha256)) {
        return r.fail(
            QStringLiteral("files: the sha256 of %1 is not 64 hex digits").arg(Text(name)));
    }
    return true;
}

bool ReadMode(Reader& r, const QJsonObject& item, const NodeCounts& counts,
              std::set<int>& inputsSeen, BackupMode& mode) {
    int input = 0;
    if (!r.integer(item, "input", 1, 256, input, "modes")) {
        return false;
    }
    if (input > counts.inputs) {
        return r.fail(QStringLiteral("modes: the device has no input %1").arg(input));
    }
    if (!inputsSeen.insert(input).second) {
        return r.fail(QStringLiteral("modes: input %1 is listed twice").arg(input));
    }
    mode.input = input - 1;
    if (!r.status(item, mode.ok, "modes")) {
        return false;
    }
    if (!mode.ok) {
        return r.optionalText(item, "error", mode.error, "modes");
    }
    if (!r.integer(item, "mode", 0, 255, mode.mode, "modes") ||
        !r.text(item, "source", mode.source, "modes")) {
        return false;
    }
    // The source and the index must say the same on the backed-up device.
    if (ModeSourceName(mode.mode, ModeCountsOf(counts)) != mode.source) {
        return r.fail(QStringLiteral("modes: mode %1 of input %2 is not %3")
                          .arg(mode.mode)
                          .arg(input)
                          .arg(Text(mode.source)));
    }
    return true;
}

// Reads each object of `list` with `read`; an entry that is no object is refused.
template <typename Item, typename Read>
bool ReadList(Reader& r, const QJsonArray& list, const char* where, std::vector<Item>& out,
              Read read) {
    for (const QJsonValue& value : list) {
        if (!value.isObject()) {
            return r.fail(QStringLiteral("%1: an entry is not an object").arg(where));
        }
        Item item;
        if (!read(value.toObject(), item)) {
            return false;
        }
        out.push_back(std::move(item));
    }
    return true;
}

bool ReadManifest(Reader& r, const QJsonObject& root, BackupManifest& out) {
    if (!ReadHeader(r, root, out)) {
        return false;
    }
    QJsonValue device, counts, files, modes;
    if (!r.member(root, "device", QJsonValue::Object, "manifest", device) ||
        !r.member(root, "counts", QJsonValue::Object, "manifest", counts) ||
        !r.member(root, "files", QJsonValue::Array, "manifest", files) ||
        !r.member(root, "modes", QJsonValue::Array, "manifest", modes) ||
        !ReadDevice(r, device.toObject(), out.device) ||
        !ReadCounts(r, counts.toObject(), out.device.counts)) {
        return false;
    }
    const NodeCounts& c = out.device.counts;
    std::set<std::string> seen;
    std::set<int> inputsSeen;
    return ReadList(r, files.toArray(), "files", out.nodes,
                    [&](const QJsonObject& item, BackupEntry& entry) {
                        return ReadEntry(r, item, c, seen, entry);
                    }) &&
           ReadList(r, modes.toArray(), "modes", out.modes,
                    [&](const QJsonObject& item, BackupMode& mode) {
                        return ReadMode(r, item, c, inputsSeen, mode);
                    });
}

QString ManifestPath(const QString& directory) {
    return QDir(directory).filePath(Text(kManifestName));
}

} // namespace

std::string Sha256Hex(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString();
}

QByteArray ManifestToJson(const BackupManifest& m) {
    QJsonArray files;
    for (const BackupEntry& e : m.nodes) {
        files.append(EntryJson(e));
    }
    QJsonArray modes;
    for (const BackupMode& mode : m.modes) {
        modes.append(ModeJson(mode));
    }
    const QJsonObject root{{QStringLiteral("format"), Text(kManifestFormat)},
                           {QStringLiteral("version"), m.version},
                           {QStringLiteral("date"), Text(m.date)},
                           {QStringLiteral("program"), Text(m.program)},
                           {QStringLiteral("device"), DeviceJson(m.device)},
                           {QStringLiteral("counts"), CountsJson(m.device.counts)},
                           {QStringLiteral("complete"), m.complete()},
                           {QStringLiteral("files"), files},
                           {QStringLiteral("modes"), modes}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool ParseManifest(const QByteArray& text, BackupManifest& out, QString& error) {
    out = BackupManifest{};
    if (text.size() > kManifestMaxBytes) {
        error = QStringLiteral("the manifest is too large");
        return false;
    }
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &parse);
    if (parse.error != QJsonParseError::NoError) {
        error = QStringLiteral("the manifest is not JSON (%1 at byte %2)")
                    .arg(parse.errorString())
                    .arg(parse.offset);
        return false;
    }
    Reader r;
    if (!document.isObject()) {
        r.fail(QStringLiteral("the manifest is not a JSON object"));
    } else if (ReadManifest(r, document.object(), out)) {
        return true;
    }
    error = r.error.isEmpty() ? QStringLiteral("the manifest cannot be read") : r.error;
    out = BackupManifest{};
    return false;
}

StoredBackup ReadBackup(const QString& directory) {
    StoredBackup b;
    const QString manifestPath = ManifestPath(directory);
    const std::optional<QByteArray> text = ReadFileHead(manifestPath, kManifestMaxBytes);
    if (!text) {
        b.error = QStringLiteral("cannot read %1").arg(manifestPath);
        return b;
    }
    QString error;
    if (!ParseManifest(*text, b.manifest, error)) {
        b.error = QStringLiteral("%1: %2").arg(manifestPath, error);
        return b;
    }
    b.readable = true;
    const QDir folder(directory);
    for (const BackupEntry& entry : b.manifest.nodes) {
        if (!entry.ok) {
            continue;
        }
        const std::string name = NodeFileName(entry.node);
        const std::optional<QByteArray> bytes =
            ReadFileHead(folder.filePath(Text(name)), static_cast<qint64>(kEdidSize));
        if (bytes) {
            b.files[name] = BackupFile{std::vector<std::uint8_t>(bytes->begin(), bytes->end()),
                                       Sha256Hex(*bytes)};
        } else {
            b.files[name] = std::nullopt;
        }
    }
    return b;
}

bool HoldsCompleteBackup(const QString& directory) {
    const StoredBackup b = ReadBackup(directory);
    if (!b.readable || !b.manifest.complete()) {
        return false;
    }
    return std::all_of(
        b.manifest.nodes.begin(), b.manifest.nodes.end(), [&](const BackupEntry& entry) {
            const auto file = b.files.find(NodeFileName(entry.node));
            return file != b.files.end() && file->second &&
                   file->second->bytes.size() == kEdidSize && file->second->sha256 == entry.sha256;
        });
}

BackupWriter::BackupWriter(const QString& directory) : directory_(directory) {}

BackupWriter::~BackupWriter() = default;

bool BackupWriter::stage(NodeRef node, const EdidImage& image, std::string& sha256,
                         QString& error) {
    const QString name = Text(NodeFileName(node));
    const QByteArray bytes(reinterpret_cast<const char*>(image.data()),
                           static_cast<qsizetype>(image.size()));
    auto writer = std::make_unique<AtomicFileWriter>();
    if (!writer->open(QDir(directory_).filePath(name), AtomicFileWriter::Links::Replace) ||
        !writer->prepare(bytes)) {
        error = QStringLiteral("cannot write %1: %2").arg(name, writer->error());
        return false;
    }
    sha256 = Sha256Hex(bytes);
    staged_.push_back(std::move(writer));
    return true;
}

BackupWriter::Outcome BackupWriter::finish(const BackupManifest& manifest, QString& error) {
    // Whatever is not put in place below is removed when the staged writers go.
    const auto staged = std::move(staged_);
    staged_.clear();
    if (!manifest.complete() && HoldsCompleteBackup(directory_)) {
        // A refresh that failed part way must not cost the user the backup they had.
        return Outcome::KeptEarlier;
    }
    // The manifest is on disk before the first file is put in place, so a full disk changes
    // nothing in the folder.
    AtomicFileWriter file;
    if (!file.open(ManifestPath(directory_), AtomicFileWriter::Links::Replace) ||
        !file.prepare(ManifestToJson(manifest))) {
        error = file.error();
        return Outcome::Failed;
    }
    for (const std::unique_ptr<AtomicFileWriter>& node : staged) {
        if (!node->commit()) {
            error = QStringLiteral("%1: %2").arg(node->targetPath(), node->error());
            return Outcome::Failed;
        }
    }
    if (!file.commit()) {
        error = file.error();
        return Outcome::Failed;
    }
    return Outcome::Saved;
}

} // namespace lvx
