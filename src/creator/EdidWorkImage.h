#pragma once

#include "common/EdidImage.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <vector>

namespace lvx {

// A cell colour as 0x00BBGGRR: red in the low byte, blue in the high one.
using CellColour = std::uint32_t;

constexpr CellColour kCellWhite = 0xFFFFFF;  // unchanged byte
constexpr CellColour kCellGrey = 0x808080;   // freed cell at the end of the image
constexpr CellColour kCellGreen = 0x00FF00;  // block checksum differs from the reference
constexpr CellColour kCellYellow = 0x00FFFF; // byte changed by an edit
constexpr CellColour kCellOrange = 0x4080FF; // byte inserted by an edit
constexpr CellColour kCellRed = 0x0000FF;    // the creator's "value over its limit"

// The EDID image the creator edits: 256 bytes, the colour each byte's cell in the hex table
// shows, the two checksums the checksum cells are judged against, and the freed count. This
// is the one copy of those bytes: the creator's rules write their edits here and read them
// back, the build takes block 0 from here, and the hex table only draws what this holds.
//
// A byte's cell holds nothing until a load or a write reaches it (the table shows it empty);
// such a byte reads as 0. Every cell starts white.
//
// Every operation that takes an offset and a count walks the offsets offset, offset + 1, ...
// in order and ends after offset 255 whatever count remains. Offsets below 0 have no byte:
// the walk passes over them (a write spends the bytes meant for them, a read returns nothing
// for them). A negative count counts as 0. No offset or count ever reaches outside the image.
//
// Signals: every operation that changes the image emits changed() once, after it has
// finished, with the smallest run of offsets that holds every byte whose value, colour or
// presence differs from what it was before the operation (a byte written with what it held,
// or changed and changed back on the way, does not count); an operation that changes nothing
// emits nothing. load() always reports the whole image, (0, 256). Slots connected to
// changed() may call back into the image; what they change is reported by a signal of its
// own.
class EdidWorkImage : public QObject {
    Q_OBJECT
public:
    static constexpr int kSize = 256;

    // Whether a load makes its image the reference the colours are judged against.
    enum class Reference { Keep, Take };

    explicit EdidWorkImage(QObject* parent = nullptr);

    // The byte at `offset`; 0 outside 0-255 and where the cell holds nothing yet.
    std::uint8_t byteAt(int offset) const;
    // Whether a load or a write has reached the byte's cell; false outside 0-255.
    bool holdsByte(int offset) const;
    // The colour of the byte's cell; 0 outside 0-255.
    CellColour colourAt(int offset) const;
    // The 256 bytes as they are now.
    const EdidImage& bytes() const { return bytes_; }

    // Byte 127 (block 0) or 255 (block 1) of the last image loaded as the reference, which a
    // checksum cell is compared with; 0 before the first such load and for any other block.
    std::uint8_t referenceChecksum(int block) const;
    // Number of grey cells at the end of the image, ending just before offset 255.
    std::uint8_t freedCount() const { return freed_; }

    // Takes all 256 bytes of `image`. With Reference::Take the image also becomes the
    // reference: every cell turns white and the freed count becomes 0; with Reference::Keep
    // only the bytes change. No checksum update. Reports (0, 256).
    void load(const EdidImage& image, Reference reference);

    // Sets `count` bytes from `offset` to the next bytes of `bytes` and their colour to
    // `colour`, then updates the checksum of block 1 when offset is above 126 (a write starting
    // at 127 counts for block 1), else of block 0. Only that one block is updated, even when
    // the write crosses into the other, and the update runs whatever the count. A count beyond
    // the bytes given is cut to their number.
    void writeBytes(int offset, int count, const std::vector<std::uint8_t>& bytes,
                    CellColour colour);
    // The same with count = bytes.size().
    void writeBytes(int offset, const std::vector<std::uint8_t>& bytes, CellColour colour);

    // The `count` bytes from `offset`, one per byte the walk passes (so fewer than count near
    // the end of the image).
    std::vector<std::uint8_t> readBytes(int offset, int count) const;

    // Sets the colour of `count` cells from `offset`; the bytes stay.
    void colourRange(int offset, int count, CellColour colour);

    // The colours of `count` cells from `offset`, one per cell the walk passes.
    std::vector<CellColour> saveColours(int offset, int count) const;
    // Gives `count` cells from `offset` the colours of `colours` in order; a count beyond the
    // list is cut to its length.
    void restoreColours(int offset, int count, const std::vector<CellColour>& colours);

    // Removes `count` bytes just before `offset`: bytes offset to 254 move down to
    // offset - count with their colours (a write in white, so the checksum of the block at
    // offset - count is updated, then their colours restored), the freed count grows by
    // `count`, and the freed tail (freed-count bytes ending just before 255) is written as 00
    // in grey, which updates the checksum of the block the tail starts in. Bytes that would
    // move below offset 0 are dropped. The freed count stops at 255 (bytes 0 to 254). Does
    // nothing for an offset outside 0-255 or a count below 1.
    void deleteBytes(int offset, int count);

    // Opens a gap of `count` bytes at `offset`: bytes offset to 254 move up to offset + count
    // with their colours (a write in white, which updates the checksum of the block at
    // offset + count, then their colours restored); what would pass offset 255 is dropped.
    // When the freed count is at least `count`, it shrinks by `count`, the remaining freed tail
    // is written again as 00 in grey, and block 1's checksum is updated, which gives its cell
    // white or green; otherwise the checksum cell keeps the colour moved into it. The bytes
    // offset to offset + count - 1 keep their values and colours for the caller to overwrite.
    // Does nothing for an offset outside 0-255 or a count below 1.
    void insertGap(int offset, int count);

    // Block 0 or 1: sums the block's first 127 bytes, writes (256 - sum) modulo 256 into its
    // checksum byte (127 or 255), and colours that cell white when it equals the reference's
    // checksum, else green. Any other block number does nothing.
    void updateChecksum(int block);

signals:
    void changed(int first, int count);

private:
    class ChangeScope;

    // The primitives below work on one byte and note what they changed; they never emit.
    void setByte(int offset, std::uint8_t value);
    void setColour(int offset, CellColour colour);
    void markChanged(int offset);

    // Unemitting bodies of the public operations; `offset` may lie far outside the image.
    void writeRun(long long offset, long long count, const std::vector<std::uint8_t>& bytes,
                  CellColour colour);
    void restoreRun(long long offset, long long count, const std::vector<CellColour>& colours);
    void writeFreedTail();
    void checksum(int block);

    void beginChange();
    void endChange();
    bool differs(int offset) const;

    EdidImage bytes_{};
    std::array<CellColour, kSize> colours_{};
    std::array<bool, kSize> held_{};
    std::array<std::uint8_t, 2> referenceChecksums_{};
    std::uint8_t freed_ = 0;

    int changeDepth_ = 0;
    int changedFirst_ = -1; // offsets of the changed run, -1 when nothing changed yet
    int changedLast_ = -1;
    bool wholeImage_ = false;
    // The image as it was when the outermost running operation began.
    EdidImage bytesBefore_{};
    std::array<CellColour, kSize> coloursBefore_{};
    std::array<bool, kSize> heldBefore_{};
};

} // namespace lvx
