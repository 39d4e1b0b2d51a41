#include "common/RegularFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lvx {

namespace {

std::nullopt_t Fail(QString* error, const QString& text) {
    if (error != nullptr) {
        *error = text;
    }
    return std::nullopt;
}

QString SystemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 limit, QString* error) {
    if (path.isEmpty()) {
        return Fail(error, QStringLiteral("no file name"));
    }
    const QByteArray name = QFile::encodeName(path);
    const QString notRegular = QStringLiteral("%1 is not a regular file").arg(path);
    struct stat info {};
    // A device is not even opened: opening one can have effects of its own.
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return Fail(error, notRegular);
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return Fail(error, QStringLiteral("cannot open %1: %2").arg(path, SystemText(errno)));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &info) != 0) {
        return Fail(error, QStringLiteral("cannot read %1: %2").arg(path, SystemText(errno)));
    }
    if (!S_ISREG(info.st_mode)) {
        return Fail(error, notRegular);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    QByteArray bytes;
    // Attributes of the kernel's sysfs report a size of 0 or 4096 whatever they hold: read
    // until the end rather than trusting the size.
    char buffer[65536];
    while (bytes.size() < limit) {
        const auto want = static_cast<size_t>(
            std::min<qint64>(static_cast<qint64>(sizeof(buffer)), limit - bytes.size()));
        const ssize_t n = ::read(fd, buffer, want);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Fail(error, QStringLiteral("cannot read %1: %2").arg(path, SystemText(errno)));
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer, static_cast<qsizetype>(n));
    }
    return bytes;
}

} // namespace lvx
