#include "app/IpConfigTab.h"

#include "app/Pictures.h"
#include "app/StatusDisplay.h"
#include "app/Widgets.h"
#include "system/IpConfigTool.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QVBoxLayout>

namespace lvx {

namespace {

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Bytes(const QString& text) {
    return text.toLatin1().toStdString();
}

// A label that opens the web page when clicked.
class LinkLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (onClick) {
            onClick();
        }
    }
};

} // namespace

IpConfigTab::IpConfigTab(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet10"));
    openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    auto* select = MakeGroup(this, QStringLiteral("GroupBox10"), QStringLiteral("Select"));
    select->setFixedHeight(64);
    web_ = MakeSpeedButton(select, QStringLiteral("SpeedButton1"), tr("Web Home Page"), 10, 20);
    write_ =
        MakeSpeedButton(select, QStringLiteral("SpeedButton2"), tr("Write IP Configure"), 50, 20);
    SetPicture(web_, QStringLiteral("WebColor"));
    SetPicture(write_, QStringLiteral("SaveColor"));
    layout->addWidget(select);
    layout->addWidget(buildInformation(), 1);

    connect(mode_, &QComboBox::currentIndexChanged, this, &IpConfigTab::applyModeRule);
    applyModeRule(0);
}

void IpConfigTab::makeInformationControls(QGroupBox* info) {
    auto edit = [info](const char* name) {
        auto* e = Named(new QLineEdit(info), QString::fromLatin1(name));
        e->setFixedWidth(160);
        return e;
    };
    productId_ = Named(new QLabel(info), QStringLiteral("Label_Product_ID"));
    productName_ = Named(new QLabel(info), QStringLiteral("Label_Product_Name"));
    mac_ = Named(new QLabel(info), QStringLiteral("Label_MAC_Addr"));
    mode_ = Named(new QComboBox(info), QStringLiteral("ComboBox_IP_Mode"));
    mode_->addItems({QStringLiteral("STATIC"), QStringLiteral("DHCP")});
    mode_->setFixedWidth(160);
    ip_ = edit("Edit_IP_Address");
    mask_ = edit("Edit_SubNet_Mask");
    gateway_ = edit("Edit_GateWay_IP");
    dns_ = edit("Edit_DNS");
    dns_->setEnabled(false);
    webPort_ = edit("Edit_WebGUI_Port");
    webPort_->setEnabled(false);
    telnetPort_ = edit("Edit_Telnet_Port");
    telnetPort_->setEnabled(false);
    serial_ = Named(new QLabel(info), QStringLiteral("Label_Serial_Num"));
    description_ = Named(new QLabel(info), QStringLiteral("Label_Description"));
    auto* link = Named(new LinkLabel(tr("Web Link"), info), QStringLiteral("Label_Web_Link"));
    link->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline"));
    link->setCursor(Qt::PointingHandCursor);
    link->onClick = [this] { openWebPage(); };
    webLink_ = link;
}

// The "Information" group: one row per field, its caption on the left, and the status line.
QGroupBox* IpConfigTab::buildInformation() {
    auto* info = MakeGroup(this, QStringLiteral("GroupBox1"), QStringLiteral("Information"));
    makeInformationControls(info);
    auto* grid = new QGridLayout(info);
    grid->setContentsMargins(10, 16, 10, 10);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(2, 1);
    int row = 0;
    // One row: its caption on the left, the control on the right; hidden rows stay hidden.
    auto addRow = [&](const QString& caption, QWidget* control, bool shown) {
        auto* label = new QLabel(caption, info);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(label, row, 0);
        grid->addWidget(control, row, 1);
        label->setVisible(shown);
        control->setVisible(shown);
        ++row;
    };
    addRow(QStringLiteral("     Product ID :"), productId_, false);
    addRow(QStringLiteral("     Product Name :"), productName_, true);
    addRow(QStringLiteral("     MAC Address :"), mac_, true);
    addRow(QStringLiteral("     IP Mode :"), mode_, true);
    addRow(QStringLiteral("     IP Address :"), ip_, true);
    addRow(QStringLiteral("     SubNet Mask :"), mask_, true);
    addRow(QStringLiteral("     GateWay IP :"), gateway_, true);
    addRow(QStringLiteral("     DNS :"), dns_, false);
    addRow(QStringLiteral("     WebGUI Port :"), webPort_, true);
    addRow(QStringLiteral("     Telnet Port :"), telnetPort_, true);
    addRow(QStringLiteral("     S / N :"), serial_, false);
    addRow(QStringLiteral("     Description :"), description_, false);
    addRow(QStringLiteral("     WebGUI :"), webLink_, false);
    status_ = Named(new QLabel(info), QStringLiteral("Label_IP_Status"));
    status_->setWordWrap(true);
    status_->setStyleSheet(QStringLiteral("color: red"));
    grid->addWidget(status_, row++, 0, 1, 3);
    grid->setRowStretch(row, 1);
    return info;
}

void IpConfigTab::bind(IpConfigTool* tool) {
    tool_ = tool;
    connect(tool, &IpConfigTool::filled, this, [this, tool] { show(tool); });
    ShowStatusIn(status_, *tool);
    connect(write_, &QToolButton::clicked, this, [this] {
        if (tool_) {
            tool_->write(edits());
        }
    });
    connect(web_, &QToolButton::clicked, this, &IpConfigTab::openWebPage);
}

void IpConfigTab::show(IpConfigTool* tool) {
    const IpEdits& shown = tool->shown();
    if (const NetworkRecord* record = tool->record()) {
        productId_->setText(Latin1(record->productId));
        productName_->setText(Latin1(record->productName));
        mac_->setText(Latin1(MacText(record->mac)));
        serial_->setText(Latin1(record->serialNumber));
        description_->setText(Latin1(record->description));
    }
    {
        const QSignalBlocker blocker(mode_);
        mode_->setCurrentIndex(shown.mode == 1 ? 1 : 0);
    }
    ip_->setText(Latin1(shown.ipAddress));
    mask_->setText(Latin1(shown.subnetMask));
    gateway_->setText(Latin1(shown.gateway));
    dns_->setText(Latin1(shown.dns));
    webPort_->setText(Latin1(shown.webPort));
    telnetPort_->setText(Latin1(shown.telnetPort));
    applyModeRule(mode_->currentIndex());
}

void IpConfigTab::applyModeRule(int mode) {
    const bool enabled = IpConfigTool::addressesEnabled(mode);
    ip_->setEnabled(enabled);
    mask_->setEnabled(enabled);
    gateway_->setEnabled(enabled);
}

IpEdits IpConfigTab::edits() const {
    IpEdits e;
    e.mode = mode_->currentIndex();
    e.ipAddress = Bytes(ip_->text());
    e.subnetMask = Bytes(mask_->text());
    e.gateway = Bytes(gateway_->text());
    e.dns = Bytes(dns_->text());
    e.webPort = Bytes(webPort_->text());
    e.telnetPort = Bytes(telnetPort_->text());
    return e;
}

void IpConfigTab::openWebPage() {
    if (tool_ == nullptr) {
        return;
    }
    const QString address = tool_->webAddress();
    if (!address.isEmpty() && openUrl) {
        openUrl(QUrl(address));
    }
}

} // namespace lvx
