#pragma once

#include "common/Prompt.h"
#include "connection/FlowTool.h"
#include "multicom/ChannelAnswers.h"
#include "multicom/ChannelText.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <string_view>

namespace lvx {

class ConnectionController;

// What one channel group shows, without its widgets.
struct ChannelState {
    ChannelText text;
    ChannelSettings settings; // item indexes; index 0 until the device reports its settings
    bool listen = false;
    // At start Listen is off while the controls are enabled and the memo is white: the first
    // click on Listen changes nothing visible.
    bool controlsEnabled = true;
    std::uint32_t memoColour = kMemoWhite;
};

// The " Multi-COM " tab without its widgets: the serial channels of the selected device.
// The answers to GET COM_MSG (polled every 400 ms by the protocol session) append to a
// channel's text; the answer to GET COM_CONFIG (sent by the Search) sets the channels'
// settings without sending anything; a user's change of a setting sends SET COM_CONFIG.
// The window and linkvex-cli both work through this tool. A settings change the device did
// not take and a log that could not be saved are failures of its status; a saved log is a
// success.
class MultiComTool : public FlowTool {
    Q_OBJECT
public:
    enum class SaveOutcome { Saved, Cancelled, Failed };

    explicit MultiComTool(ConnectionController& connection, QObject* parent = nullptr,
                          std::size_t textCap = kChannelTextCap);
    ~MultiComTool() override;

    // The selected device's channel count, 0 to 7.
    int channelCount() const;
    // Channel 1 to 7.
    const ChannelState& channel(int n) const;

    // The user's actions on a channel group.
    void setListen(int n, bool on);
    void chooseBaud(int n, int index);
    void chooseDataLength(int n, int index);
    void chooseParity(int n, int index);
    // Sets all three at once and sends them (one SET COM_CONFIG). A change the device does not
    // answer (or a link lost meanwhile) gives false: lastError() says why, and the channel
    // shows again what the device last reported.
    bool chooseSettings(int n, const ChannelSettings& settings);
    void clear(int n);
    // Asks for a file name ("Log (*.txt)", the channel's default name) and writes the
    // channel's text to it byte for byte. A failure is told to the user; the old file stays.
    SaveOutcome saveLog(int n, Prompt& prompt);
    const QString& lastError() const { return lastError_; }

    // GET COM_CONFIG (the command line reads the settings back with it).
    void requestSettings();
    // Settings answers handled so far, and what the last one reported.
    int settingsReports() const { return settingsReports_; }
    const SettingsReport& lastReport() const { return lastReport_; }

    // The session's handlers; false when the answer carries nothing for a channel.
    bool handleChannelAnswer(std::string_view answer);
    bool handleSettingsAnswer(std::string_view answer);
    // Text that arrived on channel n.
    void receive(int n, std::string_view bytes);

signals:
    // The memo of a channel follows its text with this change.
    void textChanged(int channel, const lvx::MemoChange& change);
    // The bytes of an answer, as they came.
    void received(int channel, const QByteArray& bytes);
    void settingsChanged(int channel);
    void listenChanged(int channel);
    void settingsReported();

private:
    ChannelState& state(int n);
    static bool valid(int n) { return n >= 1 && n <= kChannelMax; }
    bool canSend() const;
    bool sendSettings(int n);
    // The one place the Save log dialog is asked for.
    std::string askLogName(Prompt& prompt, int n);

    ConnectionController& connection_;
    std::array<ChannelState, kChannelMax> channels_;
    QString lastError_;
    int settingsReports_ = 0;
    SettingsReport lastReport_{};
};

} // namespace lvx
