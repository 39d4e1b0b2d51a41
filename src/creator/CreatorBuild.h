#pragma once

#include "creator/CreatorControls.h"
#include "edid/EdidRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lvx {

// What the build reads from the creator's controls, already turned into numbers. Arrays
// follow the control families: colorDepth and hdrDepth are "16Bit", "12Bit", "10Bit"; vic
// follows kCreatorVics, yuv420 kCreatorYuv420Vics; audio follows AudioFormats() (index 0
// L-PCM, whose box is "Basic"); speaker is CheckBox_SpeakerPosition_1 to _11.
struct BuildControls {
    bool ycbcr444 = false;
    bool ycbcr422 = false;
    bool ycbcr420 = false;
    std::array<bool, 3> colorDepth{};
    std::array<bool, 8> colorimetry{};
    std::array<bool, kCreatorVics.size()> vic{};
    std::array<bool, kCreatorYuv420Vics.size()> yuv420{};
    bool present3d = false;
    std::array<bool, 3> hdrDepth{};
    std::array<bool, 3> eotf{};
    bool hdrType1 = false;
    std::array<unsigned, 3> luminance{}; // max, average, min
    struct Audio {
        bool box = false;
        unsigned maxChannels = 0;
        unsigned bitRate = 0;
        std::array<bool, 7> frequency{};
    };
    std::array<Audio, kAudioFormatCount> audio{};
    std::array<bool, 3> sampleSize{};
    std::array<bool, 11> speaker{};
    std::array<std::uint8_t, 2> cec{};
    bool dvi = false;
    // The first block-1 timing the user chose in ComboBox_Block1_DTD1, if any since the load.
    std::optional<DetailedTiming> block1Timing;
};

struct BuildResult {
    bool ok = false;
    std::string error; // why nothing was built
    EdidImage image{};
    // One line per data block of the loaded block 1 that the new block 1 does not carry.
    std::vector<std::string> leftOut;
};

// The build: gathers the controls into the creator record (its VIC, audio and HDMI VIC lists
// keep what the controls do not speak of), then makes the image: block 0 as given (the hex
// table's bytes), block 1 generated from the record and the parts of the loaded block 1 that
// are carried over (the HDMI and HDMI Forum vendor blocks, the colorimetry metadata byte, the
// video capability byte, the detailed timings). The record's image becomes the built image.
//
// With "DVI", block 1 is zero and the image announces no extension (byte 126 = 0, block 0's
// checksum recomputed). When the data blocks alone do not fit before byte 254, nothing is
// built (ok false): detailed timings are dropped first, data blocks never. No byte is ever
// read or written outside the image.
BuildResult BuildEdid(EdidRecord& record, const std::array<std::uint8_t, 128>& block0,
                      const BuildControls& controls);

} // namespace lvx
