#include "creator/CreatorIds.h"

#include <cstdio>
#include <cstdlib>

namespace lvx {

namespace {

// The id of a control the creator cannot do without; a catalogue without it is a build
// fault, found at the first start.
int Need(std::string_view name) {
    const int id = CreatorControlId(name);
    if (id < 0) {
        std::fprintf(stderr, "creator: no control %.*s\n", static_cast<int>(name.size()),
                     name.data());
        std::abort();
    }
    return id;
}

int Family(std::string_view prefix, int n) {
    return Need(FamilyName(prefix, n));
}

template <std::size_t N>
void Numbered(std::array<int, N>& ids, std::string_view prefix) {
    for (std::size_t n = 1; n <= N; ++n) {
        ids[n - 1] = Family(prefix, static_cast<int>(n));
    }
}

} // namespace

// The fields that name one control each.
static void ResolveSingles(CreatorModel::Ids& i) {
    i.manufacturer = Need(names::kManufacturer);
    i.monitor = Need(names::kMonitor);
    i.product = Need(names::kProduct);
    i.serial = Need(names::kSerial);
    i.year = Need(names::kYear);
    i.week = Need(names::kWeek);
    i.cec = Need(names::kCec);
    i.block0Preset = Need(names::kBlock0Preset);
    i.block1Preset = Need(names::kBlock1Preset);
    i.hdrDescriptor = Need(names::kHdrDescriptor);
    i.hdrDetail = Need(names::kHdrDetail);
    i.present3d = Need(names::kPresent3d);
    i.dvi = Need(names::kDvi);
    i.hdmi = Need(names::kHdmi);
    i.status = Need(names::kStatusLabel);
    i.warning = Need(names::kWarningLabel);
    i.writeButton = Need(names::kWriteButton);
}

static void ResolveAudio(CreatorModel::Ids& i) {
    i.audioFormat.fill(-1);
    for (int n = 1; n <= 9; ++n) {
        i.audioFormat[static_cast<std::size_t>(n)] = Family("CheckBox_AudioFormat_", n);
    }
    for (std::size_t f = 0; f < kAudioFormatCount; ++f) {
        const AudioFormatDef& a = AudioFormats()[f];
        const std::string key(a.key);
        CreatorModel::Ids::Audio& audio = i.audio[f];
        audio.box = i.audioFormat[static_cast<std::size_t>(a.box)];
        audio.maxCh = Need("Edit_Audio" + key + "_MaxCh");
        if (a.bitRate) {
            audio.bitRate = Need("Edit_Audio" + key + "_BitRate");
        }
        if (f > 0) {
            audio.detail = Need("CheckBox_AudDetial_" + key);
            audio.panel = Need("Panel_Audio_" + key);
        }
        Numbered(audio.freq, "CheckBox_Audio" + key + "_Freq_");
    }
    Numbered(i.sampleSize, "CheckBox_AudioLPCM_SamBit_");
    i.speaker.fill(-1);
    i.speakerRight.fill(-1);
    for (int n = 1; n <= 11; ++n) {
        const std::string name = FamilyName("CheckBox_SpeakerPosition_", n);
        i.speaker[static_cast<std::size_t>(n)] = Need(name);
        i.speakerRight[static_cast<std::size_t>(n)] = CreatorControlId(name + "r");
    }
}

static void ResolveVideo(CreatorModel::Ids& i) {
    Numbered(i.established, "CheckBox_EstablishTiming_");
    Numbered(i.standard, "CheckBox_StandardTiming_");
    for (std::size_t k = 0; k < kCreatorVics.size(); ++k) {
        i.vic[k] = Family("CheckBox_VideoIdCode_", kCreatorVics[k]);
    }
    for (std::size_t k = 0; k < kCreatorYuv420Vics.size(); ++k) {
        i.yuv420[k] = Family("CheckBox_YUV420VDB_", kCreatorYuv420Vics[k]);
    }
    Numbered(i.colorSpace, "CheckBox_ColorSpace_");
    Numbered(i.colorDepth, "CheckBox_ColorDepth_");
    Numbered(i.hdr, "CheckBox_HDR_");
    Numbered(i.eotf, "CheckBox_HDR_EOTF_");
    Numbered(i.luminance, "Edit_HDR_DCLD_");
    Numbered(i.colorimetry, "CheckBox_Colorimetry_");
}

const CreatorModel::Ids& CreatorModel::ids() {
    static const Ids ids = [] {
        Ids i{};
        ResolveSingles(i);
        ResolveAudio(i);
        ResolveVideo(i);
        return i;
    }();
    return ids;
}

} // namespace lvx
