#pragma once

#include "edid/BackupStore.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace lvx {

class ConnectionController;
class EdidTransfer;
class InputModeTool;
class TransferBracket;

// Back Up Device and Restore Device without their windows. A backup reads every node's EDID
// (and, over a COM port, every input's EDID mode) of the selected device into a folder: one
// .bin per node that was read whole, and manifest.json. A restore checks the whole folder
// first and sends nothing unless every file is intact; then it writes the user slots and the
// inputs, reads each back, and sets and reads back the input modes.
class DeviceBackupTool : public QObject {
    Q_OBJECT
public:
    // Two nodes in a row without a single answer: the link is taken as interrupted and the
    // remaining nodes are not tried.
    static constexpr int kSilentNodesToStop = 2;
    static constexpr int kModeAnswerWaitMs = 1000;

    struct BackupResult {
        bool ok = false;      // every node and mode read, every file and the manifest written
        bool started = false; // false: nothing was sent (no device, another flow, no folder)
        // The backup was incomplete and the folder already held a complete one: nothing in
        // the folder was changed.
        bool keptEarlier = false;
        QString error; // the first thing that went wrong
        BackupManifest manifest;
    };

    struct RestorePreparation {
        bool readable = false; // the manifest could be read
        QString error;
        BackupManifest manifest;
        RestorePlan plan;
    };

    struct RestoreResult {
        bool ok = false;
        bool started = false; // false: nothing was sent
        QString error;
        int stepsDone = 0;
        int stepsFailed = 0;
    };

    DeviceBackupTool(ConnectionController& connection, EdidTransfer& transfer, InputModeTool& modes,
                     QObject* parent = nullptr);

    // The program name recorded in manifests.
    QString program = QStringLiteral("Linkvex 1.0L");

    // Who the selected device is, as a manifest records it.
    BackupDevice currentDevice() const;

    BackupResult backup(const QString& directory);

    // Reads the folder's manifest and files and works out the restore onto the selected device.
    RestorePreparation prepareRestore(const QString& directory) const;
    // Runs a prepared restore; refused (nothing sent) when the plan has errors, or mismatches
    // that are not forced.
    RestoreResult restore(const RestorePreparation& preparation, bool force);

    // Asks the running flow to stop after its current step.
    void cancel() { cancelled_ = true; }
    bool running() const { return running_; }

signals:
    // Before each step: how many of `total` are done and what comes next.
    void progress(int done, int total, const QString& text);
    // After each step: one line for the user ("input1.bin: saved", ...).
    void stepFinished(const QString& line, bool ok);

private:
    class BackupRun;

    // Why a flow cannot start on `directory`; empty when it can.
    QString refusal(const QString& directory) const;
    BackupEntry backUpNode(BackupRun& run, NodeRef node, bool serial);
    BackupMode backUpMode(BackupRun& run, int input);
    // Puts the read files and the manifest in place; false when the folder was not written.
    bool writeManifest(BackupRun& run);
    // Runs one step of a restore; `line` says how it went.
    bool restoreStep(const RestoreStep& step, bool serial, QString& line);
    bool linkUp() const;
    void endLink(TransferBracket& bracket, bool serial);
    void finishStep(const QString& line, bool ok);

    ConnectionController& connection_;
    EdidTransfer& transfer_;
    InputModeTool& modes_;
    bool cancelled_ = false;
    bool running_ = false;
};

} // namespace lvx
