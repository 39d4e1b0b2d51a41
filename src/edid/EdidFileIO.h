#pragma once

#include "common/AtomicFileWriter.h"
#include "common/EdidImage.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace lvx {

// Reads a .bin file as the program reads it: its first 256 bytes, 0xFF for every byte the
// file is too short to hold. None when the file cannot be opened or is no regular file (a
// FIFO would block), with the reason, naming the file, in `error`.
std::optional<EdidImage> ReadEdidFile(const QString& path, QString* error = nullptr);

// Reads at most `maxBytes` + 1 bytes of a regular file, so that a caller sees a file that is
// too long without reading all of it. None when it is no regular file or cannot be read.
std::optional<QByteArray> ReadFileHead(const QString& path, qint64 maxBytes,
                                       QString* error = nullptr);

// Writes a whole file through the atomic writer. False, with the reason in `error`, otherwise.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error,
                         AtomicFileWriter::Links links = AtomicFileWriter::Links::Follow);

// Writes one EDID image (256 bytes) through the atomic writer: never a half-written file.
class EdidFileWriter {
public:
    bool open(const QString& path,
              AtomicFileWriter::Links links = AtomicFileWriter::Links::Follow) {
        return file_.open(path, links);
    }
    bool write(const EdidImage& image) {
        return file_.write(reinterpret_cast<const char*>(image.data()),
                           static_cast<qint64>(image.size()));
    }
    void cancel() { file_.cancel(); }
    bool isOpen() const { return file_.isOpen(); }
    QString error() const { return file_.error(); }

private:
    AtomicFileWriter file_;
};

} // namespace lvx
