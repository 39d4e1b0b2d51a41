#pragma once

#include "common/EdidImage.h"
#include "edid/CompareTool.h"
#include "edid/EdidComparison.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class QTreeWidget;
class QVBoxLayout;

namespace lvx {

class EdidDetailView;
class Prompt;

// One side's 256 bytes as a 16 x 16 table for a view: the byte texts, the cells that differ
// from the other side coloured, the field of each byte as its tool tip. It holds no bytes:
// it reads the CompareTool it is given.
class CompareHexItems : public QAbstractTableModel {
    Q_OBJECT
public:
    // The background of a byte that differs.
    static const QColor& differingColour();

    CompareHexItems(const CompareTool& tool, CompareTool::Side side, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Reads the tool again.
    void refresh();

private:
    const CompareTool& tool_;
    CompareTool::Side side_;
    std::optional<EdidFieldMap> fields_;
};

// "Compare EDIDs": two EDIDs side by side: the analyzer facts (differing rows marked), the
// list entries only one side has, the differing byte runs with their fields, and both hex
// tables with the differing cells coloured. Choosing a byte run selects its cells in both
// tables.
class CompareWindow : public QWidget {
    Q_OBJECT
public:
    CompareWindow(CompareTool& tool, Prompt& prompt, QWidget* parent = nullptr);

    // Shows two images from elsewhere (the creator's loaded and built EDIDs, say) compared.
    void showComparison(const EdidImage& a, const QString& nameA, const EdidImage& b,
                        const QString& nameB);

    QTableWidget* facts() const { return facts_; }
    QTreeWidget* changes() const { return changes_; }
    QTreeWidget* ranges() const { return ranges_; }
    QTableView* hexTable(CompareTool::Side side) const { return hex_[side]; }
    QLabel* summary() const { return summary_; }
    // The whole decode of a side, its findings and bytes.
    EdidDetailView* detailView(CompareTool::Side side) const { return detailViews_[side]; }

private:
    void open(CompareTool::Side side);
    void buildSides(QVBoxLayout* layout);
    void buildLists(QVBoxLayout* layout);
    void buildHexTables(QVBoxLayout* layout);
    void buildDetails(QVBoxLayout* layout);
    void showTool();
    void showSummary(const std::optional<EdidComparison>& c);
    void showFacts(const std::optional<EdidComparison>& c);
    // The list entries only one side has and the differing byte runs.
    void showChanges(const std::optional<EdidComparison>& c);
    void selectRange();

    CompareTool& tool_;
    Prompt& prompt_;
    QLabel* names_[2];
    QPushButton* openButtons_[2];
    QPushButton* swap_;
    QLabel* summary_;
    QTableWidget* facts_;
    QTreeWidget* changes_;
    QTreeWidget* ranges_;
    CompareHexItems* items_[2];
    QTableView* hex_[2];
    QTabWidget* details_;
    EdidDetailView* detailViews_[2];
};

} // namespace lvx
