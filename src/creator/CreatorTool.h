#pragma once

#include "common/EdidImage.h"
#include "common/Prompt.h"
#include "connection/FlowTool.h"
#include "edid/NodeList.h"

#include <QString>

#include <optional>

namespace lvx {

class ConnectionController;
class CreatorModel;
class EdidTransfer;
struct BuildResult;

// The creator's flows that reach outside the model: "Open EDID", "Save EDID" and "Write EDID
// to Device", each inside the transfer bracket when the selected device is on the COM port,
// for the program and the command line alike. The creator's own labels are the model's; what
// each flow did, to which node and file, or why it failed goes out through status() for the
// activity log.
class CreatorTool : public FlowTool {
    Q_OBJECT
public:
    enum class Outcome { Nothing, Cancelled, Done, Failed };

    static constexpr const char* kFilter = "EDID (*.bin)|*.bin";

    CreatorTool(ConnectionController& connection, EdidTransfer& transfer, CreatorModel& model,
                QObject* parent = nullptr);

    CreatorModel& model() { return model_; }

    // Open EDID: asks for a file, reads it (0xFF past a short file's end) and loads it into
    // the creator. Nothing changes when the dialog is cancelled or the file cannot be read.
    Outcome openEdid(Prompt& prompt);

    // Save EDID: builds and writes the image to the file the user names (default "Created
    // EDID", ".bin" added unless the name ends in exactly ".bin"), never a half-written file.
    // The field-error flag does not stop it.
    Outcome save(Prompt& prompt);

    // Write EDID to Device: refused while any field is out of its limits ("Create Error!",
    // the fields named in lastError() and the status detail) or no EDID was loaded; builds,
    // validates and sends the image to an input or a user slot over the link of the selected
    // device. Nothing when no device is connected. With a prompt, the user is asked first,
    // with the node and the device named and Cancel as the default answer; the command line
    // names its target itself and is not asked.
    Outcome writeToDevice(NodeRef target, Prompt* ask = nullptr);
    // The target the upload list's item `index` stands for.
    std::optional<NodeRef> uploadTarget(int index) const;

    // The built image of the last Save or Write that built one.
    const EdidImage& lastBuilt() const { return lastBuilt_; }

    // Waits that only keep a message on the screen; the command line does without them.
    bool messageWaits = true;

    // What went wrong in the last flow, for the command line.
    QString lastError() const { return lastError_; }

private:
    // The selected device is connected over the COM port: flows open the transfer bracket.
    bool serialDevice() const;
    bool connected() const;
    void messageWait(int ms);
    // Please select "NEW" or "OPEN", then the labels cleared.
    void noEdidWarning();
    // A build that stopped: "Create Error!" unless a message box already said why.
    void buildStopped(const BuildResult& built);
    // The memo's lines for what the build left out of the loaded block 1.
    void logLeftOut(const BuildResult& built);
    // The selected device as the question and the log name it: its product and its port or
    // address.
    QString deviceText() const;
    // Why Write EDID to Device sends nothing (fields in error, no EDID, a node that takes no
    // write), said and logged; nothing when the write may go on.
    std::optional<Outcome> refuseWrite(NodeRef target, const QString& node);
    // Sends the built and valid image to the node, "Ok." on show meanwhile; the result logged.
    Outcome sendBuilt(NodeRef target, const EdidImage& image, const QString& node,
                      const QString& device);

    ConnectionController& connection_;
    EdidTransfer& transfer_;
    CreatorModel& model_;
    QString lastError_;
    EdidImage lastBuilt_{};
};

} // namespace lvx
