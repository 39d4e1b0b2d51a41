#include "edid/MonitorsTool.h"

#include "connection/ConnectionController.h"
#include "edid/EdidFile.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidValidation.h"

namespace lvx {

MonitorsTool::MonitorsTool(ConnectionController& connection, EdidControllerTool& edidTool,
                           QObject* parent)
    : QObject(parent), connection_(connection), edidTool_(edidTool), root_(SysfsRoot()) {
    connect(&connection_, &ConnectionController::stateChanged, this, &MonitorsTool::stateChanged);
    connect(&connection_, &ConnectionController::busyChanged, this, &MonitorsTool::stateChanged);
    connect(&connection_, &ConnectionController::selectionChanged, this,
            &MonitorsTool::stateChanged);
    connect(&connection_, &ConnectionController::edidListsChanged, this,
            &MonitorsTool::stateChanged);
    connect(&connection_, &ConnectionController::disconnected, this, &MonitorsTool::stateChanged);
}

void MonitorsTool::rescan() {
    // Keep the chosen connector chosen when it is still there.
    const std::string chosen = current() ? current()->monitor.directory : std::string();
    monitors_ = ScanAndAnalyze(root_);
    selected_ = monitors_.empty() ? -1 : 0;
    for (std::size_t i = 0; i < monitors_.size(); ++i) {
        if (monitors_[i].monitor.directory == chosen) {
            selected_ = static_cast<int>(i);
        }
    }
    emit monitorsChanged();
    emit selectionChanged();
}

void MonitorsTool::select(int row) {
    const int next = row >= 0 && row < static_cast<int>(monitors_.size()) ? row : -1;
    if (next != selected_) {
        selected_ = next;
        emit selectionChanged();
    }
}

const ScannedMonitor* MonitorsTool::current() const {
    return selected_ >= 0 && selected_ < static_cast<int>(monitors_.size())
               ? &monitors_[static_cast<std::size_t>(selected_)]
               : nullptr;
}

bool MonitorsTool::hasEdid() const {
    return current() != nullptr && current()->monitor.ok;
}

QStringList MonitorsTool::uploadTargets() const {
    QStringList items;
    if (!connection_.connected() || connection_.devices().count == 0) {
        return items;
    }
    for (const std::string& item : UploadListItems(edidTool_.counts())) {
        items << QString::fromStdString(item);
    }
    return items;
}

bool MonitorsTool::canUpload() const {
    return hasEdid() && connection_.connected() && connection_.devices().count > 0 &&
           !connection_.busy();
}

bool MonitorsTool::canLoad() const {
    return hasEdid() && !connection_.busy();
}

bool MonitorsTool::analyze() {
    if (!canLoad() || !edidTool_.loadImage(current()->monitor.image)) {
        return false;
    }
    emit analysisRequested();
    return true;
}

bool MonitorsTool::copyToCreator() {
    lastError_.clear();
    if (!canLoad()) {
        return false;
    }
    // The creator takes only a valid EDID; say why rather than do nothing.
    if (const std::uint16_t error = ValidationError(current()->monitor.image)) {
        lastError_ = QString::fromStdString(std::string(InvalidStatusMessage(error)));
        return false;
    }
    if (!edidTool_.loadImage(current()->monitor.image)) {
        return false;
    }
    emit copyRequested();
    return true;
}

EdidControllerTool::Outcome MonitorsTool::save(Prompt& prompt) {
    lastError_.clear();
    if (!hasEdid()) {
        return EdidControllerTool::Outcome::Nothing;
    }
    const std::string chosen = prompt.saveFileName(EdidControllerTool::kFilter,
                                                   current()->monitor.name.connector + " EDID");
    if (chosen.empty()) {
        return EdidControllerTool::Outcome::Cancelled;
    }
    const QString name = QString::fromStdString(BinSaveName(chosen));
    // The EDID at its own length: 0xFF padding would read as a broken extension.
    QString error;
    if (!WriteFileAtomically(name, EdidFileBytes(current()->monitor), &error)) {
        lastError_ = QStringLiteral("cannot write %1: %2").arg(name, error);
        return EdidControllerTool::Outcome::Failed;
    }
    return EdidControllerTool::Outcome::Done;
}

EdidControllerTool::Outcome MonitorsTool::upload(int index) {
    lastError_.clear();
    const std::optional<NodeRef> node = NodeFromUploadListIndex(edidTool_.counts(), index);
    if (!canUpload() || !node) {
        return EdidControllerTool::Outcome::Nothing;
    }
    const EdidControllerTool::Outcome outcome =
        edidTool_.uploadImage(*node, current()->monitor.image);
    lastError_ = edidTool_.lastError();
    return outcome;
}

} // namespace lvx
