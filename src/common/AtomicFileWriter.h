#pragma once

#include <QSaveFile>
#include <QString>

#include <memory>

namespace lvx {

// Writes a whole file without ever leaving a half-written one: the bytes go to a temporary
// file next to the target, which replaces the target only when every byte was written. A
// failed write (disk full, no permission, read-only) leaves any earlier file untouched and no
// temporary file behind.
//
// One exception, for a folder the user may not create files in but whose file is writable:
// the file is then overwritten in place at write(), never truncated before the new bytes are
// there, and every byte is still checked.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Prepares the target; false (see error()) when it cannot be written.
    bool open(const QString& path);
    // Writes the bytes and puts the file in place.
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // Gives up: the target stays as it was.
    void cancel();

    bool isOpen() const { return file_ != nullptr || inPlace_; }
    // True when the target is overwritten in place (its folder takes no new files).
    bool inPlace() const { return inPlace_; }
    QString error() const { return error_; }

private:
    bool writeInPlace(const char* data, qint64 size);

    std::unique_ptr<QSaveFile> file_;
    QString path_;
    bool inPlace_ = false;
    QString error_;
};

} // namespace lvx
