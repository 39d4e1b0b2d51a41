#pragma once

#include <QByteArray>
#include <QString>

namespace lvx {

// Writes a whole file without ever leaving a half-written one: the bytes go to a temporary
// file next to the target, which replaces the target only when every byte was written. A
// failed write (disk full, no permission, read-only) leaves any earlier file untouched and no
// temporary file behind.
//
// Symbolic links: the writer resolves the target itself, one link at a time, and follows a
// link only where the kernel's protection of shared folders would (fs.protected_symlinks): a
// link in a world-writable sticky folder (/tmp) is followed only when it belongs to this user
// or to the folder's owner; any other is refused. With Links::Replace a link is never
// followed: the new file takes the place of the link itself (a folder the program owns, such
// as a backup, where a planted link must not send the bytes elsewhere). The final rename
// never follows a link either, so a link planted after open() is replaced, not its target.
// An existing target that is not a regular file (a FIFO, a device) is refused.
//
// One exception, for a folder the user may not create files in but whose file is writable:
// the file is then overwritten in place, never truncated before the new bytes are there; the
// whole new size is reserved first, so a full disk leaves the old contents as they were.
class AtomicFileWriter {
public:
    enum class Links { Follow, Replace };

    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Prepares the target; false (see error()) when it cannot be written.
    bool open(const QString& path, Links links = Links::Follow);
    // Writes the bytes and puts the file in place: prepare() and commit().
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // Writes the bytes into the temporary file and syncs it; the target is not touched yet.
    // Several files can be prepared first and committed together, once all are on disk.
    bool prepare(const char* data, qint64 size);
    bool prepare(const QByteArray& bytes) { return prepare(bytes.constData(), bytes.size()); }
    // Puts a prepared file in place.
    bool commit();
    // Gives up: the target stays as it was, the temporary file is removed.
    void cancel();

    bool isOpen() const { return state_ != State::Closed; }
    // True when the target is overwritten in place (its folder takes no new files).
    bool inPlace() const { return inPlace_; }
    QString error() const { return error_; }
    // Where the bytes go once links are resolved.
    QString targetPath() const;

private:
    enum class State { Closed, Open, Prepared };

    bool fail(const QString& text);
    bool failErrno(const QString& what, int error);
    // The new file beside the target in `folder`; `keepMode` for a regular file replaced,
    // whose permissions (`targetMode`) the new one takes.
    bool openTemporary(int folder, bool keepMode, unsigned targetMode);
    bool createTemporary(int directory, unsigned mode, int* error);
    bool writeInPlace();

    State state_ = State::Closed;
    int fd_ = -1;          // the temporary file until prepare() has closed it
    QByteArray directory_; // the resolved target's folder, as a path the kernel resolves
    QByteArray name_;      // the target's name in that folder
    QByteArray temporary_; // the temporary file's name in that folder
    bool inPlace_ = false;
    QByteArray pending_; // bytes an in-place write puts in at commit()
    QString error_;
};

} // namespace lvx
