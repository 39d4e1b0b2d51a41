// The atomic writer and the regular-file reader on real folders: links followed only where
// the kernel would follow them, links in a backup folder replaced, staged files, FIFOs.
#include "common/AtomicFileWriter.h"
#include "common/RegularFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lvx;

namespace {

QByteArray Name(const QString& path) {
    return QFile::encodeName(path);
}

void Put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray Get(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool IsLink(const QString& path) {
    struct stat info {};
    return ::lstat(Name(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

void Link(const QString& target, const QString& link) {
    ASSERT_EQ(::symlink(Name(target).constData(), Name(link).constData()), 0);
}

// Everything in a folder, hidden files too (a temporary file left behind would show).
QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

bool Save(const QString& path, const QByteArray& bytes, QString* error = nullptr,
          AtomicFileWriter::Links links = AtomicFileWriter::Links::Follow) {
    AtomicFileWriter writer;
    const bool ok = writer.open(path, links) && writer.write(bytes);
    if (error != nullptr) {
        *error = writer.error();
    }
    return ok;
}

} // namespace

// The kernel's rule for links in a world-writable sticky folder such as /tmp: a link is
// followed only when it is the user's own or the folder owner's. Another user's link there
// is refused, also for root; elsewhere links are followed as before.
TEST(AtomicFileWriterLinks, FollowedOnlyWhereTheKernelWouldFollowThem) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root: the links of another user are made with lchown";
    }
    const struct passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString shared = dir.filePath("shared");
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_EQ(::chmod(Name(shared).constData(), 01777), 0);
    const QString victim = dir.filePath("victim.conf");
    Put(victim, "root's own file\n");

    // Planted by another user: refused, nothing written anywhere.
    const QString planted = shared + "/out.bin";
    Link(victim, planted);
    ASSERT_EQ(::lchown(Name(planted).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    QString error;
    EXPECT_FALSE(Save(planted, "new bytes", &error));
    EXPECT_TRUE(error.contains("symbolic link")) << error.toStdString();
    EXPECT_EQ(Get(victim), "root's own file\n");
    EXPECT_TRUE(IsLink(planted));
    EXPECT_EQ(Entries(shared), QStringList{"out.bin"});
    // Also at the end of a chain that starts with a link of the user's own.
    const QString mine = dir.filePath("mine.bin");
    Link(planted, mine);
    EXPECT_FALSE(Save(mine, "new bytes", &error));
    EXPECT_EQ(Get(victim), "root's own file\n");

    // The user's own link in the same folder is followed: the target gets the bytes, the
    // link stays a link.
    const QString own = shared + "/own.bin";
    const QString ownTarget = dir.filePath("own-target.bin");
    Link(ownTarget, own);
    EXPECT_TRUE(Save(own, "followed", &error)) << error.toStdString();
    EXPECT_EQ(Get(ownTarget), "followed");
    EXPECT_TRUE(IsLink(own));

    // A sticky folder of that user: its owner's links are followed.
    const QString theirs = dir.filePath("theirs");
    ASSERT_TRUE(QDir().mkdir(theirs));
    ASSERT_EQ(::chmod(Name(theirs).constData(), 01777), 0);
    ASSERT_EQ(::chown(Name(theirs).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    const QString ownersLink = theirs + "/x.bin";
    const QString ownersTarget = dir.filePath("owners-target.bin");
    Link(ownersTarget, ownersLink);
    ASSERT_EQ(::lchown(Name(ownersLink).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    EXPECT_TRUE(Save(ownersLink, "owner's link", &error)) << error.toStdString();
    EXPECT_EQ(Get(ownersTarget), "owner's link");

    // A folder that is not sticky and shared: another user's link is followed there.
    const QString plain = dir.filePath("plain");
    ASSERT_TRUE(QDir().mkdir(plain));
    const QString plainLink = plain + "/y.bin";
    const QString plainTarget = dir.filePath("plain-target.bin");
    Link(plainTarget, plainLink);
    ASSERT_EQ(::lchown(Name(plainLink).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    EXPECT_TRUE(Save(plainLink, "plain folder", &error)) << error.toStdString();
    EXPECT_EQ(Get(plainTarget), "plain folder");
}

TEST(AtomicFileWriterLinks, ChainsLoopsAndWhatIsNoRegularFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A relative link, through a second link, to a file that does not exist yet: created
    // where the chain ends, as the kernel's open() would.
    ASSERT_TRUE(QDir().mkdir(dir.filePath("sub")));
    Link("sub/second", dir.filePath("first"));
    Link("../end.bin", dir.filePath("sub/second"));
    QString error;
    EXPECT_TRUE(Save(dir.filePath("first"), "at the end", &error)) << error.toStdString();
    EXPECT_EQ(Get(dir.filePath("end.bin")), "at the end");
    EXPECT_TRUE(IsLink(dir.filePath("first")));
    EXPECT_TRUE(IsLink(dir.filePath("sub/second")));

    Link("b", dir.filePath("a"));
    Link("a", dir.filePath("b"));
    EXPECT_FALSE(Save(dir.filePath("a"), "loop", &error));
    EXPECT_FALSE(error.isEmpty());

    // A FIFO is not replaced by a file, a folder is not a file name.
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(Name(fifo).constData(), 0600), 0);
    EXPECT_FALSE(Save(fifo, "x", &error));
    EXPECT_TRUE(error.contains("is not a regular file")) << error.toStdString();
    struct stat info {};
    ASSERT_EQ(::lstat(Name(fifo).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_FALSE(Save(dir.path(), "x", &error));
    EXPECT_FALSE(Save(dir.path() + "/", "x", &error));
    EXPECT_FALSE(Save(QString(), "x", &error));
}

// In a folder the program writes as a whole (a backup) a link is replaced by the file
// itself: never its target, and a dangling link creates nothing where it points.
TEST(AtomicFileWriterLinks, ReplaceModeReplacesTheLinkItself) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("backup");
    const QString outside = dir.filePath("outside");
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_TRUE(QDir().mkdir(outside));
    Put(outside + "/precious.json", "someone else's file");
    Link(outside + "/precious.json", folder + "/manifest.json");
    Link(outside + "/created.bin", folder + "/input1.bin");

    QString error;
    EXPECT_TRUE(Save(folder + "/manifest.json", "{}", &error, AtomicFileWriter::Links::Replace))
        << error.toStdString();
    EXPECT_TRUE(Save(folder + "/input1.bin", "edid", &error, AtomicFileWriter::Links::Replace))
        << error.toStdString();
    EXPECT_FALSE(IsLink(folder + "/manifest.json"));
    EXPECT_FALSE(IsLink(folder + "/input1.bin"));
    EXPECT_EQ(Get(folder + "/manifest.json"), "{}");
    EXPECT_EQ(Get(folder + "/input1.bin"), "edid");
    EXPECT_EQ(Get(outside + "/precious.json"), "someone else's file");
    EXPECT_EQ(Entries(outside), QStringList{"precious.json"});
}

// Files prepared first reach their names only at commit(); a cancelled one leaves nothing.
// A replaced file keeps its permissions.
TEST(AtomicFileWriterStaging, NothingChangesBeforeCommit) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString a = dir.filePath("a.bin");
    const QString b = dir.filePath("b.bin");
    Put(a, "old a");
    ASSERT_EQ(::chmod(Name(a).constData(), 0640), 0);
    AtomicFileWriter first;
    AtomicFileWriter second;
    ASSERT_TRUE(first.open(a));
    ASSERT_TRUE(second.open(b));
    ASSERT_TRUE(first.prepare(QByteArray("new a")));
    ASSERT_TRUE(second.prepare(QByteArray("new b")));
    EXPECT_EQ(Get(a), "old a");
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_EQ(Entries(dir.path()).size(), 3); // a.bin and two temporary files
    EXPECT_TRUE(first.commit());
    second.cancel();
    EXPECT_FALSE(second.commit());
    EXPECT_EQ(Get(a), "new a");
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_EQ(Entries(dir.path()), QStringList{"a.bin"});
    struct stat info {};
    ASSERT_EQ(::stat(Name(a).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // A writer dropped before commit() removes its temporary file.
    {
        AtomicFileWriter dropped;
        ASSERT_TRUE(dropped.open(a));
        ASSERT_TRUE(dropped.prepare(QByteArray("never")));
    }
    EXPECT_EQ(Get(a), "new a");
    EXPECT_EQ(Entries(dir.path()), QStringList{"a.bin"});
}

// A FIFO, a device or a folder is refused at once with words that say so; a regular file is
// read up to the limit.
TEST(ReadRegularFile, OnlyRegularFilesAreRead) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath("pipe.bin");
    ASSERT_EQ(::mkfifo(Name(fifo).constData(), 0600), 0);
    QElapsedTimer clock;
    clock.start();
    for (const QString& path : {fifo, QString("/dev/zero"), dir.path()}) {
        QString error;
        EXPECT_FALSE(ReadRegularFile(path, 256, &error).has_value()) << path.toStdString();
        EXPECT_EQ(error, path + " is not a regular file");
    }
    // A link to a FIFO is the FIFO.
    Link(fifo, dir.filePath("link.bin"));
    EXPECT_FALSE(ReadRegularFile(dir.filePath("link.bin"), 256).has_value());
    EXPECT_LT(clock.elapsed(), 10000);

    QString error;
    EXPECT_FALSE(ReadRegularFile(dir.filePath("missing.bin"), 256, &error).has_value());
    EXPECT_TRUE(error.startsWith("cannot open " + dir.filePath("missing.bin") + ": "))
        << error.toStdString();

    const QString file = dir.filePath("data.bin");
    Put(file, QByteArray(300, 'x'));
    EXPECT_EQ(ReadRegularFile(file, 256).value_or(QByteArray()).size(), 256);
    EXPECT_EQ(ReadRegularFile(file, 301).value_or(QByteArray()).size(), 300);
    EXPECT_EQ(ReadRegularFile(file, 300).value_or(QByteArray()).size(), 300);
    Put(file, QByteArray());
    const std::optional<QByteArray> empty = ReadRegularFile(file, 256);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->isEmpty());
}
