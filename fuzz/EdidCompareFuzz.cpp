// The comparison of two EDIDs (linkvex-cli diff, the Compare EDIDs window) and the map of
// which field each byte belongs to. The input is two images of 256 bytes (short ones padded
// with 0xFF, as files), then a control byte: bit 0 makes both pass validation, so that the
// decoder's lists take part; bit 1 compares A with itself.

#include "FuzzSupport.h"

#include "edid/EdidComparison.h"
#include "edid/EdidFile.h"

#include <cstring>

using namespace lvx;
using lvx::fuzz::ByteReader;

namespace {

EdidImage MadeValid(EdidImage image) {
    static constexpr std::uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::memcpy(image.data(), kHeader, sizeof kHeader);
    image[kEdidExtensionCountOffset] &= 0x01;
    image[kEdidChecksum0Offset] = BlockChecksum(image, 0);
    image[kEdidChecksum1Offset] = BlockChecksum(image, 1);
    return image;
}

EdidImage ReadImage(ByteReader& in) {
    const std::vector<std::uint8_t> bytes = in.bytes(kEdidSize);
    return ImageFromFileBytes(bytes.data(), bytes.size());
}

void CheckMap(const EdidImage& image) {
    const EdidFieldMap map = MapEdidFields(image);
    LVX_FUZZ_CHECK(!map.labels.empty());
    for (std::size_t offset = 0; offset < kEdidSize; ++offset) {
        LVX_FUZZ_CHECK(map.field[offset] < map.labels.size());
        LVX_FUZZ_CHECK(!map.nameAt(offset).empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    EdidImage a = ReadImage(in);
    EdidImage b = ReadImage(in);
    const std::uint8_t control = in.byte();
    if (control & 0x01) {
        a = MadeValid(a);
        b = MadeValid(b);
    }
    if (control & 0x02) {
        b = a;
    }
    CheckMap(a);
    CheckMap(b);

    const EdidComparison comparison = CompareEdids(a, b);
    int differing = 0;
    for (std::size_t i = 0; i < kEdidSize; ++i) {
        LVX_FUZZ_CHECK(comparison.differs[i] == (a[i] != b[i]));
        differing += a[i] != b[i] ? 1 : 0;
    }
    LVX_FUZZ_CHECK(comparison.differingBytes == differing);
    LVX_FUZZ_CHECK(comparison.equal == (a == b));
    LVX_FUZZ_CHECK(comparison.facts.size() == 15);
    if (a == b) {
        LVX_FUZZ_CHECK(comparison.changes.empty() && comparison.ranges.empty());
        LVX_FUZZ_CHECK(comparison.differingFacts() == 0);
    }
    // The ranges cover the differing bytes exactly, in order, without overlap.
    int next = 0;
    int covered = 0;
    for (const ByteRange& range : comparison.ranges) {
        LVX_FUZZ_CHECK(range.first >= next && range.first <= range.last && range.last < 256);
        for (int i = range.first; i <= range.last; ++i) {
            LVX_FUZZ_CHECK(a[static_cast<std::size_t>(i)] != b[static_cast<std::size_t>(i)]);
        }
        covered += range.last - range.first + 1;
        next = range.last + 1;
        LVX_FUZZ_CHECK(!range.field.empty());
    }
    LVX_FUZZ_CHECK(covered == differing);
    return 0;
}
