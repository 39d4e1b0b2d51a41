#pragma once
// What the two picture tools share: a simulated device started for them, and a saved picture
// reported on standard output.
#include <QApplication>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdio>

namespace shots {

// linkvex-devsim beside the tool with these arguments, ready once made; path() is the pseudo
// terminal it printed first (empty when it did not start).
class Devsim {
public:
    explicit Devsim(const QStringList& args) {
        process_.start(QApplication::applicationDirPath() + QStringLiteral("/linkvex-devsim"),
                       args);
        if (!process_.waitForStarted(5000)) {
            return;
        }
        for (;;) {
            if (!process_.canReadLine() && !process_.waitForReadyRead(5000)) {
                return;
            }
            const QString line = QString::fromLocal8Bit(process_.readLine().trimmed());
            if (line == QLatin1String("ready")) {
                return;
            }
            if (path_.isEmpty()) {
                path_ = line;
            }
        }
    }
    ~Devsim() { stop(); }
    void stop() {
        process_.terminate();
        process_.waitForFinished(3000);
    }
    const QString& path() const { return path_; }

private:
    QProcess process_;
    QString path_;
};

inline bool SavePicture(QWidget* window, const QString& path) {
    const bool saved = window->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

} // namespace shots
