#include "app/WidgetPrompt.h"

#include "app/RecentFolders.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace lvx {

WidgetPrompt::WidgetPrompt(QWidget* parent, const QString& settingsFile)
    : parent_(parent), settingsFile_(settingsFile) {}

WidgetPrompt::~WidgetPrompt() = default;

RecentFolders& WidgetPrompt::folders() {
    // The settings are read the first time a dialog needs them.
    if (!folders_) {
        folders_ = std::make_unique<RecentFolders>(settingsFile_);
    }
    return *folders_;
}

QString WidgetPrompt::QtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        filters << parts[i];
    }
    return filters.join(QStringLiteral(";;"));
}

std::string WidgetPrompt::openFileName(const std::string& filter) {
    return openFileNameFor(FileKind::Edid, filter);
}

std::string WidgetPrompt::saveFileName(const std::string& filter, const std::string& proposedName) {
    return saveFileNameFor(FileKind::Edid, filter, proposedName);
}

QString WidgetPrompt::startFolder(FileKind kind) {
    // A kind never used yet starts at home, not wherever another kind's dialog was.
    const QString folder = folders().lastFolder(kind);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

std::string WidgetPrompt::openFileNameFor(FileKind kind, const std::string& filter) {
    QFileDialog dialog(parent_, QString(), startFolder(kind), QtFilter(filter));
    dialog.setObjectName(QStringLiteral("OpenDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    folders().rememberFolder(kind, chosen);
    return chosen.toStdString();
}

std::string WidgetPrompt::saveFileNameFor(FileKind kind, const std::string& filter,
                                          const std::string& proposedName) {
    const QString proposed = QString::fromStdString(proposedName);
    // The name rule of the caller decides the extension; the dialog must not add one.
    QFileDialog dialog(parent_, QString(), QDir(startFolder(kind)).filePath(proposed),
                       QtFilter(filter));
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    folders().rememberFolder(kind, chosen);
    return chosen.toStdString();
}

void WidgetPrompt::message(const std::string& caption, const std::string& text) {
    QMessageBox::information(parent_, QString::fromStdString(caption),
                             QString::fromStdString(text));
}

bool WidgetPrompt::confirm(const std::string& caption, const std::string& text) {
    return QMessageBox::question(parent_, QString::fromStdString(caption),
                                 QString::fromStdString(text),
                                 QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

void WidgetPrompt::messageWithDetails(const std::string& caption, const std::string& text,
                                      const std::string& details) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.setObjectName(QStringLiteral("DetailedMessageBox"));
    box.setDetailedText(QString::fromStdString(details));
    box.exec();
}

bool WidgetPrompt::confirmIrreversible(const std::string& caption, const std::string& text) {
    return QMessageBox::warning(parent_, QString::fromStdString(caption),
                                QString::fromStdString(text), QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::Cancel) == QMessageBox::Ok;
}

std::string WidgetPrompt::chooseDirectory(const std::string& caption) {
    return QFileDialog::getExistingDirectory(parent_, QString::fromStdString(caption))
        .toStdString();
}

} // namespace lvx
