#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QComboBox;
class QTabWidget;
class QToolButton;

namespace lvx {

// "EDID Creator": the "Select" group with its buttons and the upload target list, and the
// creator's sub-tabs.
class EdidCreatorTab : public QWidget {
    Q_OBJECT
public:
    explicit EdidCreatorTab(QWidget* parent = nullptr);

    QComboBox* uploadList() const { return uploadList_; }
    // Refills the upload target list and selects its first item.
    void setUploadItems(const std::vector<std::string>& items);
    QTabWidget* pages() const { return pages_; }
    QToolButton* copyButton() const { return copy_; }

private:
    QComboBox* uploadList_;
    QTabWidget* pages_;
    QToolButton* copy_;
};

} // namespace lvx
