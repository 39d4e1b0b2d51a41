// The load procedure: what every control shows once an image has come in, in the fixed
// order the controls are set.
#include "creator/BrandNewTemplate.h"
#include "creator/CreatorIds.h"
#include "creator/CreatorModel.h"
#include "creator/CreatorPresets.h"
#include "creator/CreatorText.h"
#include "edid/CtaCodes.h"

#include <algorithm>

namespace lvx {

namespace {

bool Bit(std::uint32_t value, int bit) {
    return ((value >> bit) & 1u) != 0;
}

template <typename List>
bool Contains(const List& list, std::uint8_t vic) {
    return std::find(list.begin(), list.end(), vic) != list.end();
}

// The VIC box an HDMI VIC checks: 1 is VIC 95, 2 is 94, 3 and 4 are 93; 0 for none.
std::uint8_t VicOfHdmiVic(std::uint8_t hdmiVic) {
    switch (hdmiVic) {
    case 1:
        return 95;
    case 2:
        return 94;
    case 3:
    case 4:
        return 93;
    default:
        return 0;
    }
}

} // namespace

void CreatorModel::showErrorState() {
    const Ids& i = ids();
    assignText(i.manufacturer, "Error.", true);
    // The placeholder says the image is invalid; it is never written into the image, and a
    // write is refused by the validation, which names the fault: it is no field in error.
    clearError(i.manufacturer);
    assignText(i.monitor, "Error.", true);
    for (int id : {i.product, i.serial, i.year, i.week}) {
        assignText(id, "0", true);
    }
    assignText(i.cec, "0000", true);
    auto uncheck = [this](auto ids) {
        for (int id : ids) {
            assignChecked(id, false, true);
        }
    };
    uncheck(i.established);
    uncheck(i.standard);
    uncheck(i.colorSpace);
    uncheck(i.colorDepth);
    uncheck(i.colorimetry);
    uncheck(i.vic);
    uncheck(i.yuv420);
    uncheck(i.audio[0].freq);
    uncheck(i.sampleSize);
    for (int n = 1; n <= 11; ++n) {
        assignChecked(i.speaker[static_cast<std::size_t>(n)], false, true);
    }
    for (int n = 1; n <= 9; ++n) {
        assignChecked(i.audioFormat[static_cast<std::size_t>(n)], false, true);
    }
    for (std::size_t f = 1; f < kAudioFormatCount; ++f) {
        uncheck(i.audio[f].freq);
    }
    uncheck(i.hdr);
    uncheck(i.eotf);
    for (const Ids::Audio& audio : i.audio) {
        assignText(audio.maxCh, "0", true);
    }
    for (const Ids::Audio& audio : i.audio) {
        if (audio.bitRate >= 0) {
            assignText(audio.bitRate, "     0", true);
        }
    }
    for (int id : i.luminance) {
        assignText(id, LuminanceText(0), true);
    }
    assignChecked(i.present3d, false, true);
    assignChecked(i.hdrDescriptor, false, true);
}

void CreatorModel::showRecord() {
    showDescriptor();
    showPcTiming();
    showColour();
    showVideoCodes();
    showAudio();
    showSpeakersAndFormat();
}

void CreatorModel::showDescriptor() {
    const Ids& i = ids();
    const EdidRecord& r = record_;
    assignText(i.manufacturer, FieldText(r.manufacturer), true);
    std::string name = FieldText(r.monitorName);
    assignText(i.monitor, name.empty() ? std::string("-") : std::move(name), true);
    assignText(i.product, std::to_string(r.productCode), true);
    assignText(i.serial, std::to_string(r.serialNumber), true);
    if ((r.status & kStatusBrandNew) != 0) {
        // A new EDID shows the local year and ISO week it was stamped with.
        assignText(i.year, std::to_string(madeOn_.year), true);
        assignText(i.week, std::to_string(IsoWeekNumber(madeOn_.year, madeOn_.month, madeOn_.day)),
                   true);
    } else {
        assignText(i.year, std::to_string(r.year + 1990), true);
        assignText(i.week, std::to_string(r.week), true);
    }
}

void CreatorModel::showPcTiming() {
    const Ids& i = ids();
    const EdidRecord& r = record_;
    for (int n = 1; n <= 17; ++n) {
        assignChecked(i.established[static_cast<std::size_t>(n - 1)],
                      Bit(r.establishedTimings, 23 - (n - 1)), true);
    }
    for (std::size_t n = 0; n < StandardTimings().size(); ++n) {
        const std::uint16_t word = StandardTimings()[n].word;
        const bool present = std::find(r.standardTimings.begin(), r.standardTimings.end(), word) !=
                             r.standardTimings.end();
        assignChecked(i.standard[n], present, true);
    }
    assignIndex(i.block0Preset, BasePresetShown(r));
    assignIndex(i.block1Preset, ExtensionPresetShown(r));
}

void CreatorModel::showColour() {
    const Ids& i = ids();
    const EdidRecord& r = record_;
    assignChecked(i.colorSpace[0], (r.extensionFlags & 0x20) != 0, true);
    assignChecked(i.colorSpace[1], (r.extensionFlags & 0x10) != 0, true);
    assignChecked(i.colorSpace[2], r.yuv420 != 0, true);
    for (int n = 0; n < 3; ++n) {
        assignChecked(i.colorDepth[static_cast<std::size_t>(n)], Bit(r.hdmiCapability, 6 - n),
                      true);
    }
    for (int n = 0; n < 8; ++n) {
        assignChecked(i.colorimetry[static_cast<std::size_t>(n)], Bit(r.colorimetry[0], 7 - n),
                      true);
    }
}

// SD/HD/UHD: the video data block's VICs, the 4:2:0 list, then the HDMI VICs; then Others
// (3D) and the HDR part of Color Space.
void CreatorModel::showVideoCodes() {
    const Ids& i = ids();
    const EdidRecord& r = record_;
    for (std::size_t k = 0; k < kCreatorVics.size(); ++k) {
        assignChecked(i.vic[k], Contains(r.svd, kCreatorVics[k]), true);
    }
    for (std::size_t k = 0; k < kCreatorYuv420Vics.size(); ++k) {
        assignChecked(i.yuv420[k], Contains(r.yuv420Video, kCreatorYuv420Vics[k]), true);
    }
    for (std::uint8_t hdmiVic : r.hdmiVic) {
        const std::uint8_t vic = VicOfHdmiVic(hdmiVic);
        for (std::size_t k = 0; vic != 0 && k < kCreatorVics.size(); ++k) {
            if (kCreatorVics[k] == vic) {
                assignChecked(i.vic[k], true, true);
            }
        }
    }
    assignChecked(i.present3d, (r.format & kFormat3dPresent) != 0, true);
    for (int n = 0; n < 3; ++n) {
        assignChecked(i.hdr[static_cast<std::size_t>(n)], Bit(r.yuv420DeepColor, 2 - n), true);
    }
    for (int n = 0; n < 3; ++n) {
        assignChecked(i.eotf[static_cast<std::size_t>(n)], Bit(r.hdrMetadata[0], 2 - n), true);
    }
    for (std::size_t n = 0; n < 3; ++n) {
        assignText(i.luminance[n], LuminanceText(r.hdrMetadata[2 + n]), true);
    }
    assignChecked(i.hdrDescriptor, (r.hdrMetadata[1] & 0x01) != 0, true);
}

void CreatorModel::clearAudio() {
    const Ids& i = ids();
    for (int n = 1; n <= 9; ++n) {
        assignChecked(i.audioFormat[static_cast<std::size_t>(n)], false, true);
    }
    for (std::size_t f = 1; f < kAudioFormatCount; ++f) {
        const Ids::Audio& audio = i.audio[f];
        assignText(audio.maxCh, "0", true);
        if (audio.bitRate >= 0) {
            assignText(audio.bitRate, "     0", true);
        }
        for (int id : audio.freq) {
            assignChecked(id, false, true);
        }
        assignChecked(audio.detail, false, true);
    }
    assignText(i.audio[0].maxCh, "0", true);
    for (int id : i.audio[0].freq) {
        assignChecked(id, false, true);
    }
    for (int id : i.sampleSize) {
        assignChecked(id, false, true);
    }
}

void CreatorModel::showAudio() {
    clearAudio();
    const Ids& i = ids();
    // Each descriptor slot in order; a later slot of a format overrides an earlier one.
    for (const auto& sad : record_.sad) {
        const int f = AudioFormatOfCode((sad[0] >> 3) & 0x0F);
        if (f < 0) {
            continue;
        }
        const Ids::Audio& audio = i.audio[static_cast<std::size_t>(f)];
        const std::string channels = std::to_string((sad[0] & 0x07) + 1);
        if (f == 0) {
            assignText(audio.maxCh, channels, true);
            if (state(audio.maxCh).text == "2") {
                assignChecked(audio.box, true, true);
            }
            for (int n = 0; n < 3; ++n) {
                assignChecked(i.sampleSize[static_cast<std::size_t>(n)], Bit(sad[2], 2 - n), true);
            }
        } else {
            assignChecked(audio.box, true, true);
            assignText(audio.maxCh, channels, true);
            if (audio.bitRate >= 0) {
                assignText(audio.bitRate, BitRateText(sad[2] * 8u), true);
            }
        }
        for (int n = 0; n < 7; ++n) {
            assignChecked(audio.freq[static_cast<std::size_t>(n)], Bit(sad[1], 6 - n), true);
        }
    }
}

// Speaker placement (the right-hand boxes follow through the pairing rule), the CEC address
// and DVI or HDMI.
void CreatorModel::showSpeakersAndFormat() {
    const Ids& i = ids();
    const EdidRecord& r = record_;
    for (int n = 1; n <= 11; ++n) {
        assignChecked(i.speaker[static_cast<std::size_t>(n)],
                      Bit(r.speakerAllocation, Speakers()[static_cast<std::size_t>(n - 1)].bit),
                      true);
    }
    assignText(i.cec, HexPair(r.cecAddress[0], r.cecAddress[1]), true);
    const bool hdmi = (r.format & kFormatHdmi) != 0;
    assignChecked(i.dvi, !hdmi, true);
    assignChecked(i.hdmi, hdmi, true);
}

} // namespace lvx
