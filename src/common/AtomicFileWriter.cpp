#include "common/AtomicFileWriter.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lvx {

namespace {

// As many links as the kernel follows in one path before it gives up (ELOOP).
constexpr int kMaxLinkHops = 40;
// Room left in a file name for the temporary file's dot and suffix.
constexpr int kNameKeptInTemporary = 200;

QString Shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

QString SystemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_;
};

int OpenFolder(const QByteArray& directory) {
    return ::open(directory.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

// The kernel's rule for following a link (fs.protected_symlinks): in a folder that is sticky
// and writable by everyone, only a link of the follower or of the folder's owner is followed.
bool MayFollow(const struct stat& link, const struct stat& folder) {
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return !shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

void Split(const QByteArray& path, QByteArray& directory, QByteArray& name) {
    const int slash = path.lastIndexOf('/');
    directory = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    name = path.mid(slash + 1);
}

QString ErrnoText(const QString& what, int error) {
    return what.isEmpty() ? SystemText(error)
                          : QStringLiteral("%1: %2").arg(what, SystemText(error));
}

// One hop along the symbolic link `name` in `folder`: `current` becomes the path it leads to.
// Returns why the link is not followed, or an empty text.
QString FollowLink(int folder, const struct stat& link, const QByteArray& directory,
                   const QByteArray& name, int hops, const QString& path, QByteArray& current) {
    struct stat folderInfo {};
    if (::fstat(folder, &folderInfo) != 0) {
        return ErrnoText(Shown(directory), errno);
    }
    if (!MayFollow(link, folderInfo)) {
        return QStringLiteral("%1 is a symbolic link in a shared folder and belongs to another "
                              "user: not followed")
            .arg(Shown(current));
    }
    if (hops >= kMaxLinkHops) {
        return ErrnoText(path, ELOOP);
    }
    // Not sized by the link's st_size, which some file systems report as 0.
    QByteArray destination(PATH_MAX + 1, '\0');
    const ssize_t length = ::readlinkat(folder, name.constData(), destination.data(),
                                        static_cast<size_t>(destination.size()));
    if (length <= 0 || length >= destination.size()) {
        return ErrnoText(Shown(current), length < 0 ? errno : length == 0 ? ENOENT : ENAMETOOLONG);
    }
    destination.truncate(static_cast<int>(length));
    current = destination.startsWith('/') ? destination : directory + '/' + destination;
    return {};
}

} // namespace

AtomicFileWriter::~AtomicFileWriter() {
    cancel();
}

bool AtomicFileWriter::fail(const QString& text) {
    error_ = text;
    return false;
}

bool AtomicFileWriter::failErrno(const QString& what, int error) {
    return fail(what.isEmpty() ? SystemText(error)
                               : QStringLiteral("%1: %2").arg(what, SystemText(error)));
}

QString AtomicFileWriter::targetPath() const {
    return directory_.isEmpty() ? QString() : Shown(directory_ + '/' + name_);
}

bool AtomicFileWriter::open(const QString& path, Links links) {
    cancel();
    error_.clear();
    directory_.clear();
    name_.clear();
    if (path.isEmpty()) {
        return fail(QStringLiteral("no file name"));
    }
    QByteArray current = QFile::encodeName(path);
    QByteArray directory;
    QByteArray name;
    Fd folder;
    struct stat target {};
    bool exists = false;
    for (int hops = 0;; ++hops) {
        Split(current, directory, name);
        if (name.isEmpty() || name == "." || name == "..") {
            return fail(QStringLiteral("no file name"));
        }
        // The folder's own path is left to the kernel, which applies its rules to every link
        // on the way; only the last part is resolved here.
        folder.reset(OpenFolder(directory));
        if (folder.get() < 0) {
            return failErrno(Shown(directory), errno);
        }
        if (::fstatat(folder.get(), name.constData(), &target, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) {
                return failErrno(Shown(current), errno);
            }
            exists = false;
            break;
        }
        exists = true;
        if (!S_ISLNK(target.st_mode) || links == Links::Replace) {
            break;
        }
        const QString refused =
            FollowLink(folder.get(), target, directory, name, hops, path, current);
        if (!refused.isEmpty()) {
            return fail(refused);
        }
    }
    const bool link = exists && S_ISLNK(target.st_mode);
    if (exists && S_ISDIR(target.st_mode)) {
        return fail(QStringLiteral("%1 is a folder").arg(Shown(current)));
    }
    if (exists && !link && !S_ISREG(target.st_mode)) {
        return fail(QStringLiteral("%1 is not a regular file").arg(Shown(current)));
    }
    directory_ = directory;
    name_ = name;

    return openTemporary(folder.get(), exists && !link, static_cast<unsigned>(target.st_mode));
}

bool AtomicFileWriter::openTemporary(int folder, bool keepMode, unsigned targetMode) {
    // A file that is replaced keeps its permissions; until they are set, nobody else may
    // open the new one.
    int error = 0;
    if (createTemporary(folder, keepMode ? 0600u : 0666u, &error)) {
        if (keepMode) {
            ::fchmod(fd_, targetMode & 0777);
        }
        state_ = State::Open;
        return true;
    }
    // The folder takes no new file. A regular file that may be written is overwritten in
    // place instead, once the bytes are known.
    if (keepMode && (error == EACCES || error == EPERM || error == EROFS)) {
        const Fd probe(
            ::openat(folder, name_.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (probe.get() >= 0) {
            inPlace_ = true;
            state_ = State::Open;
            return true;
        }
        error = errno;
    }
    return failErrno(QString(), error);
}

bool AtomicFileWriter::createTemporary(int directory, unsigned mode, int* error) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = '.' + name_.left(kNameKeptInTemporary) + '.';
        for (int i = 0; i < 6; ++i) {
            name += kLetters[QRandomGenerator::global()->bounded(
                static_cast<int>(sizeof(kLetters) - 1))];
        }
        const int fd = ::openat(directory, name.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            fd_ = fd;
            temporary_ = name;
            return true;
        }
        if (errno != EEXIST) {
            *error = errno;
            return false;
        }
    }
    *error = EEXIST;
    return false;
}

bool AtomicFileWriter::prepare(const char* data, qint64 size) {
    if (state_ != State::Open) {
        return fail(QStringLiteral("file not open"));
    }
    if (inPlace_) {
        pending_ = QByteArray(data, static_cast<qsizetype>(size));
        state_ = State::Prepared;
        return true;
    }
    qint64 done = 0;
    int error = 0;
    while (done < size) {
        const ssize_t n = ::write(fd_, data + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    // A full disk can give a short count: never put such a file in place.
    if (done != size) {
        const QString text =
            QStringLiteral("only %1 of %2 bytes could be written").arg(done).arg(size);
        failErrno(text, error);
        cancel();
        return false;
    }
    if (::fsync(fd_) != 0) {
        failErrno(QString(), errno);
        cancel();
        return false;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        failErrno(QString(), errno);
        cancel();
        return false;
    }
    state_ = State::Prepared;
    return true;
}

bool AtomicFileWriter::commit() {
    if (state_ != State::Prepared) {
        return fail(QStringLiteral("nothing prepared to put in place"));
    }
    if (inPlace_) {
        const bool ok = writeInPlace();
        cancel();
        return ok;
    }
    const Fd folder(OpenFolder(directory_));
    // rename() replaces whatever has the name now, a link too, and never what it points to.
    if (folder.get() < 0 ||
        ::renameat(folder.get(), temporary_.constData(), folder.get(), name_.constData()) != 0) {
        failErrno(QString(), errno);
        cancel();
        return false;
    }
    temporary_.clear();
    state_ = State::Closed;
    return true;
}

bool AtomicFileWriter::writeInPlace() {
    const Fd folder(OpenFolder(directory_));
    const Fd file(folder.get() < 0 ? -1
                                   : ::openat(folder.get(), name_.constData(),
                                              O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        return failErrno(QString(), errno);
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        return failErrno(QString(), errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return fail(QStringLiteral("%1 is not a regular file").arg(targetPath()));
    }
    const auto size = static_cast<off_t>(pending_.size());
    // Room for every byte first: on a full disk nothing of the old file is overwritten.
    if (size > 0) {
        const int reserved = ::posix_fallocate(file.get(), 0, size);
        if (reserved != 0) {
            return failErrno(QStringLiteral("cannot reserve %1 bytes").arg(size), reserved);
        }
    }
    qint64 done = 0;
    while (done < pending_.size()) {
        const ssize_t n = ::pwrite(file.get(), pending_.constData() + done,
                                   static_cast<size_t>(pending_.size() - done), done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return failErrno(QStringLiteral("only %1 of %2 bytes could be written")
                                 .arg(done)
                                 .arg(pending_.size()),
                             n < 0 ? errno : ENOSPC);
        }
        done += n;
    }
    if (::ftruncate(file.get(), size) != 0 || ::fsync(file.get()) != 0) {
        return failErrno(QString(), errno);
    }
    return true;
}

bool AtomicFileWriter::write(const char* data, qint64 size) {
    return prepare(data, size) && commit();
}

void AtomicFileWriter::cancel() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.isEmpty()) {
        const Fd folder(OpenFolder(directory_));
        if (folder.get() >= 0) {
            ::unlinkat(folder.get(), temporary_.constData(), 0);
        }
        temporary_.clear();
    }
    pending_.clear();
    inPlace_ = false;
    state_ = State::Closed;
}

} // namespace lvx
