#include "app/ActivityLogView.h"

#include "common/Prompt.h"

#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

namespace lvx {

namespace {

const QString kOpenKey = QStringLiteral("activityLog/open");

std::unique_ptr<QSettings> SettingsOf(const QString& file) {
    return file.isEmpty()
               ? std::make_unique<QSettings>(QStringLiteral("Linkvex"), QStringLiteral("linkvex"))
               : std::make_unique<QSettings>(file, QSettings::IniFormat);
}

} // namespace

QColor ActivityColour(Severity severity) {
    switch (severity) {
    case Severity::Failure:
        return QColor(0xc0, 0x00, 0x00);
    case Severity::Warning:
        return QColor(0xb0, 0x60, 0x00);
    case Severity::Success:
        return QColor(0x00, 0x70, 0x00);
    case Severity::Info:
        break;
    }
    return QColor(Qt::black);
}

ActivityLogView::ActivityLogView(ActivityLog& log, Prompt& prompt, const QString& settingsFile,
                                 QWidget* parent)
    : QWidget(parent), log_(log), prompt_(prompt), settingsFile_(settingsFile) {
    setObjectName(QStringLiteral("ActivityLog"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    header_ = new QToolButton(this);
    header_->setObjectName(QStringLiteral("ActivityLog_Header"));
    header_->setText(tr("&Activity"));
    header_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    header_->setAutoRaise(true);
    header_->setCheckable(true);
    header_->setFixedHeight(kHeaderHeight);
    header_->setToolTip(tr("Show or hide what the program did"));
    header_->setAccessibleName(tr("Activity log"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ActivityLog_List"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    // A reason is read whole: long lines wrap rather than run off to the side.
    list_->setWordWrap(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setAccessibleName(tr("Activity log"));
    layout->addWidget(header_);
    layout->addWidget(list_);

    for (const ActivityEntry& entry : log_.entries()) {
        append(entry);
    }
    connect(&log_, &ActivityLog::added, this, &ActivityLogView::append);
    connect(&log_, &ActivityLog::cleared, list_, &QListWidget::clear);
    connect(list_, &QWidget::customContextMenuRequested, this, &ActivityLogView::showMenu);
    connect(header_, &QToolButton::toggled, this, [this](bool on) {
        setOpen(on);
        SettingsOf(settingsFile_)->setValue(kOpenKey, on);
    });
    open_ = !SettingsOf(settingsFile_)->value(kOpenKey, true).toBool();
    setOpen(!open_);
}

void ActivityLogView::setOpen(bool open) {
    if (open == open_) {
        return;
    }
    open_ = open;
    {
        const QSignalBlocker blocker(header_);
        header_->setChecked(open);
    }
    header_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    list_->setVisible(open);
    emit openChanged(open);
}

void ActivityLogView::append(const ActivityEntry& entry) {
    // A user reading older lines keeps them in view; otherwise the new line shows.
    const QScrollBar* bar = list_->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    while (list_->count() >= static_cast<int>(ActivityLog::kKept)) {
        delete list_->takeItem(0);
    }
    auto* item = new QListWidgetItem(entry.line(), list_);
    item->setForeground(ActivityColour(entry.severity));
    item->setToolTip(entry.line());
    item->setData(Qt::UserRole, static_cast<int>(entry.severity));
    if (atEnd) {
        // Wrapped lines get their height when the list lays its items out, after this
        // returns: scrolling now would stop short of the new line's end.
        QTimer::singleShot(0, list_, [list = list_] { list->scrollToBottom(); });
    }
}

QString ActivityLogView::copyText() const {
    QStringList lines;
    for (int i = 0; i < list_->count(); ++i) {
        if (list_->item(i)->isSelected()) {
            lines << list_->item(i)->text();
        }
    }
    if (lines.isEmpty()) {
        return log_.text();
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void ActivityLogView::copy() {
    QApplication::clipboard()->setText(copyText());
}

void ActivityLogView::save() {
    const std::string path =
        prompt_.saveFileNameFor(FileKind::Log, "Text (*.txt)|*.txt", "linkvex-activity.txt");
    if (path.empty()) {
        return;
    }
    QString error;
    if (!log_.save(QString::fromStdString(path), &error)) {
        prompt_.message("Save Log", tr("The log was not saved: %1").arg(error).toStdString());
    }
}

void ActivityLogView::showMenu(const QPoint& at) {
    QMenu menu(this);
    QAction* copyItem = menu.addAction(tr("&Copy"), this, &ActivityLogView::copy);
    copyItem->setObjectName(QStringLiteral("ActivityLog_Copy"));
    QAction* saveItem = menu.addAction(tr("&Save..."), this, &ActivityLogView::save);
    saveItem->setObjectName(QStringLiteral("ActivityLog_Save"));
    menu.addSeparator();
    menu.addAction(tr("C&lear"), &log_, &ActivityLog::clear);
    menu.exec(list_->viewport()->mapToGlobal(at));
}

} // namespace lvx
