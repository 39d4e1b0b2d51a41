#include "creator/EdidWorkImage.h"

#include <algorithm>

namespace lvx {

namespace {

constexpr long long kBytes = EdidWorkImage::kSize;

// The part of a run of `count` bytes from `offset` that lies in the image: run indices first
// to end - 1 map to offsets offset + first to offset + end - 1, all within 0-255.
struct Walk {
    long long first;
    long long end;
};

Walk WalkOf(long long offset, long long count) {
    const long long first = offset < 0 ? -offset : 0;
    const long long end = std::min(std::max(count, 0LL), kBytes - offset);
    return {first, std::max(first, end)};
}

int BlockOfWrite(long long offset) {
    return offset > 126 ? 1 : 0;
}

bool InImage(int offset) {
    return offset >= 0 && offset < EdidWorkImage::kSize;
}

} // namespace

// Collects the bytes changed by one public operation, including the operations it is built
// from, and reports them once when the outermost one ends.
class EdidWorkImage::ChangeScope {
public:
    explicit ChangeScope(EdidWorkImage& image) : image_(image) { image_.beginChange(); }
    ~ChangeScope() { image_.endChange(); }
    ChangeScope(const ChangeScope&) = delete;
    ChangeScope& operator=(const ChangeScope&) = delete;

private:
    EdidWorkImage& image_;
};

EdidWorkImage::EdidWorkImage(QObject* parent) : QObject(parent) {
    colours_.fill(kCellWhite);
}

std::uint8_t EdidWorkImage::byteAt(int offset) const {
    return InImage(offset) ? bytes_[static_cast<std::size_t>(offset)] : 0;
}

bool EdidWorkImage::holdsByte(int offset) const {
    return InImage(offset) && held_[static_cast<std::size_t>(offset)];
}

CellColour EdidWorkImage::colourAt(int offset) const {
    return InImage(offset) ? colours_[static_cast<std::size_t>(offset)] : 0;
}

std::uint8_t EdidWorkImage::referenceChecksum(int block) const {
    return block == 0 || block == 1 ? referenceChecksums_[static_cast<std::size_t>(block)] : 0;
}

void EdidWorkImage::load(const EdidImage& image, Reference reference) {
    // A load reports the whole image: no need to remember the bytes as they were.
    wholeImage_ = true;
    const ChangeScope scope(*this);
    bytes_ = image;
    held_.fill(true);
    if (reference == Reference::Take) {
        referenceChecksums_ = {image[kEdidChecksum0Offset], image[kEdidChecksum1Offset]};
        colours_.fill(kCellWhite);
        freed_ = 0;
    }
    markChanged(0);
    markChanged(kSize - 1);
}

void EdidWorkImage::writeBytes(int offset, int count, const std::vector<std::uint8_t>& bytes,
                               CellColour colour) {
    const ChangeScope scope(*this);
    writeRun(offset, count, bytes, colour);
}

void EdidWorkImage::writeBytes(int offset, const std::vector<std::uint8_t>& bytes,
                               CellColour colour) {
    const ChangeScope scope(*this);
    writeRun(offset, static_cast<long long>(bytes.size()), bytes, colour);
}

std::vector<std::uint8_t> EdidWorkImage::readBytes(int offset, int count) const {
    const Walk walk = WalkOf(offset, count);
    if (walk.first == walk.end) {
        return {};
    }
    const auto from = bytes_.begin() + (offset + walk.first);
    return {from, from + (walk.end - walk.first)};
}

void EdidWorkImage::colourRange(int offset, int count, CellColour colour) {
    const ChangeScope scope(*this);
    const Walk walk = WalkOf(offset, count);
    for (long long i = walk.first; i < walk.end; ++i) {
        setColour(static_cast<int>(offset + i), colour);
    }
}

std::vector<CellColour> EdidWorkImage::saveColours(int offset, int count) const {
    const Walk walk = WalkOf(offset, count);
    if (walk.first == walk.end) {
        return {};
    }
    const auto from = colours_.begin() + (offset + walk.first);
    return {from, from + (walk.end - walk.first)};
}

void EdidWorkImage::restoreColours(int offset, int count, const std::vector<CellColour>& colours) {
    const ChangeScope scope(*this);
    restoreRun(offset, count, colours);
}

void EdidWorkImage::deleteBytes(int offset, int count) {
    if (!InImage(offset) || count < 1) {
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
    writeFreedTail();
}

void EdidWorkImage::insertGap(int offset, int count) {
    if (!InImage(offset) || count < 1) {
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
        writeFreedTail();
        checksum(1);
    }
}

void EdidWorkImage::updateChecksum(int block) {
    const ChangeScope scope(*this);
    checksum(block);
}

void EdidWorkImage::setByte(int offset, std::uint8_t value) {
    const auto i = static_cast<std::size_t>(offset);
    if (!held_[i] || bytes_[i] != value) {
        bytes_[i] = value;
        held_[i] = true;
        markChanged(offset);
    }
}

void EdidWorkImage::setColour(int offset, CellColour colour) {
    CellColour& cell = colours_[static_cast<std::size_t>(offset)];
    if (cell != colour) {
        cell = colour;
        markChanged(offset);
    }
}

void EdidWorkImage::markChanged(int offset) {
    if (changedFirst_ < 0 || offset < changedFirst_) {
        changedFirst_ = offset;
    }
    changedLast_ = std::max(changedLast_, offset);
}

void EdidWorkImage::writeRun(long long offset, long long count,
                             const std::vector<std::uint8_t>& bytes, CellColour colour) {
    const Walk walk = WalkOf(offset, std::min(count, static_cast<long long>(bytes.size())));
    for (long long i = walk.first; i < walk.end; ++i) {
        const int at = static_cast<int>(offset + i);
        setByte(at, bytes[static_cast<std::size_t>(i)]);
        setColour(at, colour);
    }
    checksum(BlockOfWrite(offset));
}

void EdidWorkImage::restoreRun(long long offset, long long count,
                               const std::vector<CellColour>& colours) {
    const Walk walk = WalkOf(offset, std::min(count, static_cast<long long>(colours.size())));
    for (long long i = walk.first; i < walk.end; ++i) {
        setColour(static_cast<int>(offset + i), colours[static_cast<std::size_t>(i)]);
    }
}

void EdidWorkImage::writeFreedTail() {
    writeRun(255 - freed_, freed_, std::vector<std::uint8_t>(freed_, 0x00), kCellGrey);
}

void EdidWorkImage::checksum(int block) {
    if (block != 0 && block != 1) {
        return;
    }
    const auto first = static_cast<std::size_t>(block) * kEdidBlockSize;
    const std::size_t at = first + kEdidBlockSize - 1;
    unsigned sum = 0;
    for (std::size_t offset = first; offset < at; ++offset) {
        sum += bytes_[offset];
    }
    const auto value = static_cast<std::uint8_t>((256 - sum % 256) % 256);
    setByte(static_cast<int>(at), value);
    setColour(static_cast<int>(at), value == referenceChecksum(block) ? kCellWhite : kCellGreen);
}

void EdidWorkImage::beginChange() {
    if (changeDepth_++ == 0 && !wholeImage_) {
        bytesBefore_ = bytes_;
        coloursBefore_ = colours_;
        heldBefore_ = held_;
    }
}

bool EdidWorkImage::differs(int offset) const {
    const auto i = static_cast<std::size_t>(offset);
    return bytes_[i] != bytesBefore_[i] || colours_[i] != coloursBefore_[i] ||
           held_[i] != heldBefore_[i];
}

void EdidWorkImage::endChange() {
    if (--changeDepth_ > 0 || changedFirst_ < 0) {
        return;
    }
    // A byte can change and change back within one operation (a moved byte written white,
    // then given its old colour again): only what differs from the start is reported.
    int first = changedFirst_;
    int last = changedLast_;
    changedFirst_ = -1;
    changedLast_ = -1;
    if (!wholeImage_) {
        while (first <= last && !differs(first)) {
            ++first;
        }
        while (last >= first && !differs(last)) {
            --last;
        }
    }
    wholeImage_ = false;
    if (first <= last) {
        emit changed(first, last - first + 1);
    }
}

} // namespace lvx
