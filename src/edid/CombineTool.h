#pragma once

#include "edid/EdidCombine.h"
#include "edid/NodeList.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <bitset>
#include <optional>
#include <vector>

namespace lvx {

class ConnectionController;
class EdidControllerTool;
class EdidTransfer;

// Reads a node of the selected device as a flow of its own (the link held, the polls paused,
// the transfer bracket over a COM port): its base block and the extension it announces.
// None, with the reason, when no device is ready or the read does not complete.
std::optional<std::vector<std::uint8_t>> ReadDeviceNode(ConnectionController& connection,
                                                        EdidTransfer& transfer, NodeRef node,
                                                        QString* error);

// "Combine EDIDs" without its window: the displays (files, this PC's monitors, the selected
// device's outputs), which of them take no audio, whose identity is kept, the intents and
// the block count; the combination, made again on every change; where the result goes (a
// file, the creator, a node of the device) through the EDID tool's flows.
class CombineTool : public QObject {
    Q_OBJECT
public:
    struct Source {
        QString name;
        std::vector<std::uint8_t> bytes;
        bool videoOnly = false;
    };

    CombineTool(ConnectionController& connection, EdidControllerTool& edidTool,
                EdidTransfer& transfer, QObject* parent = nullptr);

    // Adds a display; false (nothing added, the reason in `error`) when it cannot be read.
    bool addFile(const QString& path, QString* error);
    bool addMonitor(const QString& sysfsRoot, const QString& name, QString* error);
    // Reads an output (or any node) of the selected device.
    bool addNode(NodeRef node, QString* error);
    void addBytes(const QString& name, std::vector<std::uint8_t> bytes);
    void remove(int index);
    void setVideoOnly(int index, bool videoOnly);
    void setIdentity(int index);
    void setIntent(CombineIntent intent, bool on);
    void setMaxBlocks(int blocks);

    const std::vector<Source>& sources() const { return sources_; }
    int identity() const { return identity_; }
    bool intent(CombineIntent i) const { return intents_[static_cast<std::size_t>(i)]; }
    int maxBlocks() const { return maxBlocks_; }
    // The combination of the sources; BadInput with an error while there are none.
    const CombineResult& result() const { return result_; }
    bool written() const { return result_.status == CombineStatus::Written; }

    // The device's nodes that can be read ("Output 1", ...), empty without a device.
    QStringList deviceOutputs() const;
    std::optional<NodeRef> deviceOutput(int index) const;
    // Where a result of one or two blocks can go on the device (inputs, user slots).
    QStringList uploadTargets() const;

    // Writes the result to a file (atomically); to the device's EDID record, from where the
    // creator takes it; to an input or a user slot (an item of uploadTargets()).
    bool save(const QString& path, QString* error) const;
    bool toCreator(QString* error);
    bool upload(int target, QString* error);

signals:
    void changed();

private:
    void update();
    bool fitsImage(QString* error) const;

    ConnectionController& connection_;
    EdidControllerTool& edidTool_;
    EdidTransfer& transfer_;
    std::vector<Source> sources_;
    int identity_ = 0;
    std::bitset<kCombineIntentCount> intents_;
    int maxBlocks_ = 2;
    CombineResult result_;
};

} // namespace lvx
