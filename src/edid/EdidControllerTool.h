#pragma once

#include "common/Prompt.h"
#include "connection/FlowTool.h"
#include "edid/EdidRecord.h"
#include "edid/NodeList.h"

#include <QString>

#include <optional>

namespace lvx {

class ConnectionController;
class EdidTransfer;

// The "Save  /  Upload  /  Analysis" group without its widgets: the node lists and the three
// flows, for the COM port and the network alike. Each flow's result is its status ("Ok.",
// "Edid Read Fail.", ...); an upload clears the status when its file opened.
class EdidControllerTool : public FlowTool {
    Q_OBJECT
public:
    enum class Outcome { Nothing, Cancelled, Done, Failed };

    static constexpr const char* kFilter = "EDID (*.bin)|*.bin";

    EdidControllerTool(ConnectionController& connection, EdidTransfer& transfer,
                       QObject* parent = nullptr);

    // The device EDID record: the connection's device EDID image with what the last
    // analysis, upload or loaded image decoded and validated from it. Reads that landed in
    // the image since show in the record's image at once (the connection owns the bytes;
    // this tool owns what is decoded from them).
    const EdidRecord& deviceRecord();
    NodeCounts counts() const;

    // Selection of the node list and the upload list: a separator gives way to the item
    // before it. Returns the index to select.
    int selectNodeItem(int index);
    int selectUploadItem(int index);
    QString uploadPicture() const { return uploadPicture_; }

    // Save EDID: reads the node and writes a .bin file. Nothing is written unless all 256
    // bytes arrived and went to disk whole.
    Outcome save(NodeRef node, Prompt& prompt);
    // Open EDID to Upload: reads a .bin file, validates it, asks (naming the file, the node
    // and the device; Cancel first, since the node's EDID is overwritten) and writes it to an
    // input or a user slot. Outputs and internal EDIDs do nothing.
    Outcome upload(NodeRef node, Prompt& prompt);
    // The read half of Analysis EDID: the node's EDID into the image, decoded into the
    // device EDID record. False when no device is connected.
    bool analysisRead(NodeRef node);

    // An EDID from elsewhere (a monitor of this PC) into the device EDID image, decoded into
    // the device EDID record, as a file opened for upload lands there. Refused (false) while a
    // device flow runs, since the flow fills that image.
    bool loadImage(const EdidImage& image);
    // Validates an image and writes it to an input or a user slot, as Open EDID to Upload
    // does with a file's bytes: the same status texts, the transfer bracket over a COM port.
    Outcome uploadImage(NodeRef node, const EdidImage& image);

    // The path of the last file chosen for upload (the hidden Edit_Edid_Path).
    QString uploadPath() const { return uploadPath_; }
    // What went wrong in the last flow, for the command line.
    QString lastError() const { return lastError_; }

signals:
    void uploadPictureChanged(const QString& picture);
    void recordDecoded();

private:
    bool connected() const;
    // Validate and write, with the status texts of an upload.
    // `source` names where the image came from (a file's name) for the log; empty: none.
    // With `ask`, a valid image is written only once the user agreed.
    Outcome validateAndWrite(NodeRef node, const EdidImage& image, const QString& source,
                             Prompt* ask = nullptr);
    QString uploadQuestion(NodeRef node) const;

    ConnectionController& connection_;
    EdidTransfer& transfer_;
    EdidRecord record_;
    QString uploadPicture_ = QStringLiteral("OpenColor");
    QString uploadPath_;
    QString lastError_;
};

} // namespace lvx
