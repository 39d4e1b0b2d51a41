#include "edid/EdidFileIO.h"

#include "edid/EdidFile.h"

#include <QFile>
#include <QFileInfo>

namespace lvx {

std::optional<EdidImage> ReadEdidFile(const QString& path) {
    if (path.isEmpty() || QFileInfo(path).isDir()) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.read(static_cast<qint64>(kEdidSize));
    return ImageFromFileBytes(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                              static_cast<std::size_t>(bytes.size()));
}

std::optional<QByteArray> ReadFileHead(const QString& path, qint64 maxBytes) {
    // Only a regular file: a FIFO or a device would block or never end.
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray bytes;
    // Attributes of the kernel's sysfs report a size of 0 or 4096 whatever they hold: read
    // until the end rather than trusting the size.
    while (bytes.size() <= maxBytes) {
        const QByteArray piece = file.read(maxBytes + 1 - bytes.size());
        if (piece.isEmpty()) {
            break;
        }
        bytes += piece;
    }
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return bytes;
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    AtomicFileWriter writer;
    const bool ok = writer.open(path) && writer.write(bytes);
    if (!ok && error != nullptr) {
        *error = writer.error();
    }
    return ok;
}

} // namespace lvx
