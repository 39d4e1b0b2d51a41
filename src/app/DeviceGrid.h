#pragma once

#include "connection/DeviceRows.h"

#include <QColor>
#include <QTableWidget>

#include <array>
#include <vector>

namespace lvx {

// The device list: row 0 holds the headers, rows 1 to n the devices, and one empty row
// follows. Columns grow to the widest text they have shown.
class DeviceGrid : public QTableWidget {
    Q_OBJECT
public:
    static constexpr QRgb kHeaderColour = qRgb(192, 220, 192); // money green
    static constexpr QRgb kSelectedColour = qRgb(0, 255, 255);
    static constexpr int kRowHeight = 21;

    explicit DeviceGrid(QWidget* parent = nullptr);

    void setRows(const std::vector<DeviceRow>& rows);
    void setSelectedRow(int row);
    int selectedRow() const { return selectedRow_; }
    // The row the keyboard is on: Up and Down move it over the device rows (1 to n), Home and
    // End go to the first and the last; Enter or Return chooses it as a click does. 0 while no
    // device is listed.
    int highlightedRow() const { return highlightedRow_; }
    void setHighlightedRow(int row);
    // Back to the starting column widths (Disconnect).
    void resetColumnWidths();
    int gridWidth() const;

    QColor cellColour(int row) const;
    // The width that shows every column without scrolling.
    int fullWidth() const;

signals:
    // Columns grew: the grid would like this width.
    void widthNeeded(int width);
    // Enter or Return on the highlighted row.
    void rowChosen(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void fitColumns();
    // With the focus here and devices listed, the keyboard starts on the selected row or row 1.
    void startHighlight();

    int selectedRow_ = 0;
    int highlightedRow_ = 0;
    int deviceRows_ = 0;
    std::array<int, kDeviceColumns> widest_{};
};

} // namespace lvx
