#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QWidget>

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

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), key_(key) {
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
}

SingleInstance::~SingleInstance() {
    server_.close();
}

bool SingleInstance::claim() {
    const QString base = key_ + QStringLiteral("-") + qEnvironmentVariable("USER", "user");
    lock_ = std::make_unique<QLockFile>(QDir::temp().filePath(base + QStringLiteral(".lock")));
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(100)) {
        QLocalSocket socket;
        socket.connectToServer(base);
        if (socket.waitForConnected(1000)) {
            socket.write("raise\n");
            socket.flush();
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
        }
        return false;
    }
    QLocalServer::removeServer(base);
    server_.listen(base);
    return true;
}

void SingleInstance::onConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        emit raiseRequested();
        BringToFront(window_);
    }
}

} // namespace lvx
