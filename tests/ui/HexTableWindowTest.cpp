// The "EDID Hex Table" window: StringGrid_Hex drawing the work image through a HexTableModel,
// what it repaints when the image changes, and the Tool > Hex Table item of the main window.
#include "app/HexTableWindow.h"
#include "app/HexTableModel.h"
#include "app/MainWindow.h"
#include "edid/EdidFile.h"
#include "edid/EdidValidation.h"
#include "support/RecordingPrompt.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <memory>

using namespace lvx;

namespace {

// Loads a corpus file into the image as the creator does: a valid one becomes the reference.
void LoadCorpus(EdidWorkImage& image, const QString& name, QByteArray* bytes = nullptr) {
    QFile file(QDir(LVX_CORPUS_DIR).filePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("cannot open %s", qPrintable(file.fileName()));
    }
    const QByteArray read = file.read(256);
    if (bytes != nullptr) {
        *bytes = read;
    }
    const EdidImage edid =
        ImageFromFileBytes(reinterpret_cast<const std::uint8_t*>(read.constData()),
                           static_cast<std::size_t>(read.size()));
    image.load(edid, ValidationError(edid) == 0 ? EdidWorkImage::Reference::Take
                                                : EdidWorkImage::Reference::Keep);
}

QTableView* Grid(const QWidget* window) {
    return window->findChild<QTableView*>("StringGrid_Hex");
}

// Cells as the window shows them, 17 x 17: row 0 and column 0 are the headers, image byte
// `offset` is at (offset % 16 + 1, offset / 16 + 1).
QString CellText(const QTableView* grid, int column, int row) {
    const QAbstractItemModel* model = grid->model();
    if (row == 0 && column == 0) {
        return QString();
    }
    if (row == 0) {
        return model->headerData(column - 1, Qt::Horizontal).toString();
    }
    if (column == 0) {
        return model->headerData(row - 1, Qt::Vertical).toString();
    }
    return model->index(row - 1, column - 1).data().toString();
}

// Where the grid widget shows a cell, headers included.
QRect CellInGrid(const QTableView* grid, int column, int row) {
    const int x = column == 0
                      ? grid->verticalHeader()->geometry().x()
                      : grid->viewport()->geometry().x() + grid->columnViewportPosition(column - 1);
    const int y = row == 0 ? grid->horizontalHeader()->geometry().y()
                           : grid->viewport()->geometry().y() + grid->rowViewportPosition(row - 1);
    return QRect(x, y, HexTableWindow::kColumnWidth, HexTableWindow::kRowHeight);
}

// The colour the grid actually painted near the top left corner of a cell (clear of the
// centred text).
QColor PaintedColour(QTableView* grid, int column, int row) {
    const QImage image = grid->grab().toImage();
    return image.pixelColor(CellInGrid(grid, column, row).topLeft() + QPoint(2, 2));
}

QRect CellRect(const QTableView* grid, int offset) {
    return grid->visualRect(
        grid->model()->index(HexTableModel::rowOf(offset), HexTableModel::columnOf(offset)));
}

// Records the regions the grid's viewport paints.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* target) { target->installEventFilter(this); }
    QRegion take() { return std::exchange(painted, QRegion()); }
    QRegion painted;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

} // namespace

class HexTableWindowTest : public QObject {
    Q_OBJECT

private slots:
    // The grid's shape, and the model's bytes and colours as the window paints them.
    void drawsTheModel() {
        EdidWorkImage model;
        HexTableWindow window(model);
        QCOMPARE(window.windowTitle(), QString("EDID Hex Table"));
        QCOMPARE(window.size(), QSize(428, 360));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QTableView* grid = Grid(&window);
        // 16 x 16 bytes and a header row and column: 17 x 17 cells of 24 x 20 pixels.
        QCOMPARE(grid->model()->columnCount(), 16);
        QCOMPARE(grid->model()->rowCount(), 16);
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(grid->columnWidth(i), 24);
            QCOMPARE(grid->rowHeight(i), 20);
        }
        QCOMPARE(grid->verticalHeader()->width(), 24);
        QCOMPARE(grid->horizontalHeader()->height(), 20);
        QVERIFY(grid->font().bold());
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(!(grid->model()->index(3, 3).flags() & Qt::ItemIsEditable));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!grid->horizontalScrollBar()->isVisible());
        QVERIFY(!grid->verticalScrollBar()->isVisible());
        QVERIFY(window.rect().contains(grid->geometry()));
        // Headers light sky blue (0xF0CAA6: R A6, G CA, B F0), data cells white.
        QCOMPARE(CellText(grid, 16, 0), QString("0F"));
        QCOMPARE(CellText(grid, 0, 16), QString("F0"));
        QCOMPARE(PaintedColour(grid, 0, 3), QColor(0xA6, 0xCA, 0xF0));
        QCOMPARE(PaintedColour(grid, 3, 3), QColor(Qt::white));

        QByteArray bytes;
        LoadCorpus(model, "00495CE9E498.bin", &bytes);
        for (int offset = 0; offset < 256; ++offset) {
            QCOMPARE(CellText(grid, offset % 16 + 1, offset / 16 + 1),
                     QString("%1").arg(quint8(bytes[offset]), 2, 16, QChar('0')).toUpper());
        }
        QCOMPARE(PaintedColour(grid, 16, 8), QColor(Qt::white));
        // A changed byte of block 0 turns its checksum cell green; the edited cell shows
        // the edit's yellow (0x00FFFF); writing the old byte back makes the checksum white.
        const auto old = static_cast<std::uint8_t>(bytes[20]);
        model.writeBytes(20, {static_cast<std::uint8_t>(old + 1)}, kCellYellow);
        QCOMPARE(PaintedColour(grid, 16, 8), QColor(0, 255, 0));
        QCOMPARE(PaintedColour(grid, 5, 2), QColor(255, 255, 0));
        QCOMPARE(PaintedColour(grid, 16, 16), QColor(Qt::white));
        model.writeBytes(20, {old}, kCellWhite);
        QCOMPARE(PaintedColour(grid, 16, 8), QColor(Qt::white));
    }

    // The item model alone: headers from headerData, "%02X" for a byte its cell holds, nothing
    // for one it does not, the cell's colour as background, and one dataChanged per changed
    // cell (one for all cells after a load).
    void tableModelShowsTheImage() {
        HexTableModel table;
        QCOMPARE(table.rowCount(), 16);
        QCOMPARE(table.columnCount(), 16);
        QVERIFY(!table.index(0, 0).data().isValid());
        QCOMPARE(table.headerData(0, Qt::Horizontal).toString(), QString("00"));
        QCOMPARE(table.headerData(10, Qt::Horizontal).toString(), QString("0A"));
        QCOMPARE(table.headerData(15, Qt::Vertical).toString(), QString("F0"));
        QVERIFY(!table.headerData(16, Qt::Horizontal).isValid());
        QCOMPARE(table.headerData(3, Qt::Vertical, Qt::BackgroundRole).value<QColor>(),
                 QColor(0xA6, 0xCA, 0xF0));

        EdidWorkImage image;
        table.setImage(&image);
        QSignalSpy changed(&table, &QAbstractItemModel::dataChanged);
        image.writeBytes(26, {0x0A}, kCellYellow); // 26 to 127, the checksum
        QCOMPARE(table.index(1, 10).data().toString(), QString("0A"));
        QCOMPARE(table.index(1, 10).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 0));
        QCOMPARE(table.index(1, 9).data().toString(), QString());
        QCOMPARE(table.index(7, 15).data().toString(), QString("F6")); // 0x100 - 0x0A
        QCOMPARE(changed.size(), 127 - 26 + 1);
        QCOMPARE(changed.first().at(0).toModelIndex(), table.index(1, 10));
        QCOMPARE(changed.last().at(1).toModelIndex(), table.index(7, 15));
        changed.clear();
        image.load(EdidImage{}, EdidWorkImage::Reference::Keep);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().at(0).toModelIndex(), table.index(0, 0));
        QCOMPARE(changed.first().at(1).toModelIndex(), table.index(15, 15));
        QCOMPARE(table.index(1, 9).data().toString(), QString("00"));
    }

    // A change repaints the run of cells the model reports, not the table; a load repaints
    // every cell.
    void repaintsOnlyTheChangedCells() {
        EdidWorkImage model;
        HexTableWindow window(model);
        QTableView* grid = Grid(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaintRecorder recorder(grid->viewport());

        LoadCorpus(model, "00495CE9E498.bin");
        QTRY_VERIFY(!recorder.painted.isEmpty());
        QCoreApplication::processEvents();
        QRegion painted = recorder.take();
        for (int offset : {0, 127, 128, 255}) {
            QVERIFY2(painted.contains(CellRect(grid, offset)), qPrintable(QString::number(offset)));
        }

        // Two bytes near the end of block 0: the model reports 120 to the checksum cell.
        std::vector<std::pair<int, int>> ranges;
        connect(&model, &EdidWorkImage::changed, this,
                [&](int first, int count) { ranges.emplace_back(first, count); });
        const std::vector<std::uint8_t> old = model.readBytes(120, 2);
        model.writeBytes(120, {std::uint8_t(old[0] + 1), std::uint8_t(old[1] + 1)}, kCellYellow);
        QCOMPARE(ranges, (std::vector<std::pair<int, int>>{{120, 8}}));
        QTRY_VERIFY(!recorder.painted.isEmpty());
        QCoreApplication::processEvents();
        painted = recorder.take();
        QRegion run;
        for (int offset = 120; offset < 128; ++offset) {
            run += CellRect(grid, offset);
        }
        QVERIFY(painted.contains(CellRect(grid, 120)));
        QVERIFY(painted.contains(CellRect(grid, 127)));
        QVERIFY2((painted - run).isEmpty(), "painted beyond the changed cells");
    }

    // A borrowed image that goes away leaves the window on its own one, not on freed memory.
    void survivesTheEndOfItsModel() {
        HexTableWindow window;
        auto borrowed = std::make_unique<EdidWorkImage>();
        LoadCorpus(*borrowed, "002959BBD30B.bin");
        window.setImage(borrowed.get());
        QCOMPARE(CellText(Grid(&window), 2, 1), QString("FF"));
        borrowed.reset();
        QCOMPARE(CellText(Grid(&window), 2, 1), QString());
        QCOMPARE(CellText(Grid(&window), 2, 0), QString("01"));
    }

    // Tool > Hex Table shows the main window's work image; the close box hides the window and
    // unchecks the item, and the table keeps its contents.
    void closeBoxUnchecksTheMenuItem() {
        test::RecordingPrompt prompt;
        AppOptions options;
        options.loopback = true;
        MainWindow main(options, &prompt);
        HexTableWindow* window = main.hexTableWindow();
        QAction* item = main.findChild<QAction*>("Hex1");
        LoadCorpus(main.workImage(), "00495CE9E498.bin");

        item->trigger();
        QVERIFY(item->isChecked());
        QVERIFY(window->isVisible());
        QCOMPARE(CellText(Grid(window), 9, 1), QString("10"));
        const QString shots = qEnvironmentVariable("LVX_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            window->grab().save(QDir(shots).filePath("hex-table-window.png"));
        }
        QVERIFY(window->close());
        QVERIFY(!item->isChecked());
        QVERIFY(!window->isVisible());
        QCOMPARE(CellText(Grid(window), 9, 1), QString("10"));
        item->trigger();
        QVERIFY(item->isChecked() && window->isVisible());
    }
};

QTEST_MAIN(HexTableWindowTest)
#include "HexTableWindowTest.moc"
