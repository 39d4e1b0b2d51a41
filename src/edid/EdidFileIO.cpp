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

} // namespace lvx
