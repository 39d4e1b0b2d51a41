#include "app/HexTableWindow.h"

#include <QCloseEvent>

namespace lvx {

HexTableWindow::HexTableWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("EDID Hex Table"));
    setFixedSize(428, 360);
}

void HexTableWindow::closeEvent(QCloseEvent* event) {
    emit closed();
    QWidget::closeEvent(event);
}

} // namespace lvx
