#pragma once

#include "connection/ActivityLog.h"

#include <QWidget>

class QListWidget;
class QToolButton;

namespace lvx {

class Prompt;

// The activity log below the device list: a header that opens and closes it (remembered
// between runs) and one coloured line per entry. Its context menu copies the chosen lines
// (all of them when none is chosen) and saves the whole log to a file.
class ActivityLogView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeaderHeight = 22;
    static constexpr int kListHeight = 130;

    // The open or closed state is kept in this settings file (tests), or in the user's
    // settings when it is empty.
    ActivityLogView(ActivityLog& log, Prompt& prompt, const QString& settingsFile = {},
                    QWidget* parent = nullptr);

    bool isOpen() const { return open_; }
    void setOpen(bool open);
    // The height the view takes: the header, and the list when open.
    int neededHeight() const { return kHeaderHeight + (open_ ? kListHeight : 0); }
    QListWidget* list() const { return list_; }

    // What Copy puts on the clipboard: the chosen lines, or all when none is chosen.
    QString copyText() const;
    void copy();
    void save();

signals:
    void openChanged(bool open);

private:
    void append(const ActivityEntry& entry);
    void showMenu(const QPoint& at);

    ActivityLog& log_;
    Prompt& prompt_;
    QString settingsFile_;
    QToolButton* header_ = nullptr;
    QListWidget* list_ = nullptr;
    bool open_ = true;
};

// The colour of a log line: red for failures, orange for warnings, green for successes.
QColor ActivityColour(Severity severity);

} // namespace lvx
