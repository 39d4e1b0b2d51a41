#pragma once

#include "connection/SelectedDevice.h"
#include "protocol/Descriptor.h"

#include <QString>

#include <optional>

namespace lvx {

struct AnalyzerReport;

// What the windows make of the connection's facts: pictures, tab choices, captions, label
// texts and pixel heights. Plain functions of the facts, so that each rule is tested without
// a window; MainWindow applies what they return.

// The pictures of the buttons that need a listed device: colour while devices are listed,
// grey otherwise.
struct ButtonPictures {
    QString open;
    QString save;
    QString copyUp;
    QString analysis;
};
ButtonPictures DevicePictures(bool listed);

// Heights of the "Firmware" group: its buttons are in view only when a loader was found.
constexpr int kFirmwareGroupHeight = 48;
constexpr int kFirmwareGroupLoaderHeight = 155;
// The group's height after a change of the connection's state; none keeps the height it has
// (a Disconnect, or a Search that found nothing).
std::optional<int> FirmwareGroupHeight(bool listed, bool loaderFound);

// What selecting a device changes in the Commander window.
struct SelectionView {
    bool ipTab = false;
    bool edidTab = true;
    bool creatorTab = true;
    bool multiComTab = false;
    bool serialNumberGroup = false;
    bool configurationGroup = true;
    bool sysDefaultButton = true;
    bool clearFwPath = false;
    // The Mode Select group is laid out (a device in normal mode); a loader leaves it alone.
    bool modeLayout = false;
    QString activeTab; // caption of the tab to activate; empty keeps the current one
    QString fwVersionLabel;
    QString serialNumLabel; // empty keeps the label's text
    QString productString;
    // Mode Select group: shown or not, its height, the visible radio buttons per column and
    // whether the column caption (Label30) shows.
    bool modeSelectGroup = false;
    int modeGroupHeight = 65;
    int internalRadios = 0;
    int externalRadios = 0;
    int userRadios = 0;
    bool columnCaption = false;
    // A network device's node lists, refilled here (the serial device's come with its
    // description); the input chooser is left as it is.
    std::optional<EdidSelectionLists> lists;
};
SelectionView PresentSelection(const SelectedDevice& device);

// The Mode Select group laid out for a device's counts: at most 8 buttons per column, 65
// pixels plus 15 for each row past the first, plus 6.
void ApplyModeGroupLayout(SelectionView& view, int internalCount, int outputCount, int userCount);

// "Current :    VID- ...     PID- ...     Version- ..." of a device in normal mode.
QString CurrentVersionLabel(const SelectedDevice& device);

// The analyzer's audio formats row: one line, or two once the text wrapped. An invalid EDID
// leaves the row as the previous analysis set it (none).
constexpr int kAnalyzerRowHeight = 23;
constexpr int kAnalyzerWrappedRowHeight = 38;
std::optional<int> AudioRowHeight(const AnalyzerReport& report);
// The picture of "Copy to EDID Creator" after an analysis.
QString CopyButtonPicture(const AnalyzerReport& report);

} // namespace lvx
