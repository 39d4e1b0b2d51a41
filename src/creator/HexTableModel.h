#pragma once

#include "common/EdidImage.h"
#include "edid/EdidRecord.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace lvx {

// A cell colour as 0x00BBGGRR: red in the low byte, blue in the high one.
using CellColour = std::uint32_t;

constexpr CellColour kCellWhite = 0xFFFFFF;        // unchanged byte
constexpr CellColour kCellGrey = 0x808080;         // freed cell at the end of the table
constexpr CellColour kCellGreen = 0x00FF00;        // block checksum differs from the reference
constexpr CellColour kCellYellow = 0x00FFFF;       // byte changed by an edit
constexpr CellColour kCellOrange = 0x4080FF;       // byte inserted by an edit
constexpr CellColour kCellLightSkyBlue = 0xF0CAA6; // header cells
constexpr CellColour kCellRed = 0x0000FF;          // the creator's "value over its limit"

// The creator's working EDID image as the hex table shows it: 17 x 17 cells of text and
// colour, the reference record the colours are judged against, and the freed count. This is
// the one copy of those bytes: the creator writes its edits here and reads them back from the
// cell texts, and the hex table window only draws what this model holds. The model draws
// nothing itself; where the table's procedures "repaint", the model reports the changed cells
// through cellsChanged() and the window repaints them.
//
// Cells are addressed as (column, row) with row 0 and column 0 the headers: the top-left
// cell is empty, row 0 holds "00" to "0F", column 0 holds "00", "10", ..., "F0". Image byte
// `offset` (0-255) is data cell (offset % 16 + 1, offset / 16 + 1); the checksum cells are
// offsets 127 (column 16, row 8) and 255 (column 16, row 16). Data cells are empty until
// something is written into them.
//
// Every operation that takes an offset and a count walks the offsets offset, offset + 1, ...
// in order and ends after offset 255 whatever count remains. Offsets below 0 have no cell:
// the walk passes over them (a write spends the bytes meant for them, a read returns nothing
// for them). A negative count counts as 0. No offset or count ever reaches outside the table.
//
// Signals: every operation that changes cells emits cellsChanged() once, after it has
// finished, with the smallest run of offsets that holds every data cell whose text or colour
// differs from what it was before the operation (a cell written with what it held, or
// changed and changed back on the way, does not count); an operation that changes nothing
// emits nothing. load() always reports the whole table, (0, 256), because it also replaces
// the reference record. Header cells never change. Slots connected to cellsChanged() may
// call back into the model; what they change is reported by a signal of its own.
class HexTableModel : public QObject {
    Q_OBJECT
public:
    static constexpr int kColumns = 17;
    static constexpr int kRows = 17;
    static constexpr int kDataCells = 256;

    explicit HexTableModel(QObject* parent = nullptr);

    // Column and row of the data cell that shows image byte `offset` (0-255).
    static constexpr int columnOf(int offset) { return offset % 16 + 1; }
    static constexpr int rowOf(int offset) { return offset / 16 + 1; }

    // A cell's text and colour; empty text and colour 0 for a cell outside the table.
    QString cellText(int column, int row) const;
    CellColour cellColour(int column, int row) const;

    // The byte data cell `offset` shows, read as readBytes() reads it; 0 outside 0-255.
    std::uint8_t byteAt(int offset) const;
    // The 256 bytes as the data cells show them now.
    EdidImage image() const;

    // A copy of the last valid image loaded, decoded. Before the first valid load: a fresh
    // record, whose image is all zero.
    const EdidRecord& referenceRecord() const { return reference_; }
    // Number of grey cells at the end of the table, ending just before offset 255.
    std::uint8_t freedCount() const { return freed_; }

    // Writes the record's 256 image bytes into the data cells. When the record's status word
    // says it is valid, its image is also copied into the reference record and decoded there,
    // every data cell turns white and the freed count becomes 0; an invalid record changes the
    // texts only. No checksum update. Reports (0, 256).
    void load(const EdidRecord& record);

    // Sets the text of `count` cells from `offset` to "%02X" of the next byte of `bytes` and
    // their colour to `colour`, then updates the checksum of block 1 when offset is above 126
    // (a write starting at 127 counts for block 1), else of block 0. Only that one block is
    // updated, even when the write crosses into the other, and the update runs whatever the
    // count. A count beyond the bytes given is cut to their number.
    void writeBytes(int offset, int count, const std::vector<std::uint8_t>& bytes,
                    CellColour colour);
    // The same with count = bytes.size().
    void writeBytes(int offset, const std::vector<std::uint8_t>& bytes, CellColour colour);

    // The bytes of `count` cells from `offset`, one per cell the walk passes (so fewer than
    // count near the end of the table). Each cell's text goes through HexToBytes() into a
    // byte that starts at 0: an empty cell reads 0, and a character that is not a hex digit
    // contributes nothing.
    std::vector<std::uint8_t> readBytes(int offset, int count) const;

    // Sets the colour of `count` cells from `offset`; texts stay.
    void colourRange(int offset, int count, CellColour colour);

    // The colours of `count` cells from `offset`, one per cell the walk passes.
    std::vector<CellColour> saveColours(int offset, int count) const;
    // Gives `count` cells from `offset` the colours of `colours` in order; a count beyond the
    // list is cut to its length.
    void restoreColours(int offset, int count, const std::vector<CellColour>& colours);

    // Removes `count` bytes just before `offset`: bytes offset to 254 move down to
    // offset - count with their colours (a write in white, so the checksum of the block at
    // offset - count is updated, then their colours restored), the freed count grows by
    // `count`, and the freed tail (freed-count cells ending just before 255) is written as 00
    // in grey, which updates the checksum of the block the tail starts in. Bytes that would
    // move below offset 0 are dropped. The freed count stops at 255 (cells 0 to 254). Does
    // nothing for an offset outside 0-255 or a count below 1.
    void deleteBytes(int offset, int count);

    // Opens a gap of `count` cells at `offset`: bytes offset to 254 move up to offset + count
    // with their colours (a write in white, which updates the checksum of the block at
    // offset + count, then their colours restored); what would pass offset 255 is dropped.
    // When the freed count is at least `count`, it shrinks by `count`, the remaining freed tail
    // is written again as 00 in grey, and block 1's checksum is updated, which gives its cell
    // white or green; otherwise the checksum cell keeps the colour moved into it. The cells
    // offset to offset + count - 1 keep their texts and colours for the caller to overwrite.
    // Does nothing for an offset outside 0-255 or a count below 1.
    void insertGap(int offset, int count);

    // Block 0 or 1: sums the bytes read from the block's first 127 data cells, writes
    // (256 - sum) modulo 256 as "%02X" into the block's checksum cell, and colours it white
    // when that equals byte 127 (block 0) or 255 (block 1) of the reference record's image,
    // else green. Any other block number does nothing.
    void updateChecksum(int block);

signals:
    void cellsChanged(int firstOffset, int count);

private:
    class ChangeScope;

    static int dataIndex(int offset) { return rowOf(offset) * kColumns + columnOf(offset); }

    // The primitives below work on one cell and note what they changed; they never emit.
    void setText(int offset, const std::string& text);
    void setColour(int offset, CellColour colour);
    void markChanged(int offset);
    std::uint8_t readCell(int offset) const;

    // Unemitting bodies of the public operations; `offset` may lie far outside the table.
    void writeRun(long long offset, long long count, const std::vector<std::uint8_t>& bytes,
                  CellColour colour);
    void restoreRun(long long offset, long long count, const std::vector<CellColour>& colours);
    void checksum(int block);

    void beginChange();
    void endChange();

    std::array<std::string, kColumns * kRows> texts_;
    std::array<CellColour, kColumns * kRows> colours_{};
    EdidRecord reference_;
    std::uint8_t freed_ = 0;

    int changeDepth_ = 0;
    int changedFirst_ = -1; // offsets of the changed run, -1 when nothing changed yet
    int changedLast_ = -1;
    bool forceWholeTable_ = false;
    // The cells as they were when the outermost running operation began.
    std::array<std::string, kColumns * kRows> textsBefore_;
    std::array<CellColour, kColumns * kRows> coloursBefore_{};
};

} // namespace lvx
