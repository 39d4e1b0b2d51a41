#pragma once

#include "common/EdidImage.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <memory>
#include <optional>

namespace lvx {

// Reads a .bin file as the program reads it: its first 256 bytes, 0xFF for every byte the
// file is too short to hold. None when the file cannot be opened (or is no regular file).
std::optional<EdidImage> ReadEdidFile(const QString& path);

// Reads at most `maxBytes` + 1 bytes of a regular file, so that a caller sees a file that is
// too long without reading all of it. None when it is no regular file or cannot be read.
std::optional<QByteArray> ReadFileHead(const QString& path, qint64 maxBytes);

// Writes a whole file the same way as EdidFileWriter below: the bytes replace the file only
// when all of them were written. False, with the reason in `error`, otherwise.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

// Writes one EDID image to a file without ever leaving a half-written file: the bytes go to
// a temporary file next to the target, which replaces the target only when all 256 bytes
// were written. A failed write (disk full, no permission, read-only) leaves any earlier file
// untouched and no temporary file behind.
class EdidFileWriter {
public:
    EdidFileWriter() = default;
    ~EdidFileWriter();
    EdidFileWriter(const EdidFileWriter&) = delete;
    EdidFileWriter& operator=(const EdidFileWriter&) = delete;

    // Creates the temporary file; false (see error()) when the target cannot be written.
    bool open(const QString& path);
    // Writes the image and puts the file in place.
    bool write(const EdidImage& image);
    // The same for any bytes.
    bool write(const QByteArray& bytes);
    // Gives up: the target stays as it was.
    void cancel();

    bool isOpen() const { return file_ != nullptr; }
    QString error() const { return error_; }

private:
    std::unique_ptr<QSaveFile> file_;
    QString error_;
};

} // namespace lvx
