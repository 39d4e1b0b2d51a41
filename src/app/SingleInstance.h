#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QWidget;

namespace lvx {

// One running copy per user: a lock file keyed by the program title, and a local server the
// running copy listens on. A second copy pokes that server (the first one comes to the front)
// and ends without showing a window.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only copy; false after the running copy was told to come forward.
    bool claim();

    // The window to bring forward when another copy starts.
    void setWindow(QWidget* window) { window_ = window; }

signals:
    void raiseRequested();

private:
    void onConnection();

    QString key_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
    QWidget* window_ = nullptr;
};

// Restores a minimised window, otherwise raises it, and makes it the active window.
void BringToFront(QWidget* window);

} // namespace lvx
