#pragma once

#include <QFile>
#include <QList>
#include <QString>

namespace lvx::test {

// One request line a simulated serial device received, with its time stamp (ms).
struct LoggedRequest {
    qint64 ms = 0;
    QString text; // as logged: \r, \n and \f written out
};

// The requests in a linkvex-devsim --log file, oldest first; lines whose text contains
// `after` and everything before them can be dropped by the caller.
inline QList<LoggedRequest> ReadRequests(const QString& path) {
    QList<LoggedRequest> requests;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return requests;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        const int space = line.indexOf(' ');
        if (space < 0 || line.mid(space + 1, 3) != "RX ") {
            continue;
        }
        requests.push_back(
            {line.left(space).toLongLong(), QString::fromLatin1(line.mid(space + 4))});
    }
    return requests;
}

// The request texts only, without the wake-up prefix some of them carry.
inline QStringList RequestTexts(const QList<LoggedRequest>& requests) {
    QStringList texts;
    for (const LoggedRequest& r : requests) {
        QString text = r.text;
        const int dollar = text.indexOf(QLatin1Char('$'));
        texts << (dollar > 0 ? text.mid(dollar) : text);
    }
    return texts;
}

} // namespace lvx::test
