#include "app/DevicePresenter.h"

#include "edid/AnalyzerReport.h"

#include <algorithm>

namespace lvx {

namespace {

constexpr int kModeButtonsShown = 8;

int AtMost8(int n) {
    return std::clamp(n, 0, kModeButtonsShown);
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

SelectionView SerialSelection(const SelectedDevice& device) {
    SelectionView view;
    view.clearFwPath = true;
    view.multiComTab = device.channels > 0;
    if (device.loader) {
        view.edidTab = false;
        view.creatorTab = false;
        view.configurationGroup = false;
        view.sysDefaultButton = false;
        view.fwVersionLabel = QStringLiteral("Target :");
        return view;
    }
    view.fwVersionLabel = CurrentVersionLabel(device);
    view.activeTab = QStringLiteral("EDID Controller");
    view.modeLayout = true;
    ApplyModeGroupLayout(view, device.internalEdids, device.outputs, device.userSlots);
    return view;
}

SelectionView NetworkSelection(const SelectedDevice& device) {
    SelectionView view;
    view.ipTab = true;
    view.sysDefaultButton = false;
    view.serialNumberGroup = true;
    view.activeTab = QStringLiteral("IP Configure");
    view.fwVersionLabel = CurrentVersionLabel(device);
    view.serialNumLabel = QStringLiteral("SN :    ") + Text(device.serialNumber);
    view.modeLayout = true; // hides the group
    view.lists = BuildEdidSelectionLists(device.inputs, device.outputs, device.userSlots,
                                         device.internalEdids);
    return view;
}

} // namespace

ButtonPictures DevicePictures(bool listed) {
    if (listed) {
        return {QStringLiteral("OpenColor"), QStringLiteral("SaveColor"),
                QStringLiteral("CopyUpColor"), QStringLiteral("AnalysisColor")};
    }
    return {QStringLiteral("OpenGray"), QStringLiteral("SaveGray"), QStringLiteral("CopyUpGray"),
            QStringLiteral("AnalysisGray")};
}

std::optional<int> FirmwareGroupHeight(bool listed, bool loaderFound) {
    if (loaderFound) {
        return kFirmwareGroupLoaderHeight;
    }
    if (listed) {
        return kFirmwareGroupHeight;
    }
    return std::nullopt;
}

QString CurrentVersionLabel(const SelectedDevice& device) {
    return QStringLiteral("Current :    VID- ") + Text(device.vid) + QStringLiteral("     PID- ") +
           Text(device.pid) + QStringLiteral("     Version- ") + Text(device.version);
}

void ApplyModeGroupLayout(SelectionView& view, int internalCount, int outputCount, int userCount) {
    view.modeSelectGroup = true;
    view.internalRadios = AtMost8(internalCount);
    view.externalRadios = AtMost8(outputCount);
    view.userRadios = AtMost8(userCount);
    const int rows = std::max(internalCount, userCount);
    view.modeGroupHeight = 65 + (rows > 1 ? 15 * (rows - 1) : 0) + 6;
    view.columnCaption = rows > 1;
}

SelectionView PresentSelection(const SelectedDevice& device) {
    SelectionView view = device.serial() ? SerialSelection(device) : NetworkSelection(device);
    view.productString = Text(device.productString);
    return view;
}

std::optional<int> AudioRowHeight(const AnalyzerReport& report) {
    if (!report.valid) {
        return std::nullopt;
    }
    return report.audioWrapped ? kAnalyzerWrappedRowHeight : kAnalyzerRowHeight;
}

QString CopyButtonPicture(const AnalyzerReport& report) {
    return report.valid ? QStringLiteral("ModifyColor") : QStringLiteral("ModifyGray");
}

} // namespace lvx
