// The single-instance lock: in the user's own runtime directory, keyed by the user id, the
// socket closed to other users, a chatty client cut off.
#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace lvx;

class SingleInstanceTest : public QObject {
    Q_OBJECT

private:
    // A fresh runtime directory with these permissions, as $XDG_RUNTIME_DIR.
    QString runtimeDirectory(QFileDevice::Permissions permissions) {
        dirs_.push_back(std::make_unique<QTemporaryDir>());
        const QString path = dirs_.back()->path();
        QFile::setPermissions(path, permissions);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path));
        return path;
    }
    static constexpr QFileDevice::Permissions kOwnerOnly =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

    std::vector<std::unique_ptr<QTemporaryDir>> dirs_;

private slots:
    void lockAndSocketAreTheUsersOwn() {
        const QString dir = runtimeDirectory(kOwnerOnly);
        SingleInstance first(QStringLiteral("LinkvexTest"));
        QVERIFY(first.claim());
        QVERIFY(first.error().isEmpty());
        const QString uid = QString::number(::getuid());
        QCOMPARE(QFileInfo(first.lockPath()).absolutePath(), QFileInfo(dir).absoluteFilePath());
        QVERIFY(QFileInfo(first.lockPath()).fileName().contains(uid));
        QVERIFY(QFileInfo::exists(first.lockPath()));

        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(first.serverPath()).constData(), &info), 0);
        QVERIFY(S_ISSOCK(info.st_mode));
        QCOMPARE(int(info.st_mode & 077), 0);
        QCOMPARE(info.st_uid, ::getuid());

        // A second copy of the same user finds the first and is told to end.
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        SingleInstance second(QStringLiteral("LinkvexTest"));
        QVERIFY(!second.claim());
        QVERIFY(raised.wait(2000));
    }

    void userVariableDoesNotChooseTheLock() {
        runtimeDirectory(kOwnerOnly);
        const QByteArray user = qgetenv("USER");
        qputenv("USER", "somebody-else");
        SingleInstance a(QStringLiteral("LinkvexTest"));
        qunsetenv("USER");
        SingleInstance b(QStringLiteral("LinkvexTest"));
        qputenv("USER", user);
        QCOMPARE(a.lockPath(), b.lockPath());
        QVERIFY(a.claim());
        QVERIFY(!b.claim());
    }

    void sharedRuntimeDirectoryIsNotUsed() {
        // A directory others may write to is no place for the lock: the program still runs.
        const QString dir = runtimeDirectory(kOwnerOnly | QFileDevice::WriteOther |
                                             QFileDevice::ReadOther | QFileDevice::ExeOther);
        QFile::setPermissions(dir, kOwnerOnly | QFileDevice::WriteOther | QFileDevice::ReadOther |
                                       QFileDevice::ExeOther);
        SingleInstance instance(QStringLiteral("LinkvexTest"));
        QVERIFY(instance.claim());
        QVERIFY(!QFileInfo::exists(QDir(dir).filePath(QFileInfo(instance.lockPath()).fileName())));
    }

    void chattyClientIsCutOff() {
        runtimeDirectory(kOwnerOnly);
        SingleInstance first(QStringLiteral("LinkvexTest"));
        QVERIFY(first.claim());
        QLocalSocket client;
        client.connectToServer(first.serverPath());
        QVERIFY(client.waitForConnected(1000));
        const QByteArray flood(1 << 20, 'x');
        client.write(flood);
        QSignalSpy gone(&client, &QLocalSocket::disconnected);
        QVERIFY(gone.wait(5000));
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
