#include "app/RecentFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace lvx {

RecentFolders::RecentFolders(const QString& settingsFile)
    : settings_(
          settingsFile.isEmpty()
              ? std::make_unique<QSettings>(QStringLiteral("Linkvex"), QStringLiteral("linkvex"))
              : std::make_unique<QSettings>(settingsFile, QSettings::IniFormat)) {}

RecentFolders::~RecentFolders() = default;

QString RecentFolders::KeyOf(FileKind kind) {
    switch (kind) {
    case FileKind::Edid:
        return QStringLiteral("folders/edid");
    case FileKind::Firmware:
        return QStringLiteral("folders/firmware");
    case FileKind::Log:
        return QStringLiteral("folders/logs");
    }
    return QStringLiteral("folders/other");
}

QString RecentFolders::lastFolder(FileKind kind) const {
    const QString folder = settings_->value(KeyOf(kind)).toString();
    if (folder.isEmpty() || !QFileInfo(folder).isAbsolute() || !QFileInfo(folder).isDir()) {
        return {};
    }
    return folder;
}

void RecentFolders::rememberFolder(FileKind kind, const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    const QFileInfo info(path);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    settings_->setValue(KeyOf(kind), QDir::cleanPath(folder));
    settings_->sync();
}

} // namespace lvx
