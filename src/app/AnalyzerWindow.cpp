#include "app/AnalyzerWindow.h"

#include "app/AnalyzerView.h"
#include "app/Placement.h"
#include "app/Widgets.h"

#include <QFrame>
#include <QLayout>
#include <QVBoxLayout>

#include <cstdlib>

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
    auto* panelLayout = new QVBoxLayout(panel_);
    panelLayout->setContentsMargins(3, 4, 3, 3);
}

void AnalyzerWindow::adopt(AnalyzerView* view) {
    if (view == nullptr || view->parentWidget() == panel_) {
        return;
    }
    if (QWidget* old = view->parentWidget(); old != nullptr && old->layout() != nullptr) {
        old->layout()->removeWidget(view);
    }
    view->setParent(panel_);
    panel_->layout()->addWidget(view);
    view->show();
}

void AnalyzerWindow::showNear(const QWidget* commander) {
    bool placed = false;
    if (commander != nullptr) {
        const QPoint mine = pos();
        const QPoint theirs = commander->pos();
        if (std::abs(mine.y() - theirs.y()) > kMaxTopDistance ||
            std::abs(mine.x() - theirs.x()) > kMaxLeftDistance) {
            PlaceInView(this, QPoint(theirs.x() + kLeftOffset, theirs.y()), commander);
            placed = true;
        }
    }
    show();
    if (placed) {
        // Shown, the frame is known: a first guess of its size may have been short.
        PlaceInView(this, pos());
    }
    raise();
}

void AnalyzerWindow::showAnalysis(AnalyzerView* view, const AnalyzerReport& report,
                                  const QWidget* commander) {
    if (view != nullptr) {
        view->show(report);
    }
    adopt(view);
    showNear(commander);
}

} // namespace lvx
