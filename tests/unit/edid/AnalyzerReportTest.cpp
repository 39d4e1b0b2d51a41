#include "EdidTestImages.h"

#include "edid/AnalyzerReport.h"

#include <gtest/gtest.h>

using namespace lvx;
using namespace lvx::test;

namespace {

AnalyzerReport Analyze(const EdidImage& image) {
    EdidRecord record;
    return AnalyzeImage(record, image);
}

std::vector<std::string> Texts(const AnalyzerReport& report) {
    std::vector<std::string> texts;
    for (const AnalyzerRow& row : AnalyzerRows()) {
        texts.push_back(report.text(row.label));
    }
    return texts;
}

} // namespace

TEST(edidAnalyzer, BaseBlockOnlyAndInvalidImage) {
    AnalyzerReport report = Analyze(Image(0));
    EXPECT_EQ(Texts(report),
              (std::vector<std::string>{"Good", "Good", "DVI", "AAA", "UNDEFINE.", "UNDEFINE.",
                                        "8bit", "No", "No", "No", "No", "No", "", "0CH", "0000"}));
    EXPECT_EQ(report.labels.size(), kAnalyzerRowCount);
    EXPECT_TRUE(report.valid);
    EXPECT_FALSE(report.audioWrapped);

    EdidImage image = Image(1);
    image[255] ^= 0x01;
    report = Analyze(image);
    std::vector<std::string> dashes(kAnalyzerRowCount, "-");
    dashes[0] = "Illegal";
    EXPECT_EQ(Texts(report), dashes);
    EXPECT_EQ(report.labels.size(), kAnalyzerRowCount);
    EXPECT_FALSE(report.valid);
    EXPECT_FALSE(report.audioWrapped);
}

TEST(edidAnalyzer, HdmiExtension) {
    const AnalyzerReport report =
        Analyze(Cta({{0x42, 0x90, 0x04},
                     {0x26, 0x09, 0x07, 0x07, 0x15, 0x07, 0x50},
                     Hdmi({0xAB, 0xCD, 0x30, 0x3C, 0x20, 0x80, 0x00, 0x00}),
                     {0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x07},
                     {0xE3, 0x06, 0x05, 0x01},
                     {0xE1, 0x0F}}));
    EXPECT_EQ(Texts(report),
              (std::vector<std::string>{"Good", "Good", "HDMI", "AAA", "UNDEFINE.", "1080p@60Hz",
                                        "12bit", "Yes", "Yes", "Yes", "Yes", "SDR,ST2084",
                                        "2PCM,DolbyD,", "6CH", "ABCD"}));
}

TEST(edidAnalyzer, HdrAndMonitorNameTexts) {
    auto hdr = [](std::uint8_t eotf) {
        return Analyze(Cta({{0xE3, 0x06, eotf, 0x01}})).text("Label_Support_HDR");
    };
    EXPECT_EQ(hdr(0x00), "No");
    EXPECT_EQ(hdr(0x07), "SDR,HDR,ST2084");
    EXPECT_EQ(hdr(0x04), "ST2084");
    EXPECT_EQ(hdr(0x02), "HDR,");
    EXPECT_EQ(hdr(0x08), "");

    auto name = [](const Bytes& text) {
        return Analyze(Image(0, {{108, {0, 0, 0, 0xFC, 0}}, {113, text}}))
            .text("Label_Monitor_Name");
    };
    EXPECT_EQ(name({0x0A, 'X'}), "-");
    EXPECT_EQ(name({0x00, 'V', 0x0A}), "-"); // a NUL ends the shown text
    EXPECT_EQ(name({'T', 'V', 0x0A}), "TV");
}

TEST(edidAnalyzer, AudioTextWrapsOnceBeforeAnAppendPastThirtyCharacters) {
    AudioFormatsText audio = FormatAudioFlags(0x007F);
    EXPECT_EQ(audio.text, "2PCM,MPCM,DolbyD,DolbyD+,DolbyHD,\r\nDTS,DTSHD,");
    EXPECT_EQ(audio.flat, "2PCM,MPCM,DolbyD,DolbyD+,DolbyHD,DTS,DTSHD,");
    EXPECT_TRUE(audio.wrapped);
    EXPECT_EQ(FormatAudioFlags(0x01FF).text,
              "2PCM,MPCM,DolbyD,DolbyD+,DolbyHD,\r\nDTS,DTSHD,AAC,OBA,");
    // Exactly 30 characters take the next append on the same line.
    audio = FormatAudioFlags(kAudioMultiPcm | kAudioDolbyD | kAudioDolbyDPlus | kAudioDtsHd |
                             kAudioAac | kAudioOneBit);
    EXPECT_EQ(audio.text, "MPCM,DolbyD,DolbyD+,DTSHD,AAC,OBA,");
    EXPECT_FALSE(audio.wrapped);

    const AnalyzerReport report = Analyze(Cta({{0x35, 0x09, 0, 0, 0x0F, 0, 0, 0x15, 0, 0, 0x52, 0,
                                                0,    0x66, 0, 0, 0x3E, 0, 0, 0x5F, 0, 0}}));
    EXPECT_EQ(report.text("Label_Audio_Formats"),
              "2PCM,MPCM,DolbyD,DolbyD+,DolbyHD,\r\nDTS,DTSHD,");
    EXPECT_EQ(report.audioFormatsFlat, "2PCM,MPCM,DolbyD,DolbyD+,DolbyHD,DTS,DTSHD,");
    EXPECT_TRUE(report.audioWrapped);
    EXPECT_EQ(report.text("Label_Audio_Channel"), "8CH");
}
