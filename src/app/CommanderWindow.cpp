#include "app/CommanderWindow.h"

#include "app/AnalyzerView.h"
#include "app/EdidControllerTab.h"
#include "app/EdidCreatorTab.h"
#include "app/IpConfigTab.h"
#include "app/MultiComTab.h"
#include "app/Placement.h"
#include "app/SystemTab.h"
#include "app/Widgets.h"

#include <QFrame>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cstdlib>

namespace lvx {

CommanderWindow::CommanderWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Commander"));
    resize(450, 450);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    panel_ = Named(new QFrame(this), QStringLiteral("Panel1"));
    layout->addWidget(panel_);
    auto* panelLayout = new QVBoxLayout(panel_);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    pages_ = Named(new QTabWidget(panel_), QStringLiteral("PageControl1"));
    panelLayout->addWidget(pages_);

    ipTab_ = new IpConfigTab(pages_);
    edidTab_ = new EdidControllerTab(pages_);
    analyzerTab_ = Named(new QWidget(pages_), QStringLiteral("TabSheet3"));
    analyzerView_ = new AnalyzerView(analyzerTab_);
    (new QVBoxLayout(analyzerTab_))->addWidget(analyzerView_);
    creatorTab_ = new EdidCreatorTab(pages_);
    multiComTab_ = new MultiComTab(pages_);
    systemTab_ = new SystemTab(pages_);
    pages_->addTab(ipTab_, QStringLiteral("IP Configure"));
    pages_->addTab(edidTab_, QStringLiteral("EDID Controller"));
    pages_->addTab(analyzerTab_, QStringLiteral("EDID Analyzer"));
    pages_->addTab(creatorTab_, QStringLiteral("EDID Creator"));
    pages_->addTab(multiComTab_, QStringLiteral(" Multi-COM "));
    pages_->addTab(systemTab_, QStringLiteral("System"));
    setTabShown(analyzerTab_, false);
    setTabShown(creatorTab_, true);

    connect(pages_, &QTabWidget::currentChanged, this, &CommanderWindow::onTabChanged);
}

void CommanderWindow::setTabShown(QWidget* tab, bool shown) {
    const int index = pages_->indexOf(tab);
    if (index >= 0) {
        pages_->setTabVisible(index, shown);
    }
}

bool CommanderWindow::tabShown(QWidget* tab) const {
    const int index = pages_->indexOf(tab);
    return index >= 0 && pages_->isTabVisible(index);
}

void CommanderWindow::activate(const QString& caption) {
    for (int i = 0; i < pages_->count(); ++i) {
        if (pages_->tabText(i) == caption) {
            pages_->setCurrentIndex(i);
            return;
        }
    }
}

void CommanderWindow::onTabChanged(int index) {
    if (pages_->widget(index) == multiComTab_) {
        // Never larger than the screen it is on: the page scrolls inside a smaller window.
        resize(FitInside(QSize(kMultiComWidth, kMultiComHeight), FrameExtra(this),
                         AvailableAreaFor(this)));
    } else {
        resize(kWidth, kHeight);
    }
    if (isVisible()) {
        // The larger Multi-COM size must not push the window over a screen edge.
        PlaceInView(this, pos());
    }
}

void CommanderWindow::showNear(QWidget* mainWindow) {
    resize(kWidth, kHeight);
    bool placed = false;
    if (mainWindow) {
        const QPoint mine = pos();
        const QPoint theirs = mainWindow->pos();
        // The first time, and whenever it was left far from the main window, it goes beside
        // the main window rather than over its device list; a place the user chose near the
        // main window is kept.
        if (!placedOnce_ || std::abs(mine.y() - theirs.y()) > 280 ||
            std::abs(mine.x() - theirs.x()) > 720) {
            PlaceBesideInView(this, mainWindow, kBesideGap);
            placed = true;
            placedOnce_ = true;
        }
    }
    show();
    if (placed) {
        // Shown, the frame is known: a first guess of its size may have been short.
        PlaceBesideInView(this, mainWindow, kBesideGap);
    }
    raise();
}

} // namespace lvx
