#include "app/WidgetPrompt.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace lvx {

QString WidgetPrompt::QtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        filters << parts[i];
    }
    return filters.join(QStringLiteral(";;"));
}

std::string WidgetPrompt::openFileName(const std::string& filter) {
    return QFileDialog::getOpenFileName(parent_, QString(), QString(), QtFilter(filter))
        .toStdString();
}

std::string WidgetPrompt::saveFileName(const std::string& filter, const std::string& proposedName) {
    // The name rule of the caller decides the extension; the dialog must not add one.
    QFileDialog dialog(parent_, QString(), QString::fromStdString(proposedName), QtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst().toStdString();
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

std::string WidgetPrompt::chooseDirectory(const std::string& caption) {
    return QFileDialog::getExistingDirectory(parent_, QString::fromStdString(caption))
        .toStdString();
}

} // namespace lvx
