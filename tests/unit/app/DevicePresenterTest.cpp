// What the windows make of the connection's facts: the Mode Select group's layout, the tabs
// and captions of a selection, the firmware group's height, the button pictures.
#include "app/DevicePresenter.h"
#include "edid/AnalyzerReport.h"

#include <gtest/gtest.h>

using namespace lvx;

namespace {

SelectedDevice Device(LinkKind link) {
    SelectedDevice d;
    d.row = 1;
    d.link = link;
    d.inputs = 4;
    d.outputs = 1;
    d.userSlots = 8;
    d.internalEdids = 6;
    d.vid = "1A2B";
    d.pid = "2037";
    d.version = "1.0";
    d.productString = "Rack 3";
    d.serialNumber = "SN-0042";
    return d;
}

SelectionView Layout(int internal, int outputs, int users) {
    SelectionView view;
    ApplyModeGroupLayout(view, internal, outputs, users);
    return view;
}

} // namespace

TEST(ModeGroupLayout, HeightGrowsFifteenPixelsPerRowPastTheFirst) {
    // 65 pixels for one row, 15 for each further one, 6 below.
    EXPECT_EQ(Layout(0, 0, 0).modeGroupHeight, 65 + 6);
    EXPECT_EQ(Layout(1, 1, 1).modeGroupHeight, 65 + 6);
    EXPECT_EQ(Layout(2, 1, 1).modeGroupHeight, 65 + 15 + 6);
    EXPECT_EQ(Layout(1, 1, 6).modeGroupHeight, 65 + 5 * 15 + 6); // the user column is longer
    EXPECT_EQ(Layout(8, 1, 4).modeGroupHeight, 65 + 7 * 15 + 6);
    // The outputs column never sets the height.
    EXPECT_EQ(Layout(1, 8, 1).modeGroupHeight, 65 + 6);
}

TEST(ModeGroupLayout, ColumnCaptionShowsFromTwoRowsAndColumnsStopAtEight) {
    EXPECT_FALSE(Layout(1, 3, 1).columnCaption);
    EXPECT_TRUE(Layout(2, 1, 0).columnCaption);
    EXPECT_TRUE(Layout(0, 1, 2).columnCaption);
    const SelectionView view = Layout(9, 8, 255);
    EXPECT_TRUE(view.modeSelectGroup);
    EXPECT_EQ(view.internalRadios, 8);
    EXPECT_EQ(view.externalRadios, 8);
    EXPECT_EQ(view.userRadios, 8);
    const SelectionView small = Layout(7, 0, 3);
    EXPECT_EQ(small.internalRadios, 7);
    EXPECT_EQ(small.externalRadios, 0);
    EXPECT_EQ(small.userRadios, 3);
}

TEST(PresentSelection, ComPortDeviceOpensTheEdidControllerWithItsModeGroup) {
    SelectedDevice d = Device(LinkKind::Serial);
    SelectionView view = PresentSelection(d);
    EXPECT_TRUE(view.edidTab);
    EXPECT_TRUE(view.creatorTab);
    EXPECT_FALSE(view.ipTab);
    EXPECT_FALSE(view.multiComTab);
    EXPECT_FALSE(view.serialNumberGroup);
    EXPECT_TRUE(view.configurationGroup);
    EXPECT_TRUE(view.sysDefaultButton);
    EXPECT_TRUE(view.clearFwPath);
    EXPECT_EQ(view.activeTab, "EDID Controller");
    EXPECT_EQ(view.fwVersionLabel, "Current :    VID- 1A2B     PID- 2037     Version- 1.0");
    EXPECT_TRUE(view.serialNumLabel.isEmpty()); // the label keeps its text
    EXPECT_EQ(view.productString, "Rack 3");
    EXPECT_TRUE(view.modeLayout);
    EXPECT_EQ(view.modeGroupHeight, 65 + 7 * 15 + 6); // 8 user slots
    EXPECT_FALSE(view.lists.has_value());             // the description refilled them already

    d.channels = 2;
    EXPECT_TRUE(PresentSelection(d).multiComTab);
}

TEST(PresentSelection, LoaderShowsOnlyTheFirmwareSide) {
    SelectedDevice d = Device(LinkKind::Serial);
    d.loader = true;
    d.loaderKind = 2;
    const SelectionView view = PresentSelection(d);
    EXPECT_FALSE(view.edidTab);
    EXPECT_FALSE(view.creatorTab);
    EXPECT_FALSE(view.configurationGroup);
    EXPECT_FALSE(view.sysDefaultButton);
    EXPECT_EQ(view.fwVersionLabel, "Target :");
    EXPECT_TRUE(view.activeTab.isEmpty());
    EXPECT_FALSE(view.modeLayout); // the Mode Select group is left as it was
}

TEST(PresentSelection, NetworkDeviceOpensIpConfigureWithItsListsAndSerialNumber) {
    const SelectionView view = PresentSelection(Device(LinkKind::Network));
    EXPECT_TRUE(view.ipTab);
    EXPECT_FALSE(view.multiComTab);
    EXPECT_FALSE(view.sysDefaultButton);
    EXPECT_TRUE(view.serialNumberGroup);
    EXPECT_EQ(view.activeTab, "IP Configure");
    EXPECT_EQ(view.serialNumLabel, "SN :    SN-0042");
    EXPECT_EQ(view.fwVersionLabel, "Current :    VID- 1A2B     PID- 2037     Version- 1.0");
    EXPECT_TRUE(view.modeLayout);
    EXPECT_FALSE(view.modeSelectGroup); // laid out hidden
    ASSERT_TRUE(view.lists.has_value());
    // 4 inputs, 1 output, 8 user slots, 6 internal EDIDs and a separator between each kind.
    EXPECT_EQ(view.lists->all.size(), 4u + 1 + 1 + 1 + 8 + 1 + 6);
    EXPECT_EQ(view.lists->input.size(), 4u);
}

TEST(DevicePresenter, FirmwareGroupAndPicturesFollowTheSearch) {
    EXPECT_EQ(FirmwareGroupHeight(false, false), std::nullopt); // nothing changes it
    EXPECT_EQ(FirmwareGroupHeight(true, false), 48);
    EXPECT_EQ(FirmwareGroupHeight(true, true), 155);
    EXPECT_EQ(FirmwareGroupHeight(false, true), 155);

    const ButtonPictures grey = DevicePictures(false);
    EXPECT_EQ(grey.open, "OpenGray");
    EXPECT_EQ(grey.save, "SaveGray");
    EXPECT_EQ(grey.copyUp, "CopyUpGray");
    EXPECT_EQ(grey.analysis, "AnalysisGray");
    const ButtonPictures colour = DevicePictures(true);
    EXPECT_EQ(colour.open, "OpenColor");
    EXPECT_EQ(colour.save, "SaveColor");
    EXPECT_EQ(colour.copyUp, "CopyUpColor");
    EXPECT_EQ(colour.analysis, "AnalysisColor");
}

TEST(DevicePresenter, AnalyzerRowAndCopyPictureFollowTheReport) {
    AnalyzerReport report;
    EXPECT_EQ(AudioRowHeight(report), std::nullopt); // an invalid EDID keeps the row
    EXPECT_EQ(CopyButtonPicture(report), "ModifyGray");
    report.valid = true;
    EXPECT_EQ(AudioRowHeight(report), 23);
    EXPECT_EQ(CopyButtonPicture(report), "ModifyColor");
    report.audioWrapped = true;
    EXPECT_EQ(AudioRowHeight(report), 38);
}
