// The creator's work image, seen through the hex table's item model, under any sequence of
// the image's public operations: load, write, read, colour, save and restore colours,
// delete, insert a gap, checksum. Offsets and counts reach far outside the image on purpose.
// After every operation both must keep their promises: texts are empty or two upper-case hex
// digits of the byte, header cells never change, reads return one byte per cell the walk
// passes, a checksum makes its block sum to 0, and the one change signal names the smallest
// run that holds every changed cell (nothing for no change).

#include "FuzzQt.h"
#include "FuzzSupport.h"

#include "app/HexTableModel.h"
#include "creator/EdidWorkImage.h"
#include "edid/EdidValidation.h"

#include <QColor>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

using namespace lvx;
using lvx::fuzz::ByteReader;

namespace {

// The table as the window shows it: 17 x 17 cells, row 0 and column 0 the headers.
constexpr int kSide = HexTableModel::kColumns + 1;
constexpr int kCells = kSide * kSide;

// The work image and the item model over it.
struct Model {
    Model() { table.setImage(&image); }
    EdidWorkImage image;
    HexTableModel table;
};

CellColour FromQColor(const QColor& colour) {
    return static_cast<CellColour>(colour.red()) | static_cast<CellColour>(colour.green()) << 8 |
           static_cast<CellColour>(colour.blue()) << 16;
}

QString TextOf(const HexTableModel& table, int column, int row) {
    if (row == 0 && column == 0) {
        return QString();
    }
    if (row == 0 || column == 0) {
        return table
            .headerData(row == 0 ? column - 1 : row - 1, row == 0 ? Qt::Horizontal : Qt::Vertical)
            .toString();
    }
    return table.index(row - 1, column - 1).data().toString();
}

CellColour ColourOf(const HexTableModel& table, int column, int row) {
    if (row == 0 && column == 0) {
        return kCellLightSkyBlue;
    }
    if (row == 0 || column == 0) {
        return FromQColor(table
                              .headerData(row == 0 ? column - 1 : row - 1,
                                          row == 0 ? Qt::Horizontal : Qt::Vertical,
                                          Qt::BackgroundRole)
                              .value<QColor>());
    }
    return FromQColor(table.index(row - 1, column - 1).data(Qt::BackgroundRole).value<QColor>());
}

struct Snapshot {
    std::array<QString, kCells> texts;
    std::array<CellColour, kCells> colours{};
};

Snapshot Take(const Model& m) {
    Snapshot s;
    for (int row = 0; row < kSide; ++row) {
        for (int column = 0; column < kSide; ++column) {
            const int i = row * kSide + column;
            s.texts[static_cast<std::size_t>(i)] = TextOf(m.table, column, row);
            s.colours[static_cast<std::size_t>(i)] = ColourOf(m.table, column, row);
        }
    }
    return s;
}

std::size_t CellOf(int offset) {
    return static_cast<std::size_t>((HexTableModel::rowOf(offset) + 1) * kSide +
                                    HexTableModel::columnOf(offset) + 1);
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

void CheckModel(const Model& m, const Snapshot& s) {
    const EdidWorkImage& model = m.image;
    const EdidImage& image = model.bytes();
    for (int offset = 0; offset < 256; ++offset) {
        LVX_FUZZ_CHECK(IsHexText(s.texts[CellOf(offset)]));
        const QString& text = s.texts[CellOf(offset)];
        LVX_FUZZ_CHECK(text.isEmpty() != model.holdsByte(offset));
        const int value = text.isEmpty() ? 0 : text.toInt(nullptr, 16);
        LVX_FUZZ_CHECK(model.byteAt(offset) == value);
        LVX_FUZZ_CHECK(image[static_cast<std::size_t>(offset)] == value);
        LVX_FUZZ_CHECK(s.colours[CellOf(offset)] == (model.colourAt(offset) & 0xFFFFFF));
    }
    LVX_FUZZ_CHECK(model.byteAt(-1) == 0 && model.byteAt(256) == 0);
    LVX_FUZZ_CHECK(!model.holdsByte(-1) && !model.holdsByte(256));
    LVX_FUZZ_CHECK(m.table.headerData(-1, Qt::Horizontal).isNull());
    LVX_FUZZ_CHECK(m.table.headerData(16, Qt::Vertical).isNull());
    LVX_FUZZ_CHECK(model.colourAt(256) == 0);
    LVX_FUZZ_CHECK(model.freedCount() <= 255);
}

void CheckHeaders(const Snapshot& before, const Snapshot& after) {
    for (int i = 0; i < kCells; ++i) {
        const int row = i / kSide;
        const int column = i % kSide;
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
    for (int offset = 0; offset < 256; ++offset) {
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

void CheckChecksum(const EdidWorkImage& model, int block) {
    if (block != 0 && block != 1) {
        return;
    }
    unsigned sum = 0;
    for (int i = 0; i < 128; ++i) {
        sum += model.byteAt(block * 128 + i);
    }
    LVX_FUZZ_CHECK(sum % 256 == 0);
    const int at = block * 128 + 127;
    const CellColour colour = model.colourAt(at);
    const bool same = model.byteAt(at) == model.referenceChecksum(block);
    LVX_FUZZ_CHECK(colour == (same ? kCellWhite : kCellGreen));
}

// Runs the script on a fresh model; the end state, for the determinism check.
Snapshot Run(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    Model m;
    EdidWorkImage& model = m.image;
    std::vector<std::pair<int, int>> emitted;
    QObject::connect(&model, &EdidWorkImage::changed,
                     [&emitted](int first, int count) { emitted.emplace_back(first, count); });
    CheckModel(m, Take(m));
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        const Snapshot before = Take(m);
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
            model.load(record.image, record.status == 0 ? EdidWorkImage::Reference::Take
                                                        : EdidWorkImage::Reference::Keep);
            for (int offset = 0; offset < 256; ++offset) {
                LVX_FUZZ_CHECK(model.byteAt(offset) ==
                               record.image[static_cast<std::size_t>(offset)]);
            }
            if (record.status == 0) {
                LVX_FUZZ_CHECK(model.freedCount() == 0);
                LVX_FUZZ_CHECK(model.referenceChecksum(0) == record.image[127]);
                LVX_FUZZ_CHECK(model.referenceChecksum(1) == record.image[255]);
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
                    LVX_FUZZ_CHECK(model.colourAt(static_cast<int>(at)) == colour);
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
                LVX_FUZZ_CHECK(model.colourAt(at) == colour);
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
            once = QObject::connect(&model, &EdidWorkImage::changed, [&](int, int) {
                QObject::disconnect(once);
                model.writeBytes(offset, {value}, kCellYellow);
            });
            model.colourRange(in.byte(), 1 + in.byte() % 8, Colour(in));
            QObject::disconnect(once);
            const Snapshot after = Take(m);
            CheckModel(m, after);
            CheckHeaders(before, after);
            continue;
        }
        }
        const Snapshot after = Take(m);
        CheckHeaders(before, after);
        CheckSignal(before, after, emitted, op == 0);
        CheckModel(m, after);
    }
    return Take(m);
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
