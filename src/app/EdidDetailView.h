#pragma once

#include <QWidget>

#include <cstdint>
#include <utility>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace lvx {

struct EdidParse;

// The whole decode of one EDID: a "Details" tree (block, data block, field), a "Findings"
// list (failures first, each with its impact) and the EDID's bytes in hex beside them.
// Choosing a node of the tree or a finding marks the bytes it is about. It keeps only what
// it shows: the bytes and the texts of the last parse it was given.
class EdidDetailView : public QWidget {
    Q_OBJECT
public:
    explicit EdidDetailView(QWidget* parent = nullptr);

    void showParse(const EdidParse& parse);
    void clear();

    QTabWidget* tabs() const { return tabs_; }
    QTreeWidget* details() const { return details_; }
    QTreeWidget* findings() const { return findings_; }
    QPlainTextEdit* hex() const { return hex_; }
    // The whole text of the node or finding last chosen.
    QLabel* chosen() const { return chosen_; }
    // The bytes marked in the hex view: first byte from the EDID's start and count (0: none).
    std::pair<int, int> marked() const { return marked_; }

    // Marks `count` bytes from `first` and scrolls them into view.
    void mark(int first, int count);

private:
    void fillDetails(const EdidParse& parse);
    void fillFindings(const EdidParse& parse);
    void fillHex();
    void markItem(QTreeWidgetItem* item);
    // The character position of a byte's two digits in the hex text.
    int characterOf(int byte) const;

    QTabWidget* tabs_;
    QTreeWidget* details_;
    QTreeWidget* findings_;
    QPlainTextEdit* hex_;
    QLabel* chosen_;
    std::vector<std::uint8_t> bytes_;
    std::pair<int, int> marked_{0, 0};
};

} // namespace lvx
