#include "edid/EdidComparison.h"

#include "edid/AnalyzerReport.h"
#include "edid/CtaCodes.h"
#include "edid/EdidDecoder.h"
#include "edid/EdidParse.h"
#include "edid/EdidRecord.h"
#include "edid/VicTable.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace lvx {

namespace {

// --- field map ------------------------------------------------------------------------------

class MapBuilder {
public:
    explicit MapBuilder(EdidFieldMap& map) : map_(map) {}

    void set(std::size_t first, std::size_t last, std::string_view text, int number = -1,
             std::string_view ending = {}) {
        if (first > last || first >= kEdidSize) {
            return;
        }
        last = std::min(last, kEdidSize - 1);
        const auto id = static_cast<std::uint8_t>(map_.labels.size());
        map_.labels.push_back({text, number, ending});
        std::fill(map_.field.begin() + static_cast<std::ptrdiff_t>(first),
                  map_.field.begin() + static_cast<std::ptrdiff_t>(last) + 1, id);
    }

private:
    EdidFieldMap& map_;
};

std::string_view DescriptorKind(const EdidImage& image, std::size_t p) {
    if (image[p] != 0 || image[p + 1] != 0) {
        return " (detailed timing)";
    }
    const std::uint8_t tag = image[p + 3];
    switch (tag) {
    case 0xFF:
        return " (serial number)";
    case 0xFE:
        return " (text)";
    case 0xFD:
        return " (range limits)";
    case 0xFC:
        return " (monitor name)";
    case 0xFB:
        return " (colour point)";
    case 0xFA:
        return " (standard timings)";
    case 0xF9:
        return " (colour management)";
    case 0xF8:
        return " (CVT timing codes)";
    case 0xF7:
        return " (established timings III)";
    case 0x10:
        return " (dummy)";
    default:
        return tag <= 0x0F ? " (manufacturer data)" : " (unknown)";
    }
}

bool HasOui(const EdidImage& image, std::size_t c, std::uint32_t oui) {
    return c + 3 < kEdidSize && OuiOf(image[c + 1], image[c + 2], image[c + 3]) == oui;
}

// The name of an extended data block (tag 7), by its extended tag.
EdidFieldMap::Label ExtendedBlockName(const EdidImage& image, std::size_t c) {
    if ((image[c] & 0x1F) == 0 || c + 1 >= kEdidSize) {
        return {"Extended Data Block (empty)", -1, {}};
    }
    switch (image[c + 1]) {
    case 0:
        return {"Video Capability Data Block", -1, {}};
    case 1:
        return {"Vendor-Specific Video Data Block", -1, {}};
    case 2:
        return {"VESA Display Device Data Block", -1, {}};
    case 5:
        return {"Colorimetry Data Block", -1, {}};
    case 6:
        return {"HDR Static Metadata Data Block", -1, {}};
    case 7:
        return {"HDR Dynamic Metadata Data Block", -1, {}};
    case 13:
        return {"Video Format Preference Data Block", -1, {}};
    case 14:
        return {"YCbCr 4:2:0 Video Data Block", -1, {}};
    case 15:
        return {"YCbCr 4:2:0 Capability Map Data Block", -1, {}};
    case 17:
        return {"Vendor-Specific Audio Data Block", -1, {}};
    case 18:
        return {"Room Configuration Data Block", -1, {}};
    case 19:
        return {"Speaker Location Data Block", -1, {}};
    case 32:
        return {"InfoFrame Data Block", -1, {}};
    case 121:
        return {"HDMI Forum Sink Capability Data Block", -1, {}};
    default:
        return {"Extended Data Block (tag ", image[c + 1], ")"};
    }
}

EdidFieldMap::Label DataBlockName(const EdidImage& image, std::size_t c) {
    switch (image[c] & 0xE0) {
    case kTagAudio:
        return {"Audio Data Block", -1, {}};
    case kTagVideo:
        return {"Video Data Block", -1, {}};
    case kTagVendor:
        if (HasOui(image, c, kOuiHdmi)) {
            return {"HDMI Vendor-Specific Data Block", -1, {}};
        }
        if (HasOui(image, c, kOuiHdmiForum)) {
            return {"HDMI Forum Vendor-Specific Data Block", -1, {}};
        }
        return {"Vendor-Specific Data Block", -1, {}};
    case kTagSpeaker:
        return {"Speaker Allocation Data Block", -1, {}};
    case 0xA0:
        return {"VESA Display Transfer Characteristic Data Block", -1, {}};
    case 0xC0:
        return {"Video Format Data Block", -1, {}};
    case kTagExtended:
        break;
    default:
        return {"Reserved Data Block", -1, {}};
    }
    return ExtendedBlockName(image, c);
}

// The tag bytes of every data block in walk order, found tag by tag with the decoder's walk.
std::vector<std::size_t> DataBlockPositions(const EdidImage& image) {
    std::vector<std::size_t> positions;
    for (int tag = 0; tag < 8; ++tag) {
        std::size_t pos = kFirstDataBlock;
        while (FindDataBlock(image, static_cast<std::uint8_t>(tag << 5), pos)) {
            positions.push_back(pos);
            pos += (image[pos] & 0x1Fu) + 1;
        }
    }
    std::sort(positions.begin(), positions.end());
    return positions;
}

} // namespace

std::string EdidFieldMap::nameAt(std::size_t offset) const {
    const Label& label = labelAt(offset);
    std::string name;
    name.reserve(label.text.size() + label.ending.size() + 4);
    name.append(label.text);
    if (label.number >= 0) {
        name += std::to_string(label.number);
    }
    name += label.ending;
    return name;
}

EdidFieldMap MapEdidFields(const EdidImage& image) {
    EdidFieldMap map;
    map.labels.reserve(48);
    MapBuilder b(map);
    b.set(0, 7, "Header");
    b.set(8, 9, "Manufacturer ID");
    b.set(10, 11, "Product code");
    b.set(12, 15, "Serial number");
    b.set(16, 16, "Week of manufacture");
    b.set(17, 17, "Year of manufacture");
    b.set(18, 19, "EDID version");
    b.set(20, 20, "Video input definition");
    b.set(21, 22, "Screen size");
    b.set(23, 23, "Gamma");
    b.set(24, 24, "Feature support");
    b.set(25, 34, "Colour characteristics");
    b.set(35, 37, "Established timings");
    b.set(38, 53, "Standard timings");
    for (std::size_t k = 0; k < 4; ++k) {
        const std::size_t p = 54 + 18 * k;
        b.set(p, p + 17, "Descriptor ", static_cast<int>(k + 1), DescriptorKind(image, p));
    }
    b.set(126, 126, "Extension count");
    b.set(127, 127, "Block 0 checksum");

    if (image[kEdidExtensionCountOffset] == 0) {
        b.set(128, 255, "Block 1 (unused: no extension announced)");
        return map;
    }
    b.set(128, 128, "Extension tag");
    b.set(129, 129, "Extension revision");
    b.set(130, 130, "Detailed timing offset");
    b.set(131, 131, "Extension flags");
    // The data block area runs from 132 up to the detailed timing offset.
    const std::size_t offset = image[130];
    const std::size_t timings = offset >= 4 ? std::min<std::size_t>(128 + offset, 255) : 132;
    b.set(132, timings - 1, "Data block area");
    for (const std::size_t c : DataBlockPositions(image)) {
        const std::size_t end = std::min<std::size_t>(c + (image[c] & 0x1Fu), timings - 1);
        const EdidFieldMap::Label name = DataBlockName(image, c);
        b.set(c, end, name.text, name.number, name.ending);
    }
    std::size_t p = timings;
    int n = 1;
    if (offset != 0) {
        for (; p + 18 <= 255 && (image[p] != 0 || image[p + 1] != 0); p += 18, ++n) {
            b.set(p, p + 17, "Detailed timing ", n, " (block 1)");
        }
    }
    b.set(p, 254, "Padding");
    b.set(255, 255, "Block 1 checksum");
    return map;
}

// --- entry texts ----------------------------------------------------------------------------

namespace {

// Hundredths as "12.34".
std::string Hundredths(unsigned long value) {
    std::string text = std::to_string(value / 100) + ".";
    const unsigned long rest = value % 100;
    text += static_cast<char>('0' + rest / 10);
    text += static_cast<char>('0' + rest % 10);
    return text;
}

} // namespace

std::string DescribeVic(int vic) {
    std::string text;
    text.reserve(40);
    text.append("VIC ").append(std::to_string(vic));
    if (const VideoTiming* t = FindVic(vic)) {
        text.append(": ")
            .append(std::to_string(t->hActive))
            .append("x")
            .append(std::to_string(t->vActive))
            .append(1, t->interlaced ? 'i' : 'p')
            .append(" ")
            .append(std::to_string(std::lround(t->fieldRateHz())))
            .append(" Hz ")
            .append(std::to_string(t->aspectW))
            .append(":")
            .append(std::to_string(t->aspectH));
    }
    return text;
}

std::string DescribeDetailedTiming(const std::uint8_t* d) {
    const unsigned long clock = d[0] | (static_cast<unsigned long>(d[1]) << 8); // 10 kHz
    const unsigned long hActive = d[2] | (static_cast<unsigned long>(d[4] & 0xF0) << 4);
    const unsigned long hBlank = d[3] | (static_cast<unsigned long>(d[4] & 0x0F) << 8);
    const unsigned long vActive = d[5] | (static_cast<unsigned long>(d[7] & 0xF0) << 4);
    const unsigned long vBlank = d[6] | (static_cast<unsigned long>(d[7] & 0x0F) << 8);
    const bool interlaced = (d[17] & 0x80) != 0;
    std::string text = std::to_string(hActive) + "x" +
                       std::to_string(interlaced ? vActive * 2 : vActive) +
                       (interlaced ? "i" : "p");
    const unsigned long total = (hActive + hBlank) * (vActive + vBlank);
    if (total > 0) {
        // Hundredths of a hertz, rounded: clock * 10^4 Hz * 100 / total.
        const unsigned long long hz100 =
            (static_cast<unsigned long long>(clock) * 1000000ull + total / 2) / total;
        text += " " + Hundredths(static_cast<unsigned long>(hz100)) + " Hz";
    }
    text += ", " + Hundredths(clock) + " MHz";
    return text;
}

std::string SpeakerName(int bit) {
    static constexpr const char* kNames[24] = {
        // payload byte 3, bits 0-7
        "BtFC", "BtFL/BtFR", "TpLS/TpRS", "LSd/RSd", nullptr, nullptr, nullptr, nullptr,
        // payload byte 2
        "TpFL/TpFR", "TpC", "TpFC", "LS/RS", "LFE2", "TpBC", "SiL/SiR", "TpSiL/TpSiR",
        // payload byte 1
        "FL/FR", "LFE1", "FC", "BL/BR", "BC", "FLc/FRc", "BLc/BRc", "FLw/FRw"};
    if (bit < 0 || bit >= 24) {
        return {};
    }
    if (kNames[bit] != nullptr) {
        return kNames[bit];
    }
    return "speaker bit " + std::to_string(bit);
}

const char* ListName(ListChange::List list) {
    switch (list) {
    case ListChange::List::Vic:
        return "VICs";
    case ListChange::List::Audio:
        return "Audio descriptors";
    case ListChange::List::Speaker:
        return "Speakers";
    case ListChange::List::Timing:
        return "Detailed timings";
    }
    return "";
}

// --- the comparison -------------------------------------------------------------------------

namespace {

struct Side {
    EdidRecord record;
    AnalyzerReport report;
    std::bitset<256> vics;
    std::vector<std::array<std::uint8_t, 3>> sads;
    std::vector<std::array<std::uint8_t, 18>> timings;
    std::uint32_t speakers = 0;
};

// The lists of one side, from the parse of its blocks: both when byte 126 announces an
// extension, the base block alone otherwise. They are read whatever the checksums say.
void ReadLists(Side& s, const EdidImage& image) {
    const EdidParse parse = ParseImage(image, 0);
    for (const ShortVideoDescriptor& svd : parse.svds) {
        if (!SvdReserved(svd.raw)) {
            s.vics.set(svd.vic);
        }
    }
    for (const ShortAudioDescriptor& sad : parse.sads) {
        s.sads.push_back(sad.bytes);
    }
    std::sort(s.sads.begin(), s.sads.end());
    if (parse.speakers) {
        const auto& p = *parse.speakers;
        s.speakers = (static_cast<std::uint32_t>(p[0]) << 16) |
                     (static_cast<std::uint32_t>(p[1]) << 8) | p[2];
    }
    for (const DetailedTimingEntry& e : parse.detailedTimings) {
        if (e.displayId) {
            continue;
        }
        std::array<std::uint8_t, 18> t{};
        std::copy_n(parse.bytes.begin() + e.offset, t.size(), t.begin());
        s.timings.push_back(t);
    }
    std::sort(s.timings.begin(), s.timings.end());
}

// Entries of sorted `from` that `other` lacks, counting repeats (a multiset difference).
template <typename T>
std::vector<T> Missing(const std::vector<T>& from, const std::vector<T>& other) {
    std::vector<T> out;
    std::set_difference(from.begin(), from.end(), other.begin(), other.end(),
                        std::back_inserter(out));
    return out;
}

std::string_view Caption(std::string_view caption) {
    const std::size_t first = caption.find_first_not_of(' ');
    caption = first == std::string_view::npos ? std::string_view() : caption.substr(first);
    const std::size_t colon = caption.rfind(" :");
    return colon == std::string_view::npos ? caption : caption.substr(0, colon);
}

std::string FactValue(const AnalyzerReport& report, std::string_view label) {
    return label == "Label_Audio_Formats" ? report.audioFormatsFlat : report.text(label);
}

} // namespace

int EdidComparison::differingFacts() const {
    return static_cast<int>(std::count_if(facts.begin(), facts.end(),
                                          [](const FactComparison& f) { return f.differs; }));
}

namespace {

void CompareFacts(const Side& sa, const Side& sb, EdidComparison& c) {
    c.facts.reserve(kAnalyzerRowCount);
    for (const AnalyzerRow& row : AnalyzerRows()) {
        FactComparison f;
        std::string_view key = row.label;
        if (key.substr(0, 6) == "Label_") {
            key.remove_prefix(6);
        }
        f.key = std::string(key);
        f.caption = std::string(Caption(row.caption));
        f.a = FactValue(sa.report, row.label);
        f.b = FactValue(sb.report, row.label);
        f.differs = f.a != f.b;
        c.facts.push_back(std::move(f));
    }
}

// The VICs, audio descriptors, speakers and detailed timings only one side has.
void CompareLists(const Side& sa, const Side& sb, EdidComparison& c) {
    c.changes.reserve(32);
    auto change = [&](ListChange::List list, bool added, std::string text) {
        c.changes.push_back({list, added, std::move(text)});
    };
    for (std::size_t v = 1; v < 256; ++v) {
        if (sa.vics[v] != sb.vics[v]) {
            change(ListChange::List::Vic, sb.vics[v], DescribeVic(static_cast<int>(v)));
        }
    }
    for (const auto& sad : Missing(sa.sads, sb.sads)) {
        change(ListChange::List::Audio, false,
               DescribeShortAudioDescriptor(sad[0], sad[1], sad[2]));
    }
    for (const auto& sad : Missing(sb.sads, sa.sads)) {
        change(ListChange::List::Audio, true, DescribeShortAudioDescriptor(sad[0], sad[1], sad[2]));
    }
    for (int bit = 23; bit >= 0; --bit) {
        const bool inA = (sa.speakers >> bit) & 1u;
        const bool inB = (sb.speakers >> bit) & 1u;
        if (inA != inB) {
            change(ListChange::List::Speaker, inB, SpeakerName(bit));
        }
    }
    for (const auto& t : Missing(sa.timings, sb.timings)) {
        change(ListChange::List::Timing, false, DescribeDetailedTiming(t.data()));
    }
    for (const auto& t : Missing(sb.timings, sa.timings)) {
        change(ListChange::List::Timing, true, DescribeDetailedTiming(t.data()));
    }
}

// Runs of differing bytes, cut where the field changes on either side.
void CompareRanges(const EdidImage& a, const EdidImage& b, EdidComparison& c) {
    c.ranges.reserve(static_cast<std::size_t>(std::min(c.differingBytes, 64)));
    const EdidFieldMap mapA = MapEdidFields(a);
    const EdidFieldMap mapB = MapEdidFields(b);
    for (std::size_t i = 0; i < kEdidSize; ++i) {
        if (!c.differs[i]) {
            continue;
        }
        std::size_t last = i;
        while (last + 1 < kEdidSize && c.differs[last + 1] &&
               mapA.field[last + 1] == mapA.field[i] && mapB.field[last + 1] == mapB.field[i]) {
            ++last;
        }
        ByteRange range;
        range.first = static_cast<int>(i);
        range.last = static_cast<int>(last);
        range.field = mapA.nameAt(i);
        if (!(mapB.labelAt(i) == mapA.labelAt(i))) {
            range.field.append(" / ").append(mapB.nameAt(i));
        }
        c.ranges.push_back(std::move(range));
        i = last;
    }
}

} // namespace

EdidComparison CompareEdids(const EdidImage& a, const EdidImage& b) {
    EdidComparison c;
    for (std::size_t i = 0; i < kEdidSize; ++i) {
        c.differs[i] = a[i] != b[i];
        c.differingBytes += c.differs[i] ? 1 : 0;
    }
    c.equal = c.differingBytes == 0;

    Side sa;
    Side sb;
    sa.report = AnalyzeImage(sa.record, a);
    sb.report = AnalyzeImage(sb.record, b);
    CompareFacts(sa, sb, c);
    if (c.equal) {
        return c;
    }
    // The lists are read whatever the checksums say, so that a broken checksum does not
    // hide what else changed; the walk never leaves the image.
    ReadLists(sa, a);
    ReadLists(sb, b);
    CompareLists(sa, sb, c);
    CompareRanges(a, b, c);
    return c;
}

} // namespace lvx
