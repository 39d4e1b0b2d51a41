// Comparing two EDIDs: the analyzer facts, the decoded lists, and the differing byte runs
// with their fields, on corpus files and on variants the tests make of them.

#include "edid/EdidComparison.h"
#include "edid/EdidFile.h"

#include "EdidTestImages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace lvx;
using namespace lvx::test;
namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = LVX_CORPUS_DIR;

EdidImage Load(const std::string& name) {
    std::ifstream in(kCorpus / name, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    return ImageFromFileBytes(bytes);
}

std::vector<std::string> Texts(const EdidComparison& c, ListChange::List list, bool added) {
    std::vector<std::string> out;
    for (const ListChange& change : c.changes) {
        if (change.list == list && change.added == added) {
            out.push_back(change.text);
        }
    }
    return out;
}

const FactComparison& Fact(const EdidComparison& c, const std::string& key) {
    for (const FactComparison& f : c.facts) {
        if (f.key == key) {
            return f;
        }
    }
    static const FactComparison kNone;
    ADD_FAILURE() << "no fact " << key;
    return kNone;
}

// An LG monitor with one CTA block: an audio block (L-PCM 2 ch) at 132, colorimetry at 136,
// HDR static metadata at 140, a video block with VICs 16 4 3 1 31 19 at 147, and three
// detailed timings from 154.
const char* kLg = "002959BBD30B.bin";

} // namespace

TEST(EdidComparison, AnImageEqualsItselfOverTheWholeCorpus) {
    int files = 0;
    for (const auto& entry : fs::directory_iterator(kCorpus)) {
        const std::string name = entry.path().filename().string();
        const EdidImage image = Load(name);
        const EdidComparison c = CompareEdids(image, image);
        ASSERT_TRUE(c.equal) << name;
        EXPECT_EQ(c.differingBytes, 0) << name;
        EXPECT_TRUE(c.changes.empty()) << name;
        EXPECT_TRUE(c.ranges.empty()) << name;
        ASSERT_EQ(c.facts.size(), 15u);
        EXPECT_EQ(c.differingFacts(), 0) << name;
        ++files;
    }
    EXPECT_GT(files, 1000);
}

TEST(EdidComparison, RangesCoverExactlyTheDifferingBytesOfCorpusPairs) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kCorpus)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    for (std::size_t i = 0; i + 1 < names.size(); i += 7) {
        const EdidImage a = Load(names[i]);
        const EdidImage b = Load(names[i + 1]);
        const EdidComparison c = CompareEdids(a, b);
        std::array<bool, 256> covered{};
        int previousLast = -1;
        for (const ByteRange& r : c.ranges) {
            ASSERT_LE(r.first, r.last);
            ASSERT_GT(r.first, previousLast) << "ranges in order and apart";
            previousLast = r.last;
            EXPECT_FALSE(r.field.empty());
            for (int k = r.first; k <= r.last; ++k) {
                covered[static_cast<std::size_t>(k)] = true;
            }
        }
        int count = 0;
        for (std::size_t k = 0; k < 256; ++k) {
            EXPECT_EQ(covered[k], a[k] != b[k]) << names[i] << " byte " << k;
            count += a[k] != b[k];
        }
        EXPECT_EQ(c.differingBytes, count);
        EXPECT_EQ(c.equal, count == 0);
    }
}

TEST(EdidComparison, AChangedVicShowsInTheListsTheFactsAndTheVideoBlock) {
    const EdidImage a = Load(kLg);
    ASSERT_EQ(a[149], 0x04); // VIC 4 in the video block
    EdidImage b = a;
    b[149] = 97;
    FixChecksums(b);
    const EdidComparison c = CompareEdids(a, b);
    EXPECT_FALSE(c.equal);
    EXPECT_EQ(Texts(c, ListChange::List::Vic, false),
              std::vector<std::string>{"VIC 4: 1280x720p 60 Hz 16:9"});
    EXPECT_EQ(Texts(c, ListChange::List::Vic, true),
              std::vector<std::string>{"VIC 97: 3840x2160p 60 Hz 16:9"});
    const FactComparison& best = Fact(c, "Max_Resolution");
    EXPECT_EQ(best.caption, "Max Resolution");
    EXPECT_EQ(best.a, "1080p@60Hz");
    EXPECT_EQ(best.b, "2160p@60Hz");
    EXPECT_TRUE(best.differs);
    EXPECT_FALSE(Fact(c, "Manufac_Name").differs);
    ASSERT_EQ(c.ranges.size(), 2u);
    EXPECT_EQ(c.ranges[0].first, 149);
    EXPECT_EQ(c.ranges[0].last, 149);
    EXPECT_EQ(c.ranges[0].field, "Video Data Block");
    EXPECT_EQ(c.ranges[1].first, 255);
    EXPECT_EQ(c.ranges[1].field, "Block 1 checksum");
}

TEST(EdidComparison, AudioDescriptorsAreComparedAsTheTechnicianReadsThem) {
    const EdidImage a = Load(kLg);
    ASSERT_EQ(a[132], 0x23); // audio block, one descriptor 09 06 07
    EdidImage b = a;
    b[133] = 0x15; // AC-3, 6 channels; 44.1 and 48 kHz stay, byte 3 is now a bit rate / 8
    FixChecksums(b);
    const EdidComparison c = CompareEdids(a, b);
    EXPECT_EQ(Texts(c, ListChange::List::Audio, false),
              std::vector<std::string>{"L-PCM 2 ch, 44.1/48 kHz, 16/20/24 bit"});
    EXPECT_EQ(Texts(c, ListChange::List::Audio, true),
              std::vector<std::string>{"AC-3 6 ch, 44.1/48 kHz, up to 56 kbit/s"});
    EXPECT_EQ(Fact(c, "Audio_Formats").a, "2PCM,");
    EXPECT_EQ(Fact(c, "Audio_Formats").b, "DolbyD,");
    EXPECT_EQ(Fact(c, "Audio_Channel").b, "6CH");
    EXPECT_EQ(c.ranges.front().field, "Audio Data Block");
}

TEST(EdidComparison, SpeakersAndTimingsThatOnlyOneSideHas) {
    // Two speaker blocks: only the first counts.
    const EdidImage a = Cta({{0x83, 0x01, 0x00, 0x00}, {0x83, 0x4F, 0x00, 0x00}});
    const EdidImage b = Cta({{0x83, 0x4B, 0x00, 0x00}});
    const EdidComparison c = CompareEdids(a, b);
    // 0x01 -> 0x4B: LFE1 (0x02), BL/BR (0x08) and BLc/BRc (0x40) come in, FL/FR stays.
    EXPECT_EQ(Texts(c, ListChange::List::Speaker, true),
              (std::vector<std::string>{"BLc/BRc", "BL/BR", "LFE1"}));
    EXPECT_TRUE(Texts(c, ListChange::List::Speaker, false).empty());

    // The first detailed timing of the LG: 2560x1440 at 604.25 MHz, 143.97 Hz.
    const EdidImage lg = Load(kLg);
    EdidImage other = lg;
    other[54] = 0x01; // pixel clock 604.25 -> 604.17 MHz
    FixChecksums(other);
    const EdidComparison t = CompareEdids(lg, other);
    const std::vector<std::string> removed = Texts(t, ListChange::List::Timing, false);
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0], "2560x1440p 143.97 Hz, 604.25 MHz");
    ASSERT_EQ(Texts(t, ListChange::List::Timing, true).size(), 1u);
    EXPECT_EQ(t.ranges.front().field, "Descriptor 1 (detailed timing)");
}

TEST(EdidComparison, TheFieldMapFollowsTheDescriptorsAndTheDataBlocks) {
    const EdidFieldMap map = MapEdidFields(Load(kLg));
    EXPECT_EQ(map.nameAt(0), "Header");
    EXPECT_EQ(map.nameAt(9), "Manufacturer ID");
    EXPECT_EQ(map.nameAt(54), "Descriptor 1 (detailed timing)");
    EXPECT_EQ(map.nameAt(72), "Descriptor 2 (range limits)");
    EXPECT_EQ(map.nameAt(107), "Descriptor 3 (monitor name)");
    EXPECT_EQ(map.nameAt(108), "Descriptor 4 (serial number)");
    EXPECT_EQ(map.nameAt(126), "Extension count");
    EXPECT_EQ(map.nameAt(127), "Block 0 checksum");
    EXPECT_EQ(map.nameAt(130), "Detailed timing offset");
    EXPECT_EQ(map.nameAt(135), "Audio Data Block");
    EXPECT_EQ(map.nameAt(136), "Colorimetry Data Block");
    EXPECT_EQ(map.nameAt(146), "HDR Static Metadata Data Block");
    EXPECT_EQ(map.nameAt(153), "Video Data Block");
    EXPECT_EQ(map.nameAt(154), "Detailed timing 1 (block 1)");
    EXPECT_EQ(map.nameAt(207), "Detailed timing 3 (block 1)");
    EXPECT_EQ(map.nameAt(208), "Padding");
    EXPECT_EQ(map.nameAt(255), "Block 1 checksum");

    // Without an extension, block 1 is one field.
    const EdidFieldMap bare = MapEdidFields(Image(0));
    EXPECT_EQ(bare.nameAt(128), bare.nameAt(255));
    EXPECT_NE(bare.nameAt(128).find("no extension"), std::string::npos);
}

TEST(EdidComparison, MalformedBlocksStayInsideTheImage) {
    // A data block whose length runs past the detailed timing offset and the image's end,
    // an offset of 255 and one below 4: names are found, nothing is read out of bounds.
    for (const int offset : {0, 2, 20, 127, 255}) {
        EdidImage image = Cta({{0x5F, 0x03, 0x0C, 0x00}}, offset);
        const EdidFieldMap map = MapEdidFields(image);
        for (std::size_t i = 0; i < 256; ++i) {
            ASSERT_LT(map.field[i], map.labels.size());
        }
        EdidImage filled = image;
        std::fill(filled.begin() + 132, filled.end(), 0xFF);
        const EdidComparison c = CompareEdids(image, filled);
        EXPECT_FALSE(c.equal);
    }
    // Vendor block: the HDMI OUI names it.
    const EdidImage hdmi = Cta({Hdmi({0x10, 0x00})});
    EXPECT_EQ(MapEdidFields(hdmi).nameAt(132), "HDMI Vendor-Specific Data Block");
}

TEST(EdidComparison, AnInvalidSideShowsInTheFactsAndKeepsItsLists) {
    const EdidImage a = Load(kLg);
    EdidImage b = a;
    b[127] ^= 0x01; // block 0 checksum broken
    const EdidComparison c = CompareEdids(a, b);
    EXPECT_EQ(Fact(c, "Edid_Header").a, "Good");
    EXPECT_EQ(Fact(c, "Edid_Header").b, "Illegal");
    // Nothing but the checksum changed, so no list entry comes or goes.
    EXPECT_TRUE(c.changes.empty());
    ASSERT_EQ(c.ranges.size(), 1u);
    EXPECT_EQ(c.ranges[0].field, "Block 0 checksum");
}

TEST(EdidComparison, EntryTexts) {
    EXPECT_EQ(DescribeVic(16), "VIC 16: 1920x1080p 60 Hz 16:9");
    EXPECT_EQ(DescribeVic(5), "VIC 5: 1920x1080i 60 Hz 16:9");
    EXPECT_EQ(DescribeVic(102), "VIC 102: 4096x2160p 60 Hz 256:135");
    EXPECT_EQ(DescribeVic(199), "VIC 199: 7680x4320p 60 Hz 16:9");
    EXPECT_EQ(DescribeVic(150), "VIC 150");
    // DTS, 6 channels, 48 kHz, 1536 kbit/s.
    EXPECT_EQ(DescribeShortAudioDescriptor(0x3D, 0x04, 0xC0),
              "DTS 6 ch, 48 kHz, up to 1536 kbit/s");
    // MAT (code 12), 8 channels, 48/96/192 kHz; byte 3 is shown as it is.
    EXPECT_EQ(DescribeShortAudioDescriptor(0x67, 0x54, 0x01),
              "MAT (Dolby TrueHD) 8 ch, 48/96/192 kHz, byte 3 01");
    EXPECT_EQ(SpeakerName(16), "FL/FR");
    EXPECT_EQ(SpeakerName(23), "FLw/FRw");
    EXPECT_EQ(SpeakerName(5), "speaker bit 5");
    // 1920x1080i: 74.25 MHz, 2200 x (540 + 22) per field: 60.05 Hz.
    const std::uint8_t dtd[18] = {0x01, 0x1D, 0x80, 0x18, 0x71, 0x1C, 0x16, 0x20, 0x58,
                                  0x2C, 0x25, 0x00, 0xC4, 0x8E, 0x21, 0x00, 0x00, 0x9E};
    EXPECT_EQ(DescribeDetailedTiming(dtd), "1920x1080i 60.05 Hz, 74.25 MHz");
}
