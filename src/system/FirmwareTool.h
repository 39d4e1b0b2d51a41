#pragma once

#include "common/Prompt.h"
#include "connection/FlowTool.h"
#include "system/FirmwareImage.h"
#include "system/FirmwareTransfer.h"

#include <QString>

#include <optional>

namespace lvx {

class ConnectionController;

// Reads a whole firmware file into memory; false (with the reason) when it cannot be read or
// is far larger than any firmware image.
bool ReadFirmwareFile(const QString& path, std::vector<std::uint8_t>& bytes, QString& why);

// The "Firmware" group without its widgets: Open Firmware reads a file once into memory and
// shows the target its header names; Update Firmware sends it to the selected device in
// loader mode. The window and the command line run the same two flows. The status is the
// progress ("0%" to "100%") or why the flow failed ("Update Fw Failed.", "Illegal FW.", ...).
class FirmwareTool : public FlowTool {
    Q_OBJECT
public:
    enum class Outcome { Nothing, Refused, Cancelled, Done, Failed };

    // The open dialog has the EDID files' filter and starts in the firmware folder.
    static constexpr const char* kFilter = "EDID (*.bin)|*.bin";

    explicit FirmwareTool(ConnectionController& connection, QObject* parent = nullptr);

    // Open Firmware: asks for a file (a cancelled dialog keeps the file chosen before), reads
    // it whole and, when a loader was found, checks its header.
    Outcome openFirmware(Prompt& prompt);
    // Update Firmware: after the checks and the user's OK, the transfer. Done only when
    // FW_END went out after every page check passed.
    Outcome update(Prompt& prompt);

    // The file the dialog last gave (Edit_Fw_Path shows it).
    QString path() const { return path_; }
    const FirmwareImage& image() const { return image_; }
    const std::optional<FirmwareHeader>& header() const { return header_; }
    // The progress in percent (the status says it as text).
    int percent() const { return percent_; }
    // Back to "0%" (a device was selected).
    void resetProgress();
    // Why the last flow did not end well, for the command line.
    QString lastError() const { return lastError_; }
    // The page that failed, when the last update stopped at a page.
    std::uint32_t failedPage() const { return failedPage_; }

    // Tests step the transfer's clock and event processing themselves.
    void setTransferClock(FirmwareTransfer::Clock clock) { clock_ = std::move(clock); }
    void setTransferPump(FirmwareTransfer::Pump pump) { pump_ = std::move(pump); }

signals:
    void pathChanged(const QString& path);
    void percentChanged(int percent);
    void versionLabelChanged(const QString& text);

private:
    void setPercent(int percent);
    Outcome refuse(const QString& label, const QString& why);
    bool selectedIsLoader() const;
    // Why an update cannot run (the user may be asked to confirm); nothing when it can, with
    // the loader kind of the selected device in `kind`.
    std::optional<Outcome> checkUpdate(Prompt& prompt, int& kind);
    // The error of a transfer that did not end as done.
    // The header's target and version, as the log and the confirmation name them.
    QString targetText() const;
    // What the confirmation names: the file, its target and the row it goes to.
    QString confirmText() const;
    // The completion message of a firmware written whole.
    QString doneText() const;
    QString failureText(FirmwareTransfer::Result result) const;

    ConnectionController& connection_;
    QString path_;
    FirmwareImage image_;
    std::optional<FirmwareHeader> header_;
    int percent_ = 0;
    QString lastError_;
    std::uint32_t failedPage_ = 0;
    FirmwareTransfer::Clock clock_;
    FirmwareTransfer::Pump pump_;
};

} // namespace lvx
