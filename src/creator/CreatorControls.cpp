#include "creator/CreatorControls.h"

#include "edid/EdidRecord.h"

#include <algorithm>
#include <unordered_map>

namespace lvx {

namespace {

constexpr std::array<AudioFormatDef, kAudioFormatCount> kAudioFormats{{
    {"LPCM", 1, 1, "L-PCM", false, kAudio2Pcm, 0x09, {0x09, 0x00, 0x00}, 0},
    {"AC3", 3, 2, "     Dolby Digital", true, kAudioDolbyD, 0x10, {0x15, 0x07, 80}, 0},
    {"EAC3", 4, 10, "     Dolby Digital+", false, kAudioDolbyDPlus, 0x50, {0x57, 0x06, 0}, 0},
    {"MAT", 5, 12, "     Dolby TrueHD", false, kAudioDolbyHd, 0x60, {0x67, 0x7E, 0}, 0},
    {"DTS", 6, 7, "     DTS", true, kAudioDts, 0x38, {0x3E, 0x1E, 192}, 0},
    {"DTSHD", 7, 11, "     DTS HD", false, kAudioDtsHd, 0x58, {0x5F, 0x7E, 1}, 1},
    {"AAC", 8, 6, "     AAC LC", true, kAudioAac, 0x30, {0x35, 0x06, 60}, 0},
    {"OBA", 9, 9, "     One Bit Audio", false, kAudioOneBit, 0x48, {0x4D, 0x02, 0}, 0},
}};

constexpr std::array<SpeakerDef, 11> kSpeakers{{
    {"FLW", "FRW", 23},
    {"RLC", "RRC", 22},
    {"FLC", "FRC", 21},
    {"RC", "", 20},
    {"RL", "RR", 19},
    {"FC", "", 18},
    {"LFE", "", 17},
    {"FL", "FR", 16},
    {"FCH", "", 10},
    {"TC", "", 9},
    {"FLH", "FRH", 8},
}};

constexpr std::array<EstablishedDef, 17> kEstablished{{
    {"720 x 400", "70Hz"},
    {"720 x 400", "88Hz"},
    {"640 x 480", "60Hz"},
    {"640 x 480", "67Hz"},
    {"640 x 480", "72Hz"},
    {"640 x 480", "75Hz"},
    {"800 x 600", "56Hz"},
    {"800 x 600", "60Hz"},
    {"800 x 600", "72Hz"},
    {"800 x 600", "75Hz"},
    {"832 x 624", "75Hz"},
    {"1024 x 768 interlaced", "87Hz"},
    {"1024 x 768", "60Hz"},
    {"1024 x 768", "70Hz"},
    {"1024 x 768", "75Hz"},
    {"1280 x 1024", "75Hz"},
    {"1152 x 870", "75Hz"},
}};

constexpr std::array<StandardDef, 5> kStandard{{
    {0x8180, "1280 x 1024", "60Hz"},
    {0x818A, "1280 x 1024", "70Hz"},
    {0xA940, "1600 x 1200", "60Hz"},
    {0xA94A, "1600 x 1200", "70Hz"},
    {0xA94F, "1600 x 1200", "75Hz"},
}};

constexpr std::array<std::string_view, 3> kColorSpace = {"4:4:4", "4:2:2", "4:2:0"};
constexpr std::array<std::string_view, 3> kDepth = {"16Bit", "12Bit", "10Bit"};
constexpr std::array<std::string_view, 8> kColorimetry = {
    "RGB", "YCC", "cYCC", "AdobeRGB", "AdobeYCC601", "sYCC601", "xvYCC709", "xvYCC601"};
constexpr std::array<std::string_view, 3> kEotf = {"SMPTE ST 2084", "HDR Luminance Range",
                                                   "SDR Luminance Range"};

constexpr int kFoldedHeight = 23;
constexpr int kAudioPanelHeight = 110;
constexpr int kHdrPanelHeight = 156;

class Builder {
public:
    std::vector<ControlDef> defs;

    int add(ControlDef def) {
        defs.push_back(std::move(def));
        return static_cast<int>(defs.size()) - 1;
    }
    int check(std::string name, std::string_view caption, ControlRole role = ControlRole::None,
              int arg = 0) {
        return add({std::move(name), ControlKind::CheckBox, std::string(caption), {}, role, arg});
    }
    int edit(std::string name, std::string_view text, ControlRole role, int arg = 0,
             bool upperCase = false) {
        ControlDef def{std::move(name), ControlKind::Edit, {}, std::string(text), role, arg};
        def.upperCase = upperCase;
        return add(std::move(def));
    }
    int panel(std::string name, std::string_view caption, int openHeight) {
        ControlDef def{std::move(name), ControlKind::Panel, std::string(caption), {}};
        def.foldedHeight = kFoldedHeight;
        def.openHeight = openHeight;
        return add(std::move(def));
    }
};

// Descriptor and PC Timing.
void AddDescriptorAndPcTiming(Builder& b) {
    b.edit(std::string(names::kManufacturer), "", ControlRole::ManufacturerName, 0, true);
    b.edit(std::string(names::kMonitor), "", ControlRole::MonitorName);
    b.edit(std::string(names::kProduct), "", ControlRole::ProductCode);
    b.edit(std::string(names::kSerial), "", ControlRole::SerialNumber);
    b.edit(std::string(names::kYear), "", ControlRole::Year);
    b.edit(std::string(names::kWeek), "", ControlRole::Week);

    // PC Timing
    for (int n = 1; n <= 17; ++n) {
        b.check(FamilyName("CheckBox_EstablishTiming_", n), kEstablished[n - 1].caption,
                ControlRole::Established, n);
    }
    for (int n = 1; n <= 5; ++n) {
        b.check(FamilyName("CheckBox_StandardTiming_", n), kStandard[n - 1].caption,
                ControlRole::Standard, n);
    }
    b.add({std::string(names::kBlock0Preset),
           ControlKind::ComboBox,
           {},
           {},
           ControlRole::Block0Preset});
}

// SD/HD/UHD.
void AddVideo(Builder& b) {
    for (std::uint8_t vic : kCreatorVics) {
        b.check(FamilyName("CheckBox_VideoIdCode_", vic), VicCaption(vic), ControlRole::VicBox,
                vic);
    }
    for (std::uint8_t vic : kCreatorYuv420Vics) {
        b.check(FamilyName("CheckBox_YUV420VDB_", vic), VicCaption(vic), ControlRole::Yuv420Box,
                vic);
    }
    b.add({std::string(names::kBlock1Preset),
           ControlKind::ComboBox,
           {},
           {},
           ControlRole::Block1Preset});
}

// Audio1: L-PCM and the speakers; the hidden format box 2 has no role.
void AddAudio1(Builder& b) {
    b.check("CheckBox_AudioFormat_1", "Basic", ControlRole::AudioFormat, 1);
    b.edit("Edit_AudioLPCM_MaxCh", "0", ControlRole::MaxChannels, 0);
    for (int n = 1; n <= 7; ++n) {
        b.check(FamilyName("CheckBox_AudioLPCM_Freq_", n), kFrequencyCaptions[n - 1]);
    }
    for (int n = 1; n <= 3; ++n) {
        b.check(FamilyName("CheckBox_AudioLPCM_SamBit_", n), kSampleSizeCaptions[n - 1]);
    }
    for (int n = 1; n <= 11; ++n) {
        const SpeakerDef& s = kSpeakers[n - 1];
        b.check(FamilyName("CheckBox_SpeakerPosition_", n), s.caption, ControlRole::Speaker, n);
        if (!s.pairCaption.empty()) {
            b.check(FamilyName("CheckBox_SpeakerPosition_", n) + "r", s.pairCaption,
                    ControlRole::SpeakerRight, n);
        }
    }
    {
        ControlDef hidden{"CheckBox_AudioFormat_2", ControlKind::CheckBox, {}, {}};
        hidden.hidden = true;
        b.add(std::move(hidden));
    }
}

// Audio2: one folding panel per format.
void AddAudio2(Builder& b) {
    for (std::size_t f = 1; f < kAudioFormatCount; ++f) {
        const AudioFormatDef& a = kAudioFormats[f];
        const std::string key(a.key);
        const int panel = b.panel("Panel_Audio_" + key, a.panelCaption, kAudioPanelHeight);
        b.check(FamilyName("CheckBox_AudioFormat_", a.box), "Yes", ControlRole::AudioFormat, a.box);
        const int detail = b.check("CheckBox_AudDetial_" + key, "For Detail",
                                   ControlRole::AudioDetail, static_cast<int>(f));
        b.defs[static_cast<std::size_t>(detail)].panel = panel;
        b.edit("Edit_Audio" + key + "_MaxCh", "0", ControlRole::MaxChannels, static_cast<int>(f));
        if (a.bitRate) {
            b.edit("Edit_Audio" + key + "_BitRate", "     0", ControlRole::None);
        }
        for (int n = 1; n <= 7; ++n) {
            b.check(FamilyName("CheckBox_Audio" + key + "_Freq_", n), kFrequencyCaptions[n - 1]);
        }
    }
}

// Color Space, Others and the Select group.
void AddColourAndOthers(Builder& b) {
    for (int n = 1; n <= 3; ++n) {
        b.check(FamilyName("CheckBox_ColorSpace_", n), kColorSpace[n - 1]);
    }
    for (int n = 1; n <= 3; ++n) {
        b.check(FamilyName("CheckBox_ColorDepth_", n), kDepth[n - 1]);
    }
    for (int n = 1; n <= 8; ++n) {
        b.check(FamilyName("CheckBox_Colorimetry_", n), kColorimetry[n - 1]);
    }
    for (int n = 1; n <= 3; ++n) {
        b.check(FamilyName("CheckBox_HDR_", n), kDepth[n - 1], ControlRole::HdrDepth, n);
    }
    const int hdrPanel = b.panel(std::string(names::kHdrPanel), "     HDR", kHdrPanelHeight);
    const int hdrDetail =
        b.check(std::string(names::kHdrDetail), "For Detail", ControlRole::HdrDetail);
    b.defs[static_cast<std::size_t>(hdrDetail)].panel = hdrPanel;
    for (int n = 1; n <= 3; ++n) {
        b.check(FamilyName("CheckBox_HDR_EOTF_", n), kEotf[n - 1]);
    }
    b.check(std::string(names::kHdrDescriptor), "Type 1");
    for (int n = 1; n <= 3; ++n) {
        b.edit(FamilyName("Edit_HDR_DCLD_", n), "    0", ControlRole::Luminance, n);
    }

    // Others
    b.check(std::string(names::kPresent3d), "3D Present");
    b.edit(std::string(names::kCec), "0000", ControlRole::CecAddress, 0, true);
    b.add({std::string(names::kDvi), ControlKind::RadioButton, "DVI", {}});
    b.add({std::string(names::kHdmi), ControlKind::RadioButton, "HDMI", {}});

    // Select group
    b.add({std::string(names::kStatusLabel), ControlKind::Label, {}, {}});
    b.add({std::string(names::kWarningLabel), ControlKind::Label, {}, {}});
    b.add({std::string(names::kWriteButton), ControlKind::Button, "Write EDID to Device", {}});
}

std::vector<ControlDef> BuildCatalogue() {
    Builder b;
    AddDescriptorAndPcTiming(b);
    AddVideo(b);
    AddAudio1(b);
    AddAudio2(b);
    AddColourAndOthers(b);
    return std::move(b.defs);
}

const std::vector<ControlDef>& Catalogue() {
    static const std::vector<ControlDef> catalogue = BuildCatalogue();
    return catalogue;
}

const std::unordered_map<std::string_view, int>& NameIndex() {
    static const std::unordered_map<std::string_view, int> index = [] {
        std::unordered_map<std::string_view, int> map;
        const std::vector<ControlDef>& defs = Catalogue();
        for (std::size_t i = 0; i < defs.size(); ++i) {
            map.emplace(defs[i].name, static_cast<int>(i));
        }
        return map;
    }();
    return index;
}

} // namespace

const std::vector<ControlDef>& CreatorControls() {
    return Catalogue();
}

int CreatorControlId(std::string_view name) {
    const auto& index = NameIndex();
    const auto it = index.find(name);
    return it == index.end() ? -1 : it->second;
}

std::string FamilyName(std::string_view prefix, int number) {
    std::string name(prefix);
    name += std::to_string(number);
    return name;
}

std::string_view VicCaption(std::uint8_t vic) {
    switch (vic) {
    case 60:
    case 32:
    case 93:
        return "24Hz";
    case 61:
    case 33:
    case 94:
        return "25Hz";
    case 62:
    case 34:
    case 95:
        return "30Hz";
    case 21:
    case 18:
    case 19:
    case 20:
    case 31:
    case 96:
        return "50Hz";
    default:
        return "60Hz"; // 6, 3, 4, 5, 16, 97
    }
}

const std::array<AudioFormatDef, kAudioFormatCount>& AudioFormats() {
    return kAudioFormats;
}

int AudioFormatOfCode(unsigned code) {
    for (std::size_t f = 0; f < kAudioFormats.size(); ++f) {
        if (kAudioFormats[f].code == code) {
            return static_cast<int>(f);
        }
    }
    return -1;
}

const std::array<SpeakerDef, 11>& Speakers() {
    return kSpeakers;
}

const std::array<EstablishedDef, 17>& EstablishedTimings() {
    return kEstablished;
}

const std::array<StandardDef, 5>& StandardTimings() {
    return kStandard;
}

} // namespace lvx
