// EDID decoding and the analyzer's report, on any 256 bytes.
//
// The input is read as a .bin file's contents (a short input is padded with 0xFF). It is
// decoded as it is, which mostly exercises validation, and once more with its header,
// extension count and checksums made right, so that the decoder itself reads whatever the
// data blocks, lengths and offsets say. The second decode goes into the same record, as the
// analyzer does with a new file, so fields kept from the first decode are in play too.

#include "FuzzSupport.h"

#include "edid/AnalyzerReport.h"
#include "edid/EdidDecoder.h"
#include "edid/EdidFile.h"
#include "edid/EdidValidation.h"

#include <cstring>

using namespace lvx;

namespace {

EdidImage MadeValid(EdidImage image) {
    static constexpr std::uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::memcpy(image.data(), kHeader, sizeof kHeader);
    image[kEdidExtensionCountOffset] &= 0x01;
    image[kEdidChecksum0Offset] = BlockChecksum(image, 0);
    image[kEdidChecksum1Offset] = BlockChecksum(image, 1);
    return image;
}

void CheckReport(const AnalyzerReport& report, const EdidRecord& record) {
    LVX_FUZZ_CHECK(report.labels.size() == kAnalyzerRowCount);
    for (const AnalyzerRow& row : AnalyzerRows()) {
        LVX_FUZZ_CHECK(report.labels.count(std::string(row.label)) == 1);
    }
    LVX_FUZZ_CHECK(report.valid == isValid(record));
    LVX_FUZZ_CHECK(report.audioFormats.find("\r\n") == report.audioFormats.rfind("\r\n"));
    LVX_FUZZ_CHECK(FieldText(record.monitorName).size() <= 13);
    LVX_FUZZ_CHECK(FieldText(record.maxResolutionName).size() < record.maxResolutionName.size());
}

// Every data block walk ends, and each step moves forward.
void WalkDataBlocks(const EdidImage& image) {
    for (const std::uint8_t tag : {kTagAudio, kTagVideo, kTagVendor, kTagSpeaker, kTagExtended}) {
        std::size_t position = kFirstDataBlock;
        std::size_t steps = 0;
        while (FindDataBlock(image, tag, position)) {
            LVX_FUZZ_CHECK(position < kEdidSize);
            LVX_FUZZ_CHECK(++steps <= kEdidBlockSize);
            position += (image[position] & 0x1Fu) + 1;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const EdidImage image = ImageFromFileBytes(data, size);

    EdidRecord record;
    const AnalyzerReport asGiven = AnalyzeImage(record, image);
    CheckReport(asGiven, record);
    LVX_FUZZ_CHECK(asGiven.valid == (ValidationError(image) == 0));

    const EdidImage valid = MadeValid(image);
    LVX_FUZZ_CHECK(ValidationError(valid) == 0);
    const AnalyzerReport decoded = AnalyzeImage(record, valid);
    CheckReport(decoded, record);
    LVX_FUZZ_CHECK(decoded.valid);
    LVX_FUZZ_CHECK(record.image == valid);
    WalkDataBlocks(valid);

    EdidRecord fresh;
    CheckReport(AnalyzeImage(fresh, valid), fresh);
    return 0;
}
