#pragma once

#include "common/Prompt.h"

#include <QString>

#include <memory>

class QWidget;

namespace lvx {

class RecentFolders;

// The program's dialogs: file dialogs and message boxes over a parent window. Each kind of
// file (EDID, firmware, logs) starts its dialogs in the folder last used for that kind (at
// home the first time).
class WidgetPrompt : public Prompt {
public:
    // The folders are kept in this settings file (tests), or in the user's settings.
    explicit WidgetPrompt(QWidget* parent, const QString& settingsFile = {});
    ~WidgetPrompt() override;

    // As EDID files.
    std::string openFileName(const std::string& filter) override;
    std::string saveFileName(const std::string& filter, const std::string& proposedName) override;
    std::string openFileNameFor(FileKind kind, const std::string& filter) override;
    std::string saveFileNameFor(FileKind kind, const std::string& filter,
                                const std::string& proposedName) override;
    void message(const std::string& caption, const std::string& text) override;
    void messageWithDetails(const std::string& caption, const std::string& text,
                            const std::string& details) override;
    bool confirm(const std::string& caption, const std::string& text) override;
    // Cancel is the default button.
    bool confirmIrreversible(const std::string& caption, const std::string& text) override;
    std::string chooseDirectory(const std::string& caption) override;

    // lastFolder(kind) / rememberFolder(kind, path), for dialogs made elsewhere.
    RecentFolders& folders();

    // "EDID (*.bin)|*.bin" as a Qt file dialog filter: "EDID (*.bin)".
    static QString QtFilter(const std::string& filter);

private:
    QString startFolder(FileKind kind);

    QWidget* parent_;
    QString settingsFile_;
    std::unique_ptr<RecentFolders> folders_;
};

} // namespace lvx
