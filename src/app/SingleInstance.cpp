#include "app/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QWidget>

#include <sys/stat.h>
#include <unistd.h>

namespace lvx {

void BringToFront(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    if (window->isMinimized()) {
        window->showNormal();
    } else {
        window->show();
        window->raise();
    }
    window->activateWindow();
}

namespace {

// The runtime directory must be this user's own and closed to others; Qt makes it so when it
// creates it, and refuses a directory that is not.
bool PrivateDirectory(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return false;
    }
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), key_(key) {
    directory_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
}

SingleInstance::~SingleInstance() {
    server_.close();
}

QString SingleInstance::baseName() const {
    return key_ + QStringLiteral("-") + QString::number(::getuid());
}

QString SingleInstance::lockPath() const {
    return QDir(directory_).filePath(baseName() + QStringLiteral(".lock"));
}

QString SingleInstance::serverPath() const {
    return QDir(directory_).filePath(baseName() + QStringLiteral(".socket"));
}

bool SingleInstance::claim() {
    if (!PrivateDirectory(directory_)) {
        error_ = QStringLiteral("no private runtime directory for the single-instance lock");
        // Without a safe place for the lock the program still runs: one copy more is better
        // than none.
        return true;
    }
    lock_ = std::make_unique<QLockFile>(lockPath());
    // A lock whose process is gone is taken over; a live one is never "stale".
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(100)) {
        QLocalSocket socket;
        socket.connectToServer(serverPath());
        if (socket.waitForConnected(1000)) {
            socket.write("raise\n");
            socket.flush();
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
        }
        return false;
    }
    QLocalServer::removeServer(serverPath());
    if (!server_.listen(serverPath())) {
        error_ = server_.errorString();
    }
    return true;
}

void SingleInstance::onConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        // Connecting is the whole request: nothing a client sends is read beyond the small
        // buffer the socket may fill before it is closed.
        socket->setReadBufferSize(kMaxRequest);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        socket->disconnectFromServer();
        emit raiseRequested();
        BringToFront(window_);
    }
}

} // namespace lvx
