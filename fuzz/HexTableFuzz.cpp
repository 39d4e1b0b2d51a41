// The creator's byte model under any sequence of its public operations: load, write, read,
// colour, save and restore colours, delete, insert a gap, checksum. Offsets and counts reach
// far outside the table on purpose. After every operation the model must keep its promises:
// texts are empty or two upper-case hex digits, header cells never change, reads return one
// byte per cell the walk passes, a checksum makes its block sum to 0, and the one change
// signal names the smallest run that holds every changed cell (nothing for no change).
// Written against the operations, not the cells' storage, so that it carries over to a
// byte-based successor of the model.

#include "FuzzQt.h"
#include "FuzzSupport.h"

#include "creator/HexTableModel.h"
#include "edid/EdidValidation.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

using namespace lvx;
using lvx::fuzz::ByteReader;

namespace {

constexpr int kCells = HexTableModel::kColumns * HexTableModel::kRows;

struct Snapshot {
    std::array<QString, kCells> texts;
    std::array<CellColour, kCells> colours{};
};

Snapshot Take(const HexTableModel& model) {
    Snapshot s;
    for (int row = 0; row < HexTableModel::kRows; ++row) {
        for (int column = 0; column < HexTableModel::kColumns; ++column) {
            const int i = row * HexTableModel::kColumns + column;
            s.texts[static_cast<std::size_t>(i)] = model.cellText(column, row);
            s.colours[static_cast<std::size_t>(i)] = model.cellColour(column, row);
        }
    }
    return s;
}

std::size_t CellOf(int offset) {
    return static_cast<std::size_t>(HexTableModel::rowOf(offset) * HexTableModel::kColumns +
                                    HexTableModel::columnOf(offset));
}

bool IsHexText(const QString& text) {
    if (text.isEmpty()) {
        return true;
    }
    if (text.size() != 2) {
        return false;
    }
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F'))) {
            return false;
        }
    }
    return true;
}

// How many cells a walk from `offset` over `count` offsets passes.
int Passed(int offset, int count) {
    if (count <= 0) {
        return 0;
    }
    const long long first = std::max<long long>(offset, 0);
    const long long end = std::min<long long>(static_cast<long long>(offset) + count, 256);
    return end > first ? static_cast<int>(end - first) : 0;
}

// An offset or count that is mostly near the table, sometimes far from it.
int Number(ByteReader& in) {
    const std::uint8_t kind = in.byte();
    const int small = static_cast<int>(in.byte());
    switch (kind % 8) {
    case 0:
        return -small;
    case 1:
        return small + 256;
    case 2:
        return static_cast<int>(static_cast<std::int16_t>(in.u16())) * 65536 + in.u16();
    default:
        return small;
    }
}

CellColour Colour(ByteReader& in) {
    static const CellColour kColours[] = {kCellWhite,  kCellGrey,         kCellGreen, kCellYellow,
                                          kCellOrange, kCellLightSkyBlue, kCellRed};
    const std::uint8_t pick = in.byte();
    return pick < 7 ? kColours[pick] : static_cast<CellColour>(pick) * 0x010101u;
}

void CheckModel(const HexTableModel& model, const Snapshot& s) {
    const EdidImage image = model.image();
    for (int offset = 0; offset < HexTableModel::kDataCells; ++offset) {
        LVX_FUZZ_CHECK(IsHexText(s.texts[CellOf(offset)]));
        const QString& text = s.texts[CellOf(offset)];
        const int value = text.isEmpty() ? 0 : text.toInt(nullptr, 16);
        LVX_FUZZ_CHECK(model.byteAt(offset) == value);
        LVX_FUZZ_CHECK(image[static_cast<std::size_t>(offset)] == value);
    }
    LVX_FUZZ_CHECK(model.byteAt(-1) == 0 && model.byteAt(256) == 0);
    LVX_FUZZ_CHECK(model.cellText(-1, 0).isEmpty() && model.cellText(17, 1).isEmpty());
    LVX_FUZZ_CHECK(model.cellColour(0, 17) == 0);
    LVX_FUZZ_CHECK(model.freedCount() <= 255);
}

void CheckHeaders(const Snapshot& before, const Snapshot& after) {
    for (int i = 0; i < kCells; ++i) {
        const int row = i / HexTableModel::kColumns;
        const int column = i % HexTableModel::kColumns;
        if (row == 0 || column == 0) {
            LVX_FUZZ_CHECK(before.texts[static_cast<std::size_t>(i)] ==
                           after.texts[static_cast<std::size_t>(i)]);
            LVX_FUZZ_CHECK(before.colours[static_cast<std::size_t>(i)] ==
                           after.colours[static_cast<std::size_t>(i)]);
        }
    }
}

// The signal of one operation against what changed.
void CheckSignal(const Snapshot& before, const Snapshot& after,
                 const std::vector<std::pair<int, int>>& emitted, bool load) {
    int first = -1;
    int last = -1;
    for (int offset = 0; offset < HexTableModel::kDataCells; ++offset) {
        const std::size_t cell = CellOf(offset);
        if (before.texts[cell] != after.texts[cell] ||
            before.colours[cell] != after.colours[cell]) {
            first = first < 0 ? offset : first;
            last = offset;
        }
    }
    if (load) {
        LVX_FUZZ_CHECK(emitted.size() == 1 && emitted[0] == std::make_pair(0, 256));
        return;
    }
    if (first < 0) {
        LVX_FUZZ_CHECK(emitted.empty());
        return;
    }
    LVX_FUZZ_CHECK(emitted.size() == 1);
    LVX_FUZZ_CHECK(emitted[0].first == first && emitted[0].second == last - first + 1);
}

void CheckChecksum(const HexTableModel& model, int block) {
    if (block != 0 && block != 1) {
        return;
    }
    unsigned sum = 0;
    for (int i = 0; i < 128; ++i) {
        sum += model.byteAt(block * 128 + i);
    }
    LVX_FUZZ_CHECK(sum % 256 == 0);
    const int at = block * 128 + 127;
    const CellColour colour =
        model.cellColour(HexTableModel::columnOf(at), HexTableModel::rowOf(at));
    const bool same =
        model.byteAt(at) == model.referenceRecord().image[static_cast<std::size_t>(at)];
    LVX_FUZZ_CHECK(colour == (same ? kCellWhite : kCellGreen));
}

// Runs the script on a fresh model; the end state, for the determinism check.
Snapshot Run(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    HexTableModel model;
    std::vector<std::pair<int, int>> emitted;
    QObject::connect(&model, &HexTableModel::cellsChanged,
                     [&emitted](int first, int count) { emitted.emplace_back(first, count); });
    CheckModel(model, Take(model));
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        const Snapshot before = Take(model);
        emitted.clear();
        const std::uint8_t op = in.byte() % 10;
        switch (op) {
        case 0: {
            EdidRecord record;
            const std::vector<std::uint8_t> bytes = in.bytes(256);
            std::copy(bytes.begin(), bytes.end(), record.image.begin());
            if (in.byte() & 1) {
                // Made valid: header, one extension at most, both checksums right.
                static const std::uint8_t kHeader[] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
                std::copy(std::begin(kHeader), std::end(kHeader), record.image.begin());
                record.image[126] = record.image[126] & 1;
                for (int block = 0; block < 2; ++block) {
                    unsigned sum = 0;
                    for (int i = 0; i < 127; ++i) {
                        sum += record.image[static_cast<std::size_t>(block * 128 + i)];
                    }
                    record.image[static_cast<std::size_t>(block * 128 + 127)] =
                        static_cast<std::uint8_t>((256 - sum % 256) % 256);
                }
            }
            record.status = ValidationError(record.image);
            model.load(record);
            for (int offset = 0; offset < 256; ++offset) {
                LVX_FUZZ_CHECK(model.byteAt(offset) ==
                               record.image[static_cast<std::size_t>(offset)]);
            }
            if (record.status == 0) {
                LVX_FUZZ_CHECK(model.freedCount() == 0);
                LVX_FUZZ_CHECK(model.referenceRecord().image == record.image);
            }
            break;
        }
        case 1: {
            const int offset = Number(in);
            const int count = Number(in);
            const std::vector<std::uint8_t> bytes = in.bytes(in.byte() % 64);
            const CellColour colour = Colour(in);
            model.writeBytes(offset, count, bytes, colour);
            // What was written reads back, but for the checksum cells the write updates.
            const int written = std::min<long long>(count, static_cast<long long>(bytes.size())) > 0
                                    ? static_cast<int>(std::min<long long>(
                                          count, static_cast<long long>(bytes.size())))
                                    : 0;
            for (int i = 0; i < written; ++i) {
                const long long at = static_cast<long long>(offset) + i;
                if (at >= 0 && at < 256 && at != 127 && at != 255) {
                    LVX_FUZZ_CHECK(model.byteAt(static_cast<int>(at)) ==
                                   bytes[static_cast<std::size_t>(i)]);
                    LVX_FUZZ_CHECK(model.cellColour(HexTableModel::columnOf(static_cast<int>(at)),
                                                    HexTableModel::rowOf(static_cast<int>(at))) ==
                                   colour);
                }
            }
            CheckChecksum(model, offset > 126 ? 1 : 0);
            break;
        }
        case 2: {
            const std::vector<std::uint8_t> bytes = in.bytes(in.byte() % 64);
            const int offset = Number(in);
            model.writeBytes(offset, bytes, Colour(in));
            CheckChecksum(model, offset > 126 ? 1 : 0);
            break;
        }
        case 3: {
            const int offset = Number(in);
            const int count = Number(in);
            const std::vector<std::uint8_t> read = model.readBytes(offset, count);
            LVX_FUZZ_CHECK(static_cast<int>(read.size()) == Passed(offset, count));
            for (std::size_t i = 0; i < read.size(); ++i) {
                LVX_FUZZ_CHECK(read[i] == model.byteAt(std::max(offset, 0) + static_cast<int>(i)));
            }
            const std::vector<CellColour> colours = model.saveColours(offset, count);
            LVX_FUZZ_CHECK(colours.size() == read.size());
            break;
        }
        case 4: {
            const int offset = Number(in);
            const int count = Number(in);
            const CellColour colour = Colour(in);
            model.colourRange(offset, count, colour);
            for (int i = 0; i < Passed(offset, count); ++i) {
                const int at = std::max(offset, 0) + i;
                LVX_FUZZ_CHECK(model.cellColour(HexTableModel::columnOf(at),
                                                HexTableModel::rowOf(at)) == colour);
            }
            break;
        }
        case 5: {
            // Colours saved in one place and given back in another, as an edit does.
            const int from = Number(in);
            const int count = Number(in);
            const int to = Number(in);
            const std::vector<CellColour> colours = model.saveColours(from, count);
            model.restoreColours(to, Number(in), colours);
            break;
        }
        case 6: {
            const int offset = Number(in);
            const int count = Number(in);
            const std::uint8_t freed = model.freedCount();
            model.deleteBytes(offset, count);
            if (offset < 0 || offset > 255 || count < 1) {
                LVX_FUZZ_CHECK(model.freedCount() == freed);
            } else {
                LVX_FUZZ_CHECK(model.freedCount() ==
                               std::min<long long>(255, static_cast<long long>(freed) + count));
            }
            break;
        }
        case 7: {
            const int offset = Number(in);
            const int count = Number(in);
            const std::uint8_t freed = model.freedCount();
            model.insertGap(offset, count);
            if (offset < 0 || offset > 255 || count < 1) {
                LVX_FUZZ_CHECK(model.freedCount() == freed);
            } else {
                LVX_FUZZ_CHECK(model.freedCount() == (freed >= count ? freed - count : freed));
            }
            break;
        }
        case 8: {
            const int block = static_cast<int>(static_cast<std::int8_t>(in.byte())) % 4;
            model.updateChecksum(block);
            CheckChecksum(model, block);
            break;
        }
        default: {
            // A slot that writes back into the model while it is told of a change: its own
            // change comes with a signal of its own, after the first.
            const int offset = in.byte();
            const std::uint8_t value = in.byte();
            QMetaObject::Connection once;
            once = QObject::connect(&model, &HexTableModel::cellsChanged, [&](int, int) {
                QObject::disconnect(once);
                model.writeBytes(offset, {value}, kCellYellow);
            });
            model.colourRange(in.byte(), 1 + in.byte() % 8, Colour(in));
            QObject::disconnect(once);
            const Snapshot after = Take(model);
            CheckModel(model, after);
            CheckHeaders(before, after);
            continue;
        }
        }
        const Snapshot after = Take(model);
        CheckHeaders(before, after);
        CheckSignal(before, after, emitted, op == 0);
        CheckModel(model, after);
    }
    return Take(model);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::EnsureApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Snapshot first = Run(data, size);
    // The model holds no state beyond what its operations gave it.
    const Snapshot second = Run(data, size);
    LVX_FUZZ_CHECK(first.texts == second.texts);
    LVX_FUZZ_CHECK(first.colours == second.colours);
    return 0;
}
