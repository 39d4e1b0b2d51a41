#include "app/IpConfigTab.h"

#include "app/Widgets.h"

#include <QVBoxLayout>

namespace lvx {

IpConfigTab::IpConfigTab(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet10"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    auto* select = MakeGroup(this, QStringLiteral("GroupBox10"), QStringLiteral("Select"));
    select->setFixedHeight(64);
    MakeSpeedButton(select, QStringLiteral("SpeedButton1"), tr("Web Home Page"), 10, 20);
    MakeSpeedButton(select, QStringLiteral("SpeedButton2"), tr("Write IP Configure"), 50, 20);
    layout->addWidget(select);
    layout->addWidget(MakeGroup(this, QStringLiteral("GroupBox1"), QStringLiteral("Information")),
                      1);
}

} // namespace lvx
