#include "edid/EdidFileIO.h"

#include "common/RegularFile.h"
#include "edid/EdidFile.h"

namespace lvx {

std::optional<EdidImage> ReadEdidFile(const QString& path, QString* error) {
    const std::optional<QByteArray> bytes =
        ReadRegularFile(path, static_cast<qint64>(kEdidSize), error);
    if (!bytes) {
        return std::nullopt;
    }
    return ImageFromFileBytes(reinterpret_cast<const std::uint8_t*>(bytes->constData()),
                              static_cast<std::size_t>(bytes->size()));
}

std::optional<QByteArray> ReadFileHead(const QString& path, qint64 maxBytes, QString* error) {
    return ReadRegularFile(path, maxBytes + 1, error);
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error,
                         AtomicFileWriter::Links links) {
    AtomicFileWriter writer;
    const bool ok = writer.open(path, links) && writer.write(bytes);
    if (!ok && error != nullptr) {
        *error = writer.error();
    }
    return ok;
}

} // namespace lvx
