#include "creator/BrandNewTemplate.h"
#include "edid/AnalyzerReport.h"
#include "edid/EdidValidation.h"

#include <gtest/gtest.h>

using namespace lvx;

TEST(creatorTemplate, ChecksumsAndDecodedContents) {
    const EdidImage& t = BrandNewTemplate();
    EXPECT_EQ(BlockSum(t, 0), 0);
    EXPECT_EQ(BlockSum(t, 1), 0);
    EXPECT_EQ(t[127], 0xD3);
    EXPECT_EQ(t[255], 0xC8);
    EXPECT_EQ(ValidationError(t), 0);

    EdidRecord r;
    const AnalyzerReport report = AnalyzeImage(r, t);
    EXPECT_EQ(report.text("Label_Manufac_Name"), "NEW");
    EXPECT_EQ(report.text("Label_Monitor_Name"), "BrandNewEdid");
    EXPECT_EQ(report.text("Label_Edid_Format"), "HDMI");
    EXPECT_EQ(report.text("Label_Max_Resolution"), "1080p@60Hz");
    EXPECT_EQ(report.text("Label_Audio_Formats"), "2PCM,");
    EXPECT_EQ(report.text("Label_CEC_Address"), "1000");
    EXPECT_EQ(r.week, 15);
    EXPECT_EQ(r.year, 0x19);
    EXPECT_EQ(r.establishedTimings, 0x210000u);
    EXPECT_EQ(r.standardTimings[7], 0x0101);
    EXPECT_EQ(r.basePresetIndex, 4); // 1920x1080p_148.50MHz
    EXPECT_EQ(r.rangeLimitClock, 0x11);
    EXPECT_EQ(r.extensionFlags, 0x71);
}

TEST(creatorTemplate, DateStampChangesOnlyTheDateAndChecksum) {
    const EdidImage stamped = StampBrandNewDate(2026, 50);
    EXPECT_EQ(stamped[17], 0x24);
    EXPECT_EQ(stamped[16], 50);
    EXPECT_EQ(ValidationError(stamped), 0);
    for (std::size_t i = 0; i < stamped.size(); ++i) {
        if (i != 16 && i != 17 && i != 127) {
            ASSERT_EQ(stamped[i], BrandNewTemplate()[i]) << i;
        }
    }
    EXPECT_EQ(StampBrandNewDate(2015, 15), BrandNewTemplate());
    // The year byte wraps modulo 256, below 1990 too.
    EXPECT_EQ(StampBrandNewDate(2245, 1)[17], 255);
    EXPECT_EQ(StampBrandNewDate(2246, 1)[17], 0);
    EXPECT_EQ(StampBrandNewDate(1989, 53)[17], 255);
    EXPECT_EQ(ValidationError(StampBrandNewDate(1989, 53)), 0);
}

TEST(creatorTemplate, IsoWeekNumbers) {
    EXPECT_EQ(IsoWeekNumber(2026, 12, 7), 50);
    EXPECT_EQ(IsoWeekNumber(2015, 4, 6), 15);
    // Around the turn of the year the week belongs to the neighbouring ISO year.
    EXPECT_EQ(IsoWeekNumber(2024, 12, 30), 1);
    EXPECT_EQ(IsoWeekNumber(2021, 1, 3), 53);
    EXPECT_EQ(IsoWeekNumber(2027, 1, 1), 53);
    EXPECT_EQ(IsoWeekNumber(2000, 1, 1), 52);
}
