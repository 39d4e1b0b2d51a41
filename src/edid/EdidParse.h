#pragma once

#include "common/EdidImage.h"
#include "edid/EdidFindings.h"
#include "edid/VideoTiming.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// The most blocks an EDID can have: the base block and 255 extensions.
constexpr std::size_t kMaxEdidBlocks = 256;

// One line of the decode as a tree: blocks at depth 0, their parts (a data block, a
// descriptor, a group of timings) at depth 1, fields below. The nodes are in the order the
// tree shows them; a node's children follow it with a greater depth. `offset` and `length`
// are the bytes the node is about, counted from the start of the EDID (length 0: none).
struct EdidDetail {
    std::string label;
    std::string value;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::uint16_t depth = 0;
};

// A detailed timing descriptor (18 bytes) of any block, or a DisplayID type I timing.
struct DetailedTimingEntry {
    int block = 0;
    std::uint32_t offset = 0; // first byte, from the start of the EDID
    VideoTiming timing;
    std::uint16_t hImageMm = 0;
    std::uint16_t vImageMm = 0;
    std::uint8_t hBorder = 0;
    std::uint8_t vBorder = 0;
    bool displayId = false;
};

// Any timing the EDID lists (established, standard, detailed, VIC, HDMI VIC, CVT code,
// DisplayID), with where it is listed; what the range limits are held against.
struct ListedTiming {
    VideoTiming timing;
    std::string_view kind; // "established", "standard", "detailed", "VIC", ...
    int block = 0;
    std::uint32_t offset = 0;
};

struct ShortVideoDescriptor {
    std::uint8_t raw = 0;
    std::uint8_t vic = 0; // the native flag stripped where the code has one
    bool native = false;
    int block = 0;
    std::uint32_t offset = 0;
};

struct ShortAudioDescriptor {
    std::array<std::uint8_t, 3> bytes{};
    std::uint8_t formatCode = 0;   // 1-15, byte 1 bits 6-3
    std::uint8_t maxChannels = 0;  // 1-8
    std::uint8_t extendedCode = 0; // byte 3 bits 7-3 when formatCode is 15
    int block = 0;
    std::uint32_t offset = 0;
};

// The HDMI Licensing vendor-specific data block (HDMI 1.x).
struct HdmiVendorBlock {
    int block = 0;
    std::uint32_t offset = 0; // tag byte
    std::uint8_t length = 0;
    std::uint16_t physicalAddress = 0;
    std::uint8_t capabilities = 0; // byte 6: AI, deep colour, DVI dual
    std::optional<std::uint16_t> maxTmdsMHz;
    std::vector<std::uint8_t> hdmiVics;
    bool present3d = false;
};

// The HDMI Forum vendor-specific data block, or the sink capability data block that carries
// the same fields.
struct HdmiForumBlock {
    int block = 0;
    std::uint32_t offset = 0;
    bool capabilityBlock = false; // the extended-tag form (SCDB)
    std::uint8_t version = 0;
    std::optional<std::uint16_t> maxTmdsMHz; // none when the block is too short to hold it
    bool scdc = false;
    std::uint8_t maxFrl = 0; // 0: no FRL
    bool allm = false;
    std::uint8_t vrrMin = 0;
    std::uint16_t vrrMax = 0;
    bool dsc = false;
    std::uint8_t deepColor420 = 0; // bits 2-0 of the deep colour byte
};

struct HdrStaticMetadata {
    int block = 0;
    std::uint32_t offset = 0;
    std::uint8_t eotfs = 0; // bit 0 SDR, 1 HDR, 2 ST 2084, 3 HLG
    std::uint8_t descriptors = 0;
};

// A data block of a CTA-861 extension, as the walk finds it.
struct CtaDataBlock {
    int block = 0;
    std::uint32_t offset = 0; // tag byte
    std::uint8_t tag = 0;     // bits 7-5 of the tag byte
    int extendedTag = -1;     // for tag 7
    std::uint8_t length = 0;  // bytes after the tag byte
    std::string_view name;
};

struct CtaExtension {
    int block = 0;
    std::uint8_t revision = 0;
    std::uint8_t dtdOffset = 0;
    std::uint8_t flags = 0; // byte 3: underscan, basic audio, YCbCr 4:4:4 and 4:2:2, native DTDs
};

struct RangeLimits {
    int block = 0;
    std::uint32_t offset = 0; // first byte of the descriptor
    int minVHz = 0;
    int maxVHz = 0;
    int minHKHz = 0;
    int maxHKHz = 0;
    int maxClockMHz = 0;      // 0: not given
    std::uint8_t kind = 0;    // byte 10: 0 GTF, 1 bare limits, 2 secondary GTF, 4 CVT
    std::uint8_t offsets = 0; // byte 4: the rate offsets of EDID 1.4
};

struct BaseBlock {
    bool headerValid = false;
    std::string manufacturer; // three letters
    std::uint16_t productCode = 0;
    std::uint32_t serialNumber = 0;
    std::uint8_t week = 0;
    int year = 0; // year of manufacture (or model year when week is 0xFF)
    std::uint8_t version = 0;
    std::uint8_t revision = 0;
    std::uint8_t input = 0; // byte 20
    std::uint8_t hSizeCm = 0;
    std::uint8_t vSizeCm = 0;
    std::uint8_t features = 0;                   // byte 24
    std::array<std::uint16_t, 8> chromaticity{}; // red x, y, green x, y, blue x, y, white x, y
    std::optional<RangeLimits> rangeLimits;
    std::optional<std::string> productName;
    std::uint8_t extensionCount = 0;
    bool digital() const { return (input & 0x80) != 0; }
    // EDID 1.4 or later (1.x with x >= 4).
    bool atLeast14() const { return version > 1 || (version == 1 && revision >= 4); }
};

// What an EDID holds, from one stateless parse of its bytes. The lists gather every block
// of their kind in block order.
struct EdidParse {
    std::vector<std::uint8_t> bytes; // the whole blocks parsed
    std::size_t blockCount = 0;
    std::vector<std::uint8_t> extensionTags; // tag byte of block 1, 2, ...
    BaseBlock base;
    std::vector<CtaExtension> cta;
    std::vector<CtaDataBlock> dataBlocks;
    std::vector<ShortVideoDescriptor> svds;
    std::vector<std::uint8_t> y420Vics;
    std::vector<std::uint8_t> y420CapableVics;
    std::vector<ShortAudioDescriptor> sads;
    std::optional<std::array<std::uint8_t, 3>> speakers;
    std::optional<std::uint8_t> videoCapability;
    std::optional<HdmiVendorBlock> hdmi;
    std::optional<HdmiForumBlock> hdmiForum;
    std::optional<HdrStaticMetadata> hdr;
    std::vector<DetailedTimingEntry> detailedTimings;
    std::vector<ListedTiming> timings;
    std::vector<EdidDetail> details;
    std::vector<EdidFinding> findings;

    bool hasFailure() const;
};

// Parses an EDID of any length: whole 128-byte blocks from the start, at most 256 of them.
// What does not fit the standards becomes findings, never an error: a short last block, more
// or fewer blocks than byte 126 announces, bytes past the 256th block. `currentYear` is
// the year the manufacture date is held against.
EdidParse ParseEdid(const std::uint8_t* data, std::size_t size, int currentYear);
EdidParse ParseEdid(const std::vector<std::uint8_t>& bytes, int currentYear);
// The parse of an image as the device and the analyzer hold an EDID: both blocks when byte
// 126 announces an extension, the base block alone otherwise.
EdidParse ParseImage(const EdidImage& image, int currentYear);

// The findings in the order a technician reads them: failures first, then by position.
std::vector<const EdidFinding*> OrderedFindings(const EdidParse& parse);

// A short audio descriptor as a technician reads it: "L-PCM 2 ch, 32/44.1/48 kHz, 16/20/24
// bit", "AC-3 6 ch, 48 kHz, up to 640 kbit/s".
std::string DescribeShortAudioDescriptor(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2);

// The year of today's date (UTC), for the parse's date check.
int CurrentYear();

} // namespace lvx
