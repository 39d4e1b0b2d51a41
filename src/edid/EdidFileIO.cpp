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

EdidFileWriter::~EdidFileWriter() {
    cancel();
}

bool EdidFileWriter::open(const QString& path) {
    cancel();
    error_.clear();
    if (path.isEmpty() || QFileInfo(path).isDir()) {
        error_ = QStringLiteral("no file name");
        return false;
    }
    auto file = std::make_unique<QSaveFile>(path);
    // Unbuffered: every write reaches the file at once, so a short write shows in its count.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        error_ = file->errorString();
        return false;
    }
    file_ = std::move(file);
    return true;
}

bool EdidFileWriter::write(const EdidImage& image) {
    if (!file_) {
        error_ = QStringLiteral("file not open");
        return false;
    }
    const qint64 size = static_cast<qint64>(image.size());
    qint64 done = 0;
    while (done < size) {
        const qint64 n =
            file_->write(reinterpret_cast<const char*>(image.data()) + done, size - done);
        if (n <= 0) {
            break;
        }
        done += n;
    }
    // A full disk can give a short count without an error: never put such a file in place.
    if (done != size || file_->error() != QFileDevice::NoError) {
        error_ = done != size
                     ? QStringLiteral("only %1 of %2 bytes could be written").arg(done).arg(size)
                     : file_->errorString();
        cancel();
        return false;
    }
    const bool committed = file_->commit();
    if (!committed) {
        error_ = file_->errorString();
    }
    file_.reset();
    return committed;
}

void EdidFileWriter::cancel() {
    if (file_) {
        file_->cancelWriting();
        file_->commit(); // with writing cancelled this only removes the temporary file
        file_.reset();
    }
}

} // namespace lvx
