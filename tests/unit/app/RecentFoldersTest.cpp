// The folder last used per kind of file, kept in a settings file between runs.
#include "app/RecentFolders.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lvx;

namespace {

struct Folders : ::testing::Test {
    QTemporaryDir dir;
    QString settings() const { return dir.filePath("settings/linkvex.conf"); }
    QString folder(const QString& name) const {
        QDir(dir.path()).mkpath(name);
        return QDir(dir.path()).filePath(name);
    }
};

} // namespace

TEST_F(Folders, NothingRememberedStartsNowhereInParticular) {
    RecentFolders folders(settings());
    EXPECT_EQ(folders.lastFolder(FileKind::Edid), QString());
    EXPECT_EQ(folders.lastFolder(FileKind::Firmware), QString());
    EXPECT_EQ(folders.lastFolder(FileKind::Log), QString());
}

TEST_F(Folders, EachKindKeepsItsOwnFolderAcrossRuns) {
    const QString edids = folder("edids");
    const QString firmware = folder("firmware images");
    const QString logs = folder("logs");
    {
        RecentFolders folders(settings());
        // A chosen file stands for its folder; a folder for itself.
        folders.rememberFolder(FileKind::Edid, edids + "/tv.bin");
        folders.rememberFolder(FileKind::Firmware, firmware);
        folders.rememberFolder(FileKind::Log, logs + "/channel1.txt");
        // A cancelled dialog leaves the folder as it was.
        folders.rememberFolder(FileKind::Edid, QString());
    }
    RecentFolders later(settings());
    EXPECT_EQ(later.lastFolder(FileKind::Edid), edids);
    EXPECT_EQ(later.lastFolder(FileKind::Firmware), firmware);
    EXPECT_EQ(later.lastFolder(FileKind::Log), logs);
    // The keys the settings file holds.
    QSettings file(settings(), QSettings::IniFormat);
    EXPECT_EQ(file.value("folders/edid").toString(), edids);
    EXPECT_EQ(file.value("folders/firmware").toString(), firmware);
    EXPECT_EQ(file.value("folders/logs").toString(), logs);
}

TEST_F(Folders, ALaterChoiceReplacesTheEarlierOneOfItsKindOnly) {
    RecentFolders folders(settings());
    folders.rememberFolder(FileKind::Edid, folder("a") + "/x.bin");
    folders.rememberFolder(FileKind::Log, folder("logs") + "/l.txt");
    folders.rememberFolder(FileKind::Edid, folder("b") + "/y.bin");
    EXPECT_EQ(folders.lastFolder(FileKind::Edid), folder("b"));
    EXPECT_EQ(folders.lastFolder(FileKind::Log), folder("logs"));
}

TEST_F(Folders, AFolderThatIsGoneOrWrongIsForgotten) {
    RecentFolders folders(settings());
    const QString gone = folder("gone");
    folders.rememberFolder(FileKind::Edid, gone + "/tv.bin");
    ASSERT_TRUE(QDir(gone).removeRecursively());
    EXPECT_EQ(folders.lastFolder(FileKind::Edid), QString());

    // A hand-edited settings file: a relative path, a file instead of a folder.
    {
        QSettings file(settings(), QSettings::IniFormat);
        file.setValue("folders/firmware", "relative/path");
        QFile plain(dir.filePath("plain.txt"));
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
        file.setValue("folders/logs", dir.filePath("plain.txt"));
    }
    RecentFolders reread(settings());
    EXPECT_EQ(reread.lastFolder(FileKind::Firmware), QString());
    EXPECT_EQ(reread.lastFolder(FileKind::Log), QString());
}

TEST_F(Folders, ARelativeChoiceIsKeptAsAnAbsoluteFolder) {
    RecentFolders folders(settings());
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder("work")));
    folders.rememberFolder(FileKind::Edid, "tv.bin");
    QDir::setCurrent(saved);
    EXPECT_EQ(folders.lastFolder(FileKind::Edid), folder("work"));
}
