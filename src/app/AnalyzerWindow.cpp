#include "app/AnalyzerWindow.h"

#include "app/Widgets.h"

#include <QFrame>
#include <QVBoxLayout>

namespace lvx {

AnalyzerWindow::AnalyzerWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("EDID Analyzer"));
    setFixedSize(422, 481);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    panel_ = Named(new QFrame(this), QStringLiteral("Panel1"));
    layout->addWidget(panel_);
}

} // namespace lvx
