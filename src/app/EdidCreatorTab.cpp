#include "app/EdidCreatorTab.h"

#include "app/Pictures.h"
#include "app/Widgets.h"

#include <QComboBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace lvx {

EdidCreatorTab::EdidCreatorTab(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet4"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);

    auto* select =
        MakeGroup(this, QStringLiteral("GroupBox_Creator_Select"), QStringLiteral("Select"));
    select->setFixedHeight(64);
    SetPicture(MakeSpeedButton(select, QStringLiteral("SpeedButton_OpenEdid_Creator"),
                               tr("Open EDID"), 10, 20),
               QStringLiteral("OpenColor"));
    SetPicture(MakeSpeedButton(select, QStringLiteral("SpeedButton_OpenEdid_New"),
                               tr("Brand New EDID"), 46, 20),
               QStringLiteral("BrandNewColor"));
    SetPicture(MakeSpeedButton(select, QStringLiteral("SpeedButton_SaveEdid_Creator"),
                               tr("Save EDID"), 82, 20),
               QStringLiteral("SaveColor"));
    copy_ = MakeSpeedButton(select, QStringLiteral("SpeedButton_CopyEdid_Creator"),
                            tr("Write EDID to Device"), 118, 20);
    SetPicture(copy_, QStringLiteral("CopyUpGray"));
    uploadList_ = MakeList(select, QStringLiteral("ComboBox_EdidSel_Upload"), 160, 26, 110);
    MakeLabel(select, QStringLiteral("Label3"), QString(), 280, 30, 150);
    layout->addWidget(select);

    pages_ = Named(new QTabWidget(this), QStringLiteral("PageControl2"));
    const char* const pages[][2] = {
        {"TabSheet5", "Descriptor"},       {"TabSheet_PCTiming", "PC Timing"},
        {"TabSheet_SDHDUHD", "SD/HD/UHD"}, {"TabSheet_Audio1", "Audio1"},
        {"TabSheet_Audio2", "Audio2"},     {"TabSheet_ColorSpace", "Color Space"},
        {"TabSheet_Others", "Others"},
    };
    for (const auto& page : pages) {
        pages_->addTab(Named(new QWidget(pages_), QString::fromLatin1(page[0])),
                       QString::fromLatin1(page[1]));
    }
    pages_->setCurrentIndex(0);
    layout->addWidget(pages_, 1);
}

void EdidCreatorTab::setUploadItems(const std::vector<std::string>& items) {
    const QSignalBlocker blocker(uploadList_);
    uploadList_->clear();
    for (const std::string& item : items) {
        uploadList_->addItem(QString::fromStdString(item));
    }
    uploadList_->setCurrentIndex(items.empty() ? -1 : 0);
}

} // namespace lvx
