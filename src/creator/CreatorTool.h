#pragma once

#include "common/Prompt.h"

#include <QObject>
#include <QString>

namespace lvx {

class ConnectionController;
class CreatorModel;
class EdidTransfer;

// The creator's flows that reach outside the model: "Open EDID" (a file, inside the transfer
// bracket when the selected device is on the COM port), for the program and the command line.
class CreatorTool : public QObject {
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

    // What went wrong in the last flow, for the command line.
    QString lastError() const { return lastError_; }

private:
    // The selected device is connected over the COM port: flows open the transfer bracket.
    bool serialDevice() const;

    ConnectionController& connection_;
    EdidTransfer& transfer_;
    CreatorModel& model_;
    QString lastError_;
};

} // namespace lvx
