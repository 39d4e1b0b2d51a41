#include "creator/EdidWorkImage.h"
#include "creator/BrandNewTemplate.h"
#include "edid/EdidFile.h"
#include "edid/EdidValidation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

using namespace lvx;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Range = std::pair<int, int>;

constexpr auto kTake = EdidWorkImage::Reference::Take;
constexpr auto kKeep = EdidWorkImage::Reference::Keep;

CellColour ColourAt(const EdidWorkImage& m, int offset) {
    return m.colourAt(offset);
}

// Every changed() the image emits, in order.
struct Recorder {
    explicit Recorder(EdidWorkImage& m) {
        QObject::connect(&m, &EdidWorkImage::changed,
                         [this](int first, int count) { ranges.emplace_back(first, count); });
    }
    std::vector<Range> take() { return std::exchange(ranges, {}); }
    std::vector<Range> ranges;
};

} // namespace

TEST(edidWorkImage, InitialCells) {
    const EdidWorkImage m;
    for (int i = 0; i < 256; ++i) {
        ASSERT_FALSE(m.holdsByte(i));
        ASSERT_EQ(m.byteAt(i), 0);
        ASSERT_EQ(ColourAt(m, i), kCellWhite);
    }
    EXPECT_FALSE(m.holdsByte(256));
    EXPECT_FALSE(m.holdsByte(-1));
    EXPECT_EQ(m.colourAt(256), 0u);
    EXPECT_EQ(m.colourAt(-1), 0u);
}

TEST(edidWorkImage, LoadTakingTheReferenceOrKeepingIt) {
    EdidWorkImage m;
    EdidImage image = BrandNewTemplate();
    image[12] = 0x39; // makes block 0's checksum 0x9A
    image[127] = BlockChecksum(image, 0);
    ASSERT_EQ(image[127], 0x9A);
    m.load(image, kTake);
    EXPECT_EQ(m.byteAt(127), 0x9A);
    EXPECT_EQ(m.colourAt(127), kCellWhite);
    EXPECT_EQ(m.byteAt(1), 0xFF);
    EXPECT_EQ(m.bytes(), image);
    EXPECT_EQ(m.referenceChecksum(0), 0x9A);
    EXPECT_EQ(m.referenceChecksum(1), image[255]);

    m.colourRange(8, 2, kCellYellow);
    m.deleteBytes(200, 2);
    const std::vector<CellColour> colours = m.saveColours(0, 256);
    EdidImage bad = BrandNewTemplate();
    bad[0] = 0x01;
    m.load(bad, kKeep);
    EXPECT_EQ(m.bytes(), bad);
    EXPECT_EQ(m.saveColours(0, 256), colours);
    EXPECT_EQ(m.referenceChecksum(0), 0x9A);
    EXPECT_EQ(m.freedCount(), 2);

    m.load(BrandNewTemplate(), kTake); // valid again: all white, nothing freed
    EXPECT_EQ(m.saveColours(0, 256), std::vector<CellColour>(256, kCellWhite));
    EXPECT_EQ(m.freedCount(), 0);
    EXPECT_EQ(m.referenceChecksum(0), BrandNewTemplate()[127]);
}

TEST(edidWorkImage, WriteUpdatesTheChecksumOfTheBlockItStartsIn) {
    EdidWorkImage m;
    const EdidImage t = BrandNewTemplate(); // checksums D3 and C8
    m.load(t, kTake);
    m.writeBytes(20, {0x81}, kCellYellow);
    EXPECT_EQ(m.byteAt(20), 0x81);
    EXPECT_EQ(m.colourAt(20), kCellYellow);
    EXPECT_EQ(m.byteAt(127), BlockChecksum(m.bytes(), 0));
    EXPECT_EQ(ColourAt(m, 127), kCellGreen);
    m.writeBytes(20, {t[20]}, kCellWhite);
    EXPECT_EQ(m.byteAt(127), 0xD3);
    EXPECT_EQ(ColourAt(m, 127), kCellWhite);

    // From 127 on a write counts for block 1; 127 keeps what was written.
    m.writeBytes(127, {0x55, 0x03}, kCellYellow);
    EXPECT_EQ(m.byteAt(127), 0x55);
    EXPECT_EQ(m.byteAt(255), static_cast<std::uint8_t>(0xC8 - 1));
    EXPECT_EQ(ColourAt(m, 255), kCellGreen);
    // A write from block 0 into block 1 updates block 0 only.
    m.load(t, kTake);
    m.writeBytes(126, {0x00}, kCellYellow);
    EXPECT_EQ(m.byteAt(127), 0xD4);
    m.writeBytes(120, Bytes(10, 0x77), kCellYellow);
    EXPECT_EQ(m.byteAt(127), BlockChecksum(m.bytes(), 0));
    EXPECT_EQ(m.byteAt(255), 0xC8);
}

TEST(edidWorkImage, DeleteThenInsertAt140) {
    EdidWorkImage m;
    const EdidImage orig = BrandNewTemplate();
    m.load(orig, kTake);
    m.colourRange(150, 3, kCellOrange);

    m.deleteBytes(140, 3);
    EdidImage e = orig;
    std::copy(orig.begin() + 140, orig.begin() + 255, e.begin() + 137);
    e[252] = e[253] = e[254] = 0;
    e[255] = BlockChecksum(e, 1);
    EXPECT_EQ(m.bytes(), e);
    EXPECT_EQ(m.freedCount(), 3);
    EXPECT_EQ(m.saveColours(146, 5), std::vector<CellColour>({kCellWhite, kCellOrange, kCellOrange,
                                                              kCellOrange, kCellWhite}));
    EXPECT_EQ(m.saveColours(252, 4),
              std::vector<CellColour>({kCellGrey, kCellGrey, kCellGrey, kCellGreen}));

    m.insertGap(140, 3);
    EdidImage f = e;
    std::copy(e.begin() + 140, e.begin() + 252, f.begin() + 143);
    f[255] = BlockChecksum(f, 1);
    EXPECT_EQ(m.bytes(), f);
    EXPECT_EQ(m.freedCount(), 0);
    const std::vector<CellColour> colours = m.saveColours(0, 256);
    EXPECT_EQ(std::count(colours.begin(), colours.end(), kCellGrey), 0);
    EXPECT_EQ(std::count(colours.begin(), colours.end(), kCellOrange), 3);
    EXPECT_EQ(ColourAt(m, 150), kCellOrange);
    EXPECT_EQ(ColourAt(m, 255), kCellGreen);
    // Filling the gap with the deleted bytes gives the loaded image back, checksum white.
    m.writeBytes(137, Bytes(orig.begin() + 137, orig.begin() + 143), kCellWhite);
    EXPECT_EQ(m.bytes(), orig);
    EXPECT_EQ(ColourAt(m, 255), kCellWhite);

    // Without enough freed cells the checksum cell keeps the colour moved into it.
    m.colourRange(253, 1, kCellOrange);
    m.insertGap(140, 2);
    EXPECT_EQ(m.byteAt(255), BlockChecksum(m.bytes(), 1));
    EXPECT_EQ(ColourAt(m, 255), kCellOrange);
}

TEST(edidWorkImage, WritesBeforeAnyLoadAndShortReads) {
    EdidWorkImage m;
    m.writeBytes(10, {0xAB, 0x00, 0x7F}, kCellYellow); // before any load: cells hold nothing
    EXPECT_FALSE(m.holdsByte(9));
    EXPECT_TRUE(m.holdsByte(10));
    EXPECT_TRUE(m.holdsByte(127)); // the checksum the write updated
    EXPECT_EQ(m.readBytes(8, 7), Bytes({0x00, 0x00, 0xAB, 0x00, 0x7F, 0x00, 0x00}));
    EXPECT_EQ(m.byteAt(127), static_cast<std::uint8_t>(0x100 - 0xAB - 0x7F));
    EXPECT_EQ(m.readBytes(250, 10).size(), 6u);
    EXPECT_EQ(m.readBytes(-2, 4).size(), 2u);
    EXPECT_TRUE(m.readBytes(256, 1).empty());
}

TEST(edidWorkImage, SignalsOncePerOperationWithTheChangedSpan) {
    EdidWorkImage m;
    Recorder rec(m);
    m.load(BrandNewTemplate(), kTake);
    m.load(BrandNewTemplate(), kTake);
    EXPECT_EQ(rec.take(), std::vector<Range>({{0, 256}, {0, 256}}));
    m.writeBytes(20, {0x81}, kCellYellow); // the byte up to block 0's checksum
    m.writeBytes(20, {0x81}, kCellYellow); // no change, no signal
    m.colourRange(200, 4, kCellOrange);
    EXPECT_EQ(rec.take(), std::vector<Range>({{20, 108}, {200, 4}}));

    // Whatever the operation, the span is that of the cells that differ afterwards.
    auto cells = [&m] {
        std::vector<std::tuple<bool, std::uint8_t, CellColour>> c;
        for (int i = 0; i < 256; ++i) {
            c.emplace_back(m.holdsByte(i), m.byteAt(i), ColourAt(m, i));
        }
        return c;
    };
    std::mt19937 rng(7);
    const CellColour palette[] = {kCellWhite, kCellYellow, kCellOrange, kCellGrey};
    for (int step = 0; step < 3000; ++step) {
        const auto before = cells();
        const int o = static_cast<int>(rng() % 300) - 20;
        const int n = static_cast<int>(rng() % 40) - 2;
        const CellColour colour = palette[rng() % 4];
        const std::size_t size = rng() % 8;
        switch (rng() % 6) {
        case 0:
            m.writeBytes(o, n, Bytes(size, static_cast<std::uint8_t>(rng())), colour);
            break;
        case 1:
            m.colourRange(o, n, colour);
            break;
        case 2:
            m.restoreColours(o, n, std::vector<CellColour>(size, colour));
            break;
        case 3:
            m.deleteBytes(o, n);
            break;
        case 4:
            m.insertGap(o, n);
            break;
        default:
            m.updateChecksum(static_cast<int>(rng() % 3));
        }
        const auto after = cells();
        std::vector<Range> expected;
        for (int first = 0; first < 256; ++first) {
            if (before[first] != after[first]) {
                int last = 255;
                while (before[last] == after[last]) {
                    --last;
                }
                expected.emplace_back(first, last - first + 1);
                break;
            }
        }
        ASSERT_EQ(rec.take(), expected) << "step " << step << " offset " << o << " count " << n;
    }
}

TEST(edidWorkImage, ExtremeOffsetsAndCounts) {
    EdidWorkImage m;
    m.load(BrandNewTemplate(), kTake);
    const Bytes five = {1, 2, 3, 4, 5};
    m.writeBytes(-3, five, kCellYellow); // 4 and 5 land at 0 and 1
    m.writeBytes(10, INT_MAX, five, kCellYellow);
    EXPECT_EQ(m.readBytes(0, 3), Bytes({4, 5, 0xFF}));
    EXPECT_EQ(m.readBytes(10, 6), Bytes({1, 2, 3, 4, 5, 0x00}));

    const EdidImage before = m.bytes();
    m.writeBytes(INT_MAX, INT_MAX, five, kCellRed);
    m.writeBytes(INT_MIN, INT_MAX, five, kCellRed);
    m.colourRange(INT_MIN, INT_MAX, kCellRed);
    m.restoreColours(INT_MAX, 1, {kCellRed});
    m.deleteBytes(256, 1);
    m.deleteBytes(10, INT_MIN);
    m.insertGap(-1, 1);
    m.insertGap(0, INT_MAX); // everything would move past 255
    EXPECT_EQ(m.bytes(), before);
    EXPECT_EQ(m.saveColours(INT_MIN, INT_MAX).size(), 0u);
    EXPECT_EQ(m.readBytes(0, INT_MAX).size(), 256u);

    m.deleteBytes(2, 5); // bytes 2 to 4 would land below 0
    EXPECT_EQ(m.readBytes(0, 10), Bytes({0xFF, 0xFF, 0x00, 0x38, 0xB7, 1, 2, 3, 4, 5}));
    EXPECT_EQ(m.freedCount(), 5);
    m.deleteBytes(0, INT_MAX); // the freed count stops at 255: cells 0 to 254
    EXPECT_EQ(m.freedCount(), 255);
    EXPECT_EQ(m.readBytes(0, 255), Bytes(255, 0));
    EXPECT_EQ(ColourAt(m, 126), kCellGrey);
    // A freed tail reaching into block 0 still leaves block 1's checksum cell recoloured.
    m.insertGap(200, 1);
    EXPECT_EQ(m.freedCount(), 254);
    EXPECT_EQ(ColourAt(m, 255), kCellGreen);
    m.insertGap(3, 254);
    EXPECT_EQ(m.freedCount(), 0);
}

TEST(edidWorkImage, CorpusImagesRoundTrip) {
    EdidWorkImage m; // one image for the whole run, as the program keeps
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(LVX_CORPUS_DIR)) {
        if (entry.path().extension() != ".bin") {
            continue;
        }
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const EdidImage image = ImageFromFileBytes(
            Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
        const bool valid = ValidationError(image) == 0;
        const std::uint8_t reference = m.referenceChecksum(1);
        m.load(image, valid ? kTake : kKeep);
        ASSERT_EQ(m.bytes(), image);
        ASSERT_EQ(m.referenceChecksum(1), valid ? image[255] : reference);
        // Moving block-1 bytes about leaves block 0 as it was.
        m.deleteBytes(140, 3);
        m.insertGap(133, 3);
        ASSERT_EQ(m.readBytes(0, 128), Bytes(image.begin(), image.begin() + 128));
    }
    EXPECT_EQ(files, 1500);
}
