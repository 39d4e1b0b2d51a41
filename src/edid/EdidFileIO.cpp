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
    EdidFileWriter writer;
    const bool ok = writer.open(path) && writer.write(bytes);
    if (!ok && error != nullptr) {
        *error = writer.error();
    }
    return ok;
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
    return write(QByteArray(reinterpret_cast<const char*>(image.data()),
                            static_cast<qsizetype>(image.size())));
}

bool EdidFileWriter::write(const QByteArray& bytes) {
    if (!file_) {
        error_ = QStringLiteral("file not open");
        return false;
    }
    const qint64 size = bytes.size();
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file_->write(bytes.constData() + done, size - done);
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
