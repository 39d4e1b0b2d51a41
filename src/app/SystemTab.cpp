#include "app/SystemTab.h"

#include "app/Widgets.h"

#include <QVBoxLayout>

namespace lvx {

SystemTab::SystemTab(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet2"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);

    firmware_ = MakeGroup(this, QStringLiteral("GroupBox4"), QStringLiteral("Firmware"));
    firmware_->setFixedHeight(48);
    version_ = MakeLabel(firmware_, QStringLiteral("Label_FW_Version"), QString(), 10, 22, 420);
    path_ = Named(new QLineEdit(firmware_), QStringLiteral("Edit_Fw_Path"));
    path_->setReadOnly(true);
    path_->setGeometry(10, 50, 330, 24);
    MakeSpeedButton(firmware_, QStringLiteral("SpeedButton_OpenFw"), tr("Open Firmware"), 350, 46);
    MakeSpeedButton(firmware_, QStringLiteral("SpeedButton_UpdateFw"), tr("Update Firmware"), 390,
                    46);
    progress_ = MakeLabel(firmware_, QStringLiteral("Label1"), QStringLiteral("0%"), 10, 86, 330);
    layout->addWidget(firmware_);

    configuration_ = MakeGroup(this, QStringLiteral("GroupBox11"), QStringLiteral("Configuration"));
    configuration_->setFixedHeight(90);
    MakeLabel(configuration_, QStringLiteral("Label10"), tr("Description :"), 10, 30);
    product_ = Named(new QLineEdit(configuration_), QStringLiteral("Edit_Product_String"));
    product_->setGeometry(95, 26, 245, 24);
    MakeLabel(configuration_, QStringLiteral("Label9"), QString(), 95, 60, 245);
    MakeSpeedButton(configuration_, QStringLiteral("SpeedButton_SysConfig"),
                    tr("Write Configuration"), 350, 22);
    default_ = MakeSpeedButton(configuration_, QStringLiteral("SpeedButton_SysDefault"),
                               tr("Factory Default"), 390, 22);
    layout->addWidget(configuration_);

    serialNumber_ = MakeGroup(this, QStringLiteral("GroupBox13"), QStringLiteral("Serial Number"));
    serialNumber_->setFixedHeight(54);
    serial_ = MakeLabel(serialNumber_, QStringLiteral("Label_SerialNum"), QStringLiteral("SN: "),
                        10, 24, 420);
    layout->addWidget(serialNumber_);
    layout->addStretch(1);
}

} // namespace lvx
