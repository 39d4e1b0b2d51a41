#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace lvx {

// Reads at most `limit` bytes from the start of a regular file. Anything else (a FIFO, a
// device, a socket, a folder) is refused before a byte is read: a FIFO would block the caller
// until someone writes into it, a device may never end. The check is made on the opened file
// (opened without waiting), so a file swapped for a FIFO in between is refused too.
// None, with a sentence naming the file in `error` ("X is not a regular file", "cannot open
// X: ..."), when the file cannot be read.
std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 limit,
                                          QString* error = nullptr);

} // namespace lvx
