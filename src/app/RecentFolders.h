#pragma once

#include "common/Prompt.h"

#include <QString>

#include <memory>

class QSettings;

namespace lvx {

// The folder last used per kind of file (EDID, firmware, logs), kept between runs in the
// program's settings: the file dialogs start there.
class RecentFolders {
public:
    // Kept in this settings file (tests); with none, in the user's settings of the program
    // (~/.config/Linkvex/linkvex.conf, or under $XDG_CONFIG_HOME).
    explicit RecentFolders(const QString& settingsFile = {});
    ~RecentFolders();
    RecentFolders(const RecentFolders&) = delete;
    RecentFolders& operator=(const RecentFolders&) = delete;

    // The folder to start a dialog for this kind in; empty when none was used yet or the
    // folder is gone.
    QString lastFolder(FileKind kind) const;
    // Remembers the folder of a chosen file (or a folder itself) for this kind. An empty
    // path (a cancelled dialog) changes nothing.
    void rememberFolder(FileKind kind, const QString& path);

    // The settings key of a kind: "folders/edid", "folders/firmware", "folders/logs".
    static QString KeyOf(FileKind kind);

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace lvx
