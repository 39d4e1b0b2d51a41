#include "creator/HexTableModel.h"

#include "edid/EdidDecoder.h"
#include "edid/EdidValidation.h"
#include "protocol/Hex.h"

#include <algorithm>

namespace lvx {

namespace {

constexpr long long kCells = HexTableModel::kDataCells;

// The part of a run of `count` cells from `offset` that has cells: run indices first to
// end - 1 map to offsets offset + first to offset + end - 1, all within 0-255.
struct Walk {
    long long first;
    long long end;
};

Walk WalkOf(long long offset, long long count) {
    const long long first = offset < 0 ? -offset : 0;
    const long long end = std::min(std::max(count, 0LL), kCells - offset);
    return {first, std::max(first, end)};
}

int BlockOfWrite(long long offset) {
    return offset > 126 ? 1 : 0;
}

} // namespace

// Collects the cells changed by one public operation, including the operations it is built
// from, and reports them once when the outermost one ends.
class HexTableModel::ChangeScope {
public:
    explicit ChangeScope(HexTableModel& model) : model_(model) { model_.beginChange(); }
    ~ChangeScope() { model_.endChange(); }
    ChangeScope(const ChangeScope&) = delete;
    ChangeScope& operator=(const ChangeScope&) = delete;

private:
    HexTableModel& model_;
};

HexTableModel::HexTableModel(QObject* parent) : QObject(parent) {
    for (int column = 1; column < kColumns; ++column) {
        texts_[column] = ByteToHex(static_cast<std::uint8_t>(column - 1));
    }
    for (int row = 1; row < kRows; ++row) {
        texts_[row * kColumns] = ByteToHex(static_cast<std::uint8_t>((row - 1) * 16));
    }
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const bool header = row == 0 || column == 0;
            colours_[row * kColumns + column] = header ? kCellLightSkyBlue : kCellWhite;
        }
    }
}

QString HexTableModel::cellText(int column, int row) const {
    if (column < 0 || column >= kColumns || row < 0 || row >= kRows) {
        return {};
    }
    return QString::fromStdString(texts_[row * kColumns + column]);
}

CellColour HexTableModel::cellColour(int column, int row) const {
    if (column < 0 || column >= kColumns || row < 0 || row >= kRows) {
        return 0;
    }
    return colours_[row * kColumns + column];
}

std::uint8_t HexTableModel::byteAt(int offset) const {
    if (offset < 0 || offset >= kDataCells) {
        return 0;
    }
    return readCell(offset);
}

EdidImage HexTableModel::image() const {
    EdidImage image{};
    for (int offset = 0; offset < kDataCells; ++offset) {
        image[offset] = readCell(offset);
    }
    return image;
}

void HexTableModel::load(const EdidRecord& record) {
    // A load reports the whole table: no need to remember the cells as they were.
    forceWholeTable_ = true;
    const ChangeScope scope(*this);
    for (int offset = 0; offset < kDataCells; ++offset) {
        setText(offset, ByteToHex(record.image[offset]));
    }
    if (isValid(record)) {
        Decode(reference_, record.image);
        for (int offset = 0; offset < kDataCells; ++offset) {
            setColour(offset, kCellWhite);
        }
        freed_ = 0;
    }
    markChanged(0);
    markChanged(kDataCells - 1);
}

void HexTableModel::writeBytes(int offset, int count, const std::vector<std::uint8_t>& bytes,
                               CellColour colour) {
    const ChangeScope scope(*this);
    writeRun(offset, count, bytes, colour);
}

void HexTableModel::writeBytes(int offset, const std::vector<std::uint8_t>& bytes,
                               CellColour colour) {
    const ChangeScope scope(*this);
    writeRun(offset, static_cast<long long>(bytes.size()), bytes, colour);
}

std::vector<std::uint8_t> HexTableModel::readBytes(int offset, int count) const {
    const Walk walk = WalkOf(offset, count);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(walk.end - walk.first));
    for (long long i = walk.first; i < walk.end; ++i) {
        bytes.push_back(readCell(static_cast<int>(offset + i)));
    }
    return bytes;
}

void HexTableModel::colourRange(int offset, int count, CellColour colour) {
    const ChangeScope scope(*this);
    const Walk walk = WalkOf(offset, count);
    for (long long i = walk.first; i < walk.end; ++i) {
        setColour(static_cast<int>(offset + i), colour);
    }
}

std::vector<CellColour> HexTableModel::saveColours(int offset, int count) const {
    const Walk walk = WalkOf(offset, count);
    std::vector<CellColour> colours;
    colours.reserve(static_cast<std::size_t>(walk.end - walk.first));
    for (long long i = walk.first; i < walk.end; ++i) {
        colours.push_back(colours_[dataIndex(static_cast<int>(offset + i))]);
    }
    return colours;
}

void HexTableModel::restoreColours(int offset, int count, const std::vector<CellColour>& colours) {
    const ChangeScope scope(*this);
    restoreRun(offset, count, colours);
}

void HexTableModel::deleteBytes(int offset, int count) {
    if (offset < 0 || offset >= kDataCells || count < 1) {
        return;
    }
    const ChangeScope scope(*this);
    const int moved = 255 - offset;
    const std::vector<std::uint8_t> bytes = readBytes(offset, moved);
    const std::vector<CellColour> colours = saveColours(offset, moved);
    const long long target = static_cast<long long>(offset) - count;
    writeRun(target, moved, bytes, kCellWhite);
    restoreRun(target, moved, colours);

    freed_ = static_cast<std::uint8_t>(std::min(255, freed_ + std::min(count, 255)));
    writeRun(255 - freed_, freed_, std::vector<std::uint8_t>(freed_, 0x00), kCellGrey);
}

void HexTableModel::insertGap(int offset, int count) {
    if (offset < 0 || offset >= kDataCells || count < 1) {
        return;
    }
    const ChangeScope scope(*this);
    const int moved = 255 - offset;
    const std::vector<std::uint8_t> bytes = readBytes(offset, moved);
    const std::vector<CellColour> colours = saveColours(offset, moved);
    const long long target = static_cast<long long>(offset) + count;
    writeRun(target, moved, bytes, kCellWhite);
    restoreRun(target, moved, colours);

    if (freed_ >= count) {
        freed_ = static_cast<std::uint8_t>(freed_ - count);
        writeRun(255 - freed_, freed_, std::vector<std::uint8_t>(freed_, 0x00), kCellGrey);
        checksum(1);
    }
}

void HexTableModel::updateChecksum(int block) {
    const ChangeScope scope(*this);
    checksum(block);
}

void HexTableModel::setText(int offset, const std::string& text) {
    std::string& cell = texts_[dataIndex(offset)];
    if (cell != text) {
        cell = text;
        markChanged(offset);
    }
}

void HexTableModel::setColour(int offset, CellColour colour) {
    CellColour& cell = colours_[dataIndex(offset)];
    if (cell != colour) {
        cell = colour;
        markChanged(offset);
    }
}

void HexTableModel::markChanged(int offset) {
    if (changedFirst_ < 0 || offset < changedFirst_) {
        changedFirst_ = offset;
    }
    changedLast_ = std::max(changedLast_, offset);
}

std::uint8_t HexTableModel::readCell(int offset) const {
    std::uint8_t byte = 0;
    HexToBytes(texts_[dataIndex(offset)], &byte, 1);
    return byte;
}

void HexTableModel::writeRun(long long offset, long long count,
                             const std::vector<std::uint8_t>& bytes, CellColour colour) {
    const Walk walk = WalkOf(offset, std::min(count, static_cast<long long>(bytes.size())));
    for (long long i = walk.first; i < walk.end; ++i) {
        const int cell = static_cast<int>(offset + i);
        setText(cell, ByteToHex(bytes[static_cast<std::size_t>(i)]));
        setColour(cell, colour);
    }
    checksum(BlockOfWrite(offset));
}

void HexTableModel::restoreRun(long long offset, long long count,
                               const std::vector<CellColour>& colours) {
    const Walk walk = WalkOf(offset, std::min(count, static_cast<long long>(colours.size())));
    for (long long i = walk.first; i < walk.end; ++i) {
        setColour(static_cast<int>(offset + i), colours[static_cast<std::size_t>(i)]);
    }
}

void HexTableModel::checksum(int block) {
    if (block != 0 && block != 1) {
        return;
    }
    const int first = block * static_cast<int>(kEdidBlockSize);
    const int checksumOffset = first + static_cast<int>(kEdidBlockSize) - 1;
    unsigned sum = 0;
    for (int offset = first; offset < checksumOffset; ++offset) {
        sum += readCell(offset);
    }
    const auto value = static_cast<std::uint8_t>((256 - sum % 256) % 256);
    setText(checksumOffset, ByteToHex(value));
    setColour(checksumOffset, value == reference_.image[checksumOffset] ? kCellWhite : kCellGreen);
}

void HexTableModel::beginChange() {
    if (changeDepth_++ == 0 && !forceWholeTable_) {
        textsBefore_ = texts_;
        coloursBefore_ = colours_;
    }
}

void HexTableModel::endChange() {
    if (--changeDepth_ > 0 || changedFirst_ < 0) {
        return;
    }
    // A cell can change and change back within one operation (a moved byte written white,
    // then given its old colour again): only what differs from the start is reported.
    auto differs = [this](int offset) {
        const int i = dataIndex(offset);
        return texts_[i] != textsBefore_[i] || colours_[i] != coloursBefore_[i];
    };
    int first = changedFirst_;
    int last = changedLast_;
    changedFirst_ = -1;
    changedLast_ = -1;
    if (!forceWholeTable_) {
        while (first <= last && !differs(first)) {
            ++first;
        }
        while (last >= first && !differs(last)) {
            --last;
        }
    }
    forceWholeTable_ = false;
    if (first <= last) {
        emit cellsChanged(first, last - first + 1);
    }
}

} // namespace lvx
