#include "edid/AnalyzerReport.h"

#include "edid/EdidDecoder.h"
#include "edid/EdidValidation.h"

#include <cstdio>

namespace lvx {

namespace {

constexpr std::array<AnalyzerRow, kAnalyzerRowCount> kRows{{
    {"    EDID Header :", "Label_Edid_Header"},
    {"    EDID Checksum :", "Label_Edid_Checksum"},
    {"    Content Format :", "Label_Edid_Format"},
    {"    Manufacturer Name :", "Label_Manufac_Name"},
    {"    Monitor Name :", "Label_Monitor_Name"},
    {"    Max Resolution :", "Label_Max_Resolution"},
    {"    Max Color Depth :", "Label_Max_ColorDepth"},
    {"    Support 3D :", "Label_Support_3D"},
    {"    Support YUV420 :", "Label_Support_YUV420"},
    {"    Support SCDC :", "Label_Support_SCDC"},
    {"    Support 600MHz :", "Label_Support_600MHz"},
    {"    Support HDR :", "Label_Support_HDR"},
    {"    Audio Formats :", "Label_Audio_Formats"},
    {"    Audio Max Channel :", "Label_Audio_Channel"},
    {"    CEC Address :", "Label_CEC_Address"},
}};

struct AudioName {
    std::uint16_t flag;
    std::string_view text;
};

constexpr std::array<AudioName, 9> kAudioNames{{
    {kAudio2Pcm, "2PCM,"},
    {kAudioMultiPcm, "MPCM,"},
    {kAudioDolbyD, "DolbyD,"},
    {kAudioDolbyDPlus, "DolbyD+,"},
    {kAudioDolbyHd, "DolbyHD,"},
    {kAudioDts, "DTS,"},
    {kAudioDtsHd, "DTSHD,"},
    {kAudioAac, "AAC,"},
    {kAudioOneBit, "OBA,"},
}};

const char* YesNo(bool yes) {
    return yes ? "Yes" : "No";
}

std::string HdrText(std::uint8_t eotf) {
    if (eotf == 0) {
        return "No";
    }
    std::string text;
    if (eotf & 0x01) {
        text += "SDR,";
    }
    if (eotf & 0x02) {
        text += "HDR,";
    }
    if (eotf & 0x04) {
        text += "ST2084";
    }
    return text;
}

std::string CecText(const std::array<std::uint8_t, 2>& cec) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02X%02X", cec[0], cec[1]);
    return buffer;
}

} // namespace

const std::array<AnalyzerRow, kAnalyzerRowCount>& AnalyzerRows() {
    return kRows;
}

std::string AnalyzerReport::text(std::string_view label) const {
    const auto it = labels.find(label);
    return it == labels.end() ? std::string() : it->second;
}

AudioFormatsText FormatAudioFlags(std::uint16_t audioFlags) {
    AudioFormatsText out;
    for (const AudioName& name : kAudioNames) {
        if ((audioFlags & name.flag) == 0) {
            continue;
        }
        if (!out.wrapped && out.text.size() > 30) {
            out.text += "\r\n";
            out.wrapped = true;
        }
        out.text += name.text;
        out.flat += name.text;
    }
    return out;
}

AnalyzerReport BuildAnalyzerReport(const EdidRecord& r) {
    AnalyzerReport report;
    report.valid = isValid(r);
    if (!report.valid) {
        for (const AnalyzerRow& row : kRows) {
            report.labels.emplace(std::string(row.label), "-");
        }
        report.labels["Label_Edid_Header"] = "Illegal";
        report.audioFormats = "-";
        report.audioFormatsFlat = "-";
        return report;
    }

    const std::string monitorName = FieldText(r.monitorName);
    const AudioFormatsText audio = FormatAudioFlags(r.audioFlags);
    auto& l = report.labels;
    l["Label_Edid_Header"] = "Good";
    l["Label_Edid_Checksum"] = "Good";
    l["Label_Edid_Format"] =
        (r.format & (kFormatNoExtension | kFormatExtensionWithoutHdmi)) ? "DVI" : "HDMI";
    l["Label_Manufac_Name"] = FieldText(r.manufacturer);
    l["Label_Monitor_Name"] = monitorName.empty() ? "-" : monitorName;
    l["Label_Max_Resolution"] = FieldText(r.maxResolutionName);
    l["Label_Max_ColorDepth"] = std::to_string(r.maxColorDepth) + "bit";
    l["Label_Support_3D"] = YesNo(r.format & kFormat3dPresent);
    l["Label_Support_YUV420"] = YesNo(r.yuv420 != 0);
    l["Label_Support_SCDC"] = YesNo(r.scdc != 0);
    l["Label_Support_600MHz"] = YesNo(r.support600MHz != 0);
    l["Label_Support_HDR"] = HdrText(r.hdrMetadata[0]);
    l["Label_Audio_Formats"] = audio.text;
    l["Label_Audio_Channel"] = std::to_string(r.maxAudioChannels) + "CH";
    l["Label_CEC_Address"] = CecText(r.cecAddress);
    report.audioFormats = audio.text;
    report.audioFormatsFlat = audio.flat;
    report.audioWrapped = audio.wrapped;
    return report;
}

AnalyzerReport AnalyzeImage(EdidRecord& record, const EdidImage& image) {
    Decode(record, image);
    return BuildAnalyzerReport(record);
}

} // namespace lvx
