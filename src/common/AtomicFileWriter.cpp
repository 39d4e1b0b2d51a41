#include "common/AtomicFileWriter.h"

#include <QFile>
#include <QFileInfo>

namespace lvx {

AtomicFileWriter::~AtomicFileWriter() {
    cancel();
}

bool AtomicFileWriter::open(const QString& path) {
    cancel();
    error_.clear();
    path_ = path;
    const QFileInfo info(path);
    if (path.isEmpty() || info.isDir()) {
        error_ = QStringLiteral("no file name");
        return false;
    }
    auto file = std::make_unique<QSaveFile>(path);
    // Unbuffered: every write reaches the file at once, so a short write shows in its count.
    if (file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        file_ = std::move(file);
        return true;
    }
    error_ = file->errorString();
    // The temporary file could not be made. A file that exists and may be written is
    // overwritten in place instead, once the bytes are known.
    if (info.exists() && info.isFile() && !QFileInfo(info.absolutePath()).isWritable()) {
        QFile probe(path);
        if (probe.open(QIODevice::ReadWrite)) {
            probe.close();
            inPlace_ = true;
            error_.clear();
            return true;
        }
        error_ = probe.errorString();
    }
    return false;
}

bool AtomicFileWriter::writeInPlace(const char* data, qint64 size) {
    inPlace_ = false;
    QFile file(path_);
    // No truncation before the new bytes are written: until then the old file stays whole.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        error_ = file.errorString();
        return false;
    }
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.write(data + done, size - done);
        if (n <= 0) {
            break;
        }
        done += n;
    }
    if (done != size) {
        error_ = QStringLiteral("only %1 of %2 bytes could be written").arg(done).arg(size);
        return false;
    }
    if (!file.resize(size) || !file.flush()) {
        error_ = file.errorString();
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        error_ = file.errorString();
        return false;
    }
    return true;
}

bool AtomicFileWriter::write(const char* data, qint64 size) {
    if (inPlace_) {
        return writeInPlace(data, size);
    }
    if (!file_) {
        error_ = QStringLiteral("file not open");
        return false;
    }
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file_->write(data + done, size - done);
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

void AtomicFileWriter::cancel() {
    inPlace_ = false;
    if (file_) {
        file_->cancelWriting();
        file_->commit(); // with writing cancelled this only removes the temporary file
        file_.reset();
    }
}

} // namespace lvx
