#pragma once

#include <QWidget>

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
    QTabWidget* pages() const { return pages_; }
    QToolButton* copyButton() const { return copy_; }

private:
    QComboBox* uploadList_;
    QTabWidget* pages_;
    QToolButton* copy_;
};

} // namespace lvx
