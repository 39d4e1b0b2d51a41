#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QWidget;

namespace lvx {

// One running copy per user: a lock file and a local server, both in the user's own runtime
// directory and keyed by the numeric user id (not by $USER, which anyone can set, and not in
// /tmp, where another user could take the name first). A second copy pokes that server (the
// first one comes to the front) and ends without showing a window.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Bytes read from a client at most; a client that sends more is dropped.
    static constexpr qint64 kMaxRequest = 64;

    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only copy; false after the running copy was told to come forward
    // (or when the runtime directory cannot be used safely, see error()).
    bool claim();
    QString error() const { return error_; }

    // Where the lock and the socket live, for this user.
    QString lockPath() const;
    QString serverPath() const;

    // The window to bring forward when another copy starts.
    void setWindow(QWidget* window) { window_ = window; }

signals:
    void raiseRequested();

private:
    void onConnection();
    QString baseName() const;

    QString key_;
    QString directory_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
    QWidget* window_ = nullptr;
    QString error_;
};

// Restores a minimised window, otherwise raises it, and makes it the active window.
void BringToFront(QWidget* window);

} // namespace lvx
