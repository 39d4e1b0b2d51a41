#pragma once

#include "common/Prompt.h"
#include "edid/EdidControllerTool.h"
#include "edid/MonitorScan.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

namespace lvx {

class ConnectionController;

// "Monitors of This PC" without its widgets: the connectors of this PC that report an EDID,
// the chosen one, and what can be done with its EDID: analyse it, hand it to the creator,
// save it as a .bin file, upload it to an input or a user slot of the selected device.
class MonitorsTool : public QObject {
    Q_OBJECT
public:
    MonitorsTool(ConnectionController& connection, EdidControllerTool& edidTool,
                 QObject* parent = nullptr);

    // The sysfs tree scanned; SysfsRoot() unless set.
    QString sysfsRoot() const { return root_; }
    void setSysfsRoot(const QString& root) { root_ = root; }

    void rescan();
    const std::vector<ScannedMonitor>& monitors() const { return monitors_; }
    int selected() const { return selected_; }
    void select(int row);
    // The chosen monitor, or null when none is chosen.
    const ScannedMonitor* current() const;
    // The chosen monitor has a whole EDID.
    bool hasEdid() const;

    // The upload target list of the selected device ("Input %d", a separator, "User %d");
    // empty without a device.
    QStringList uploadTargets() const;
    // Uploading needs a chosen EDID, a connected device and no other flow running.
    bool canUpload() const;
    // Analyse and copy to the creator need no device, only no flow filling the device image.
    bool canLoad() const;

    // The EDID into the device EDID record; then analysisRequested() or copyRequested() asks
    // the window that owns the analyzer or the creator to show it. An invalid EDID is not
    // copied (lastError() says why).
    bool analyze();
    bool copyToCreator();
    // Save as .bin: asks for the file (proposing "<connector> EDID"), adds ".bin" as the save
    // of a node does and writes the file whole or not at all.
    EdidControllerTool::Outcome save(Prompt& prompt);
    // Upload to the target list's item `index` (an input or a user slot).
    EdidControllerTool::Outcome upload(int index);

    QString lastError() const { return lastError_; }

signals:
    void monitorsChanged();
    void selectionChanged();
    // The connection, its busy state or its node lists changed: what can be done changed.
    void stateChanged();
    void analysisRequested();
    void copyRequested();

private:
    ConnectionController& connection_;
    EdidControllerTool& edidTool_;
    QString root_;
    std::vector<ScannedMonitor> monitors_;
    int selected_ = -1;
    QString lastError_;
};

} // namespace lvx
