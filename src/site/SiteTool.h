#pragma once

#include "common/EdidImage.h"
#include "protocol/TransferBracket.h"
#include "site/SiteFile.h"
#include "site/SitePlan.h"
#include "site/SiteWriter.h"

#include <QDir>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace lvx {

class ConnectionController;
class DeviceBackupTool;
class EdidTransfer;
class InputModeTool;

// A site file read from disk with every EDID file it names, each checked. Nothing is sent to
// any device while it has errors.
struct LoadedSite {
    QString path;   // the site file
    QString folder; // the folder it is in
    SiteFile site;
    std::vector<SiteError> errors;
    // Per device entry, per node: the image its file holds.
    std::vector<std::vector<EdidImage>> wanted;

    bool ok() const { return errors.empty(); }
};

// Reads and checks a site file and its EDID files. A node's file without "/" is looked for in
// the EDID folder (the site file's folder when it names none); a path is taken relative to the
// site file's folder. A file that cannot be read or is no valid EDID is an error on its line.
LoadedSite LoadSiteFile(const QString& path);

// What happened to one node, one mode and one device.
enum class SiteOutcome : std::uint8_t {
    Unchanged,   // already as the file says
    WouldChange, // a dry run: it differs, a run would write or set it
    Written,     // written (or set) and read back alike
    Failed,      // not done, or not read back alike; `reason` says why
};

const char* SiteOutcomeName(SiteOutcome outcome); // "unchanged", "differs", "written", "failed"

struct SiteNodeReport {
    PlannedNode plan;
    SiteOutcome outcome = SiteOutcome::Failed;
    QString reason;
};

struct SiteModeReport {
    PlannedMode plan;
    SiteOutcome outcome = SiteOutcome::Failed;
    QString reason;
};

struct SiteDeviceReport {
    QString name;
    QString where; // how it was found: the port, the MAC or the product string
    bool reached = false;
    QString error;  // why the device as a whole failed (not found, lost, backup failed)
    QString backup; // the backup folder written before the changes; empty when none
    std::vector<SiteNodeReport> nodes;
    std::vector<SiteModeReport> modes;

    // The device holds what the file says (after the run; for a dry run: already).
    bool matches() const;
};

struct SiteReport {
    bool dryRun = false;
    // Entry errors that need the devices (a node a device does not have, two entries for one
    // device): when there are any, nothing was sent.
    std::vector<SiteError> errors;
    std::vector<SiteDeviceReport> devices;

    bool ok() const; // no errors and every device matches
};

// Applies a site file to the devices a Search finds, and writes one from them. It runs on the
// connection's Search (ports and network as the caller set them up) and on the EDID flows:
// reads and writes through EdidTransfer, modes through InputModeTool, backups through
// DeviceBackupTool. A device that cannot be reached or fails is reported; the others go on.
class SiteTool : public QObject {
    Q_OBJECT
public:
    SiteTool(ConnectionController& connection, EdidTransfer& transfer, InputModeTool& modes,
             DeviceBackupTool& backups, QObject* parent = nullptr);

    // The ports a site file names, for the Search (the caller adds its own).
    static QStringList PortsOf(const SiteFile& site);
    // Whether the site file names devices found over the network (by MAC or product).
    static bool NeedsNetwork(const SiteFile& site);

    // Searches (unless the connection already has devices), reads what each device holds for
    // the nodes and modes its entry names, and with `dryRun` stops there: not a single SET.
    // Otherwise each device that differs is backed up into
    // `backupRoot/<yyyyMMdd-HHmmss>-<name>/`, then only the differing nodes are written and
    // read back, and the differing modes set and read back.
    SiteReport run(const LoadedSite& site, bool dryRun, const QString& backupRoot);

    // The Search the tool runs: the connection's, then a moment for late network replies.
    void search();

    struct CaptureResult {
        bool ok = false; // every device found was read whole and the files were written
        QString error;   // the first thing that went wrong
        int devices = 0;
        int edidFiles = 0; // EDID files written now (equal EDIDs share one)
        QStringList notes; // what the site file keeps rather than captured, what was not read
        QString siteText;  // the site file as written
    };

    // Searches (unless the connection already has devices), reads every input's and user
    // slot's EDID and every input's mode (COM port) of every device found, writes each valid
    // EDID into the EDID folder under a name made from its content, and writes the site file.
    // An existing site file keeps its entries, names and comments; one that cannot be read is
    // left alone and nothing is written.
    CaptureResult capture(const QString& sitePath);
    // When not empty, capture takes only the network devices with these MACs (NormalizeMac).
    std::vector<std::string> onlyMacs;

    // Asks the running flow to stop after its current step.
    void cancel() { cancelled_ = true; }

signals:
    void progress(int done, int total, const QString& text);
    void stepFinished(const QString& line, bool ok);

private:
    // The device row (1-based) the entry names, or 0 when no device found matches it.
    int findRow(const SiteDevice& device) const;
    std::vector<SiteError> checkDevices(const LoadedSite& site);
    SiteDeviceReport runDevice(const LoadedSite& site, std::size_t index, bool dryRun,
                               const QString& backupRoot);
    PresentState readPresent(const SiteDevice& device);
    void applyPlan(SiteDeviceReport& report);
    bool writeNode(const PlannedNode& node, QString& reason);
    bool setMode(const PlannedMode& mode, QString& reason);
    // Reads the selected device for a capture; its valid EDIDs go into `edids`.
    bool captureDevice(int row, const QDir& edids, CapturedDevice& device, CaptureResult& result);
    CaptureResult finishCapture(const QString& sitePath, const SiteFile* old,
                                const SiteComments& comments,
                                const std::vector<CapturedDevice>& captured, CaptureResult& result);
    // Selects a device row; false when it cannot be reached.
    bool selectRow(int row);
    bool linkUp() const;
    // A transfer bracket over the reads or writes of one device (serial devices only).
    void beginLink(bool serial);
    void endLink(bool serial);

    ConnectionController& connection_;
    EdidTransfer& transfer_;
    InputModeTool& modes_;
    DeviceBackupTool& backups_;
    bool cancelled_ = false;
    std::optional<TransferBracket> bracket_;
};

} // namespace lvx
