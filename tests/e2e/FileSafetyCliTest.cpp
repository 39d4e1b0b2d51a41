// linkvex-cli on files that are not what they seem: a FIFO given as an input file, and a
// symbolic link another user planted where a file is to be saved.
#include "support/Processes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lvx::test;

namespace {

const QString kSample = QStringLiteral(LVX_CORPUS_DIR "/002959BBD30B.bin");

QByteArray Name(const QString& path) {
    return QFile::encodeName(path);
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

// Every verb that reads a file refuses a FIFO at once and says why; none waits for a writer
// that never comes.
TEST(FileSafetyCli, AFifoIsRefusedByEveryReader) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath("edid.bin");
    ASSERT_EQ(::mkfifo(Name(fifo).constData(), 0600), 0);
    const QString expected = fifo + " is not a regular file";
    // fw-update reads its file once a loader answered.
    Devsim loader({"--isp", "091"});
    ASSERT_FALSE(loader.path().isEmpty());

    struct Case {
        QStringList arguments;
        int exitCode;
        bool onStandardOutput = false;
    };
    const std::vector<Case> cases = {
        {{"validate", fifo}, 1, true},
        {{"analyze", fifo}, 1},
        {{"creator-load", fifo}, 1},
        {{"creator-build", fifo, "-o", dir.filePath("out.bin")}, 1},
        {{"diff", fifo, kSample}, 2},
        {{"diff", kSample, fifo}, 2},
        {{"write-edid", "--port", "/nonexistent", "--node", "input1", fifo}, 1},
        {{"fw-info", fifo}, 1},
        {{"fw-update", "--port", loader.path(), "--yes", fifo}, 1},
    };
    for (const Case& c : cases) {
        QElapsedTimer clock;
        clock.start();
        const CliRun run = RunCli(c.arguments, 15000);
        const QString shown = c.arguments.join(' ');
        EXPECT_NE(run.err, "timed out") << shown.toStdString();
        EXPECT_EQ(run.exitCode, c.exitCode) << shown.toStdString();
        const QString text = QString::fromLocal8Bit(c.onStandardOutput ? run.out : run.err);
        EXPECT_TRUE(text.contains(expected)) << shown.toStdString() << ": " << text.toStdString();
        EXPECT_LT(clock.elapsed(), 10000) << shown.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("out.bin")));
}

// A link another user planted in a shared sticky folder (like /tmp) is not followed by a
// save, also not by root's: the file it points to stays as it was, and the save says why.
// The user's own link there is followed as before.
TEST(FileSafetyCli, ASaveDoesNotFollowAnotherUsersLinkInASharedFolder) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root: the link is planted by another user through setpriv";
    }
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (setpriv.isEmpty()) {
        GTEST_SKIP() << "setpriv (util-linux) is missing: cannot act as another user";
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(::chmod(Name(dir.path()).constData(), 0755), 0);
    const QString shared = dir.filePath("tmp");
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_EQ(::chmod(Name(shared).constData(), 01777), 0);
    const QString victim = dir.filePath("root-owned.conf");
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("root's settings\n");
    }

    // "nobody" plants shared/edid.bin -> the root-owned file.
    QProcess plant;
    plant.start(setpriv, {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--", "ln", "-s",
                          victim, shared + "/edid.bin"});
    ASSERT_TRUE(plant.waitForFinished(10000));
    ASSERT_EQ(plant.exitCode(), 0) << plant.readAllStandardError().toStdString();
    struct stat link {};
    ASSERT_EQ(::lstat(Name(shared + "/edid.bin").constData(), &link), 0);
    ASSERT_TRUE(S_ISLNK(link.st_mode));
    ASSERT_EQ(link.st_uid, ::getpwnam("nobody")->pw_uid);

    const CliRun refused = RunCli({"creator-build", kSample, "-o", shared + "/edid.bin"});
    EXPECT_EQ(refused.exitCode, 1) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("symbolic link")) << refused.err.toStdString();
    EXPECT_EQ(FileBytes(victim), "root's settings\n");
    EXPECT_EQ(QDir(shared).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"edid.bin"});

    // Root's own link in the same folder leads where it points.
    const QString target = dir.filePath("built.bin");
    ASSERT_TRUE(QFile::link(target, shared + "/mine.bin"));
    const CliRun followed = RunCli({"creator-build", kSample, "-o", shared + "/mine.bin"});
    EXPECT_EQ(followed.exitCode, 0) << followed.err.toStdString();
    EXPECT_EQ(FileBytes(target).size(), 256);
    EXPECT_TRUE(QFileInfo(shared + "/mine.bin").isSymLink());
}
