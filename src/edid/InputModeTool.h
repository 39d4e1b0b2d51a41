#pragma once

#include "connection/FlowTool.h"
#include "edid/InputModes.h"

#include <QString>

#include <array>
#include <string_view>

namespace lvx {

class ConnectionController;
struct ModeSelectCounts;

// The "Mode Select" group without its widgets: which source feeds the chosen input's EDID.
// A press sets the mode on the device; the device's reports (the answer to GET RXEDMD, also
// polled every 2.5 s) move the check mark, and with display-only buttons the enabled one.
// A press reports its result as the status.
class InputModeTool : public FlowTool {
    Q_OBJECT
public:
    struct ButtonState {
        bool enabled = false;
        bool checked = false;
    };

    explicit InputModeTool(ConnectionController& connection, QObject* parent = nullptr);
    ~InputModeTool() override;

    ButtonState button(ModeButton which) const;
    ModeCounts counts() const;

    // Set mode: a press on a source button. False when the device did not answer ND_SEL or
    // SET RXEDMD (or the link was lost): the check mark goes back to the mode last reported
    // and the debug memo says why (lastError()).
    bool press(ModeButton which);
    QString lastError() const { return lastError_; }
    // Read mode: the input chooser changed.
    void chooseInput(int index);
    int input() const { return input_; }

    // An RXEDMD answer; false when it reports nothing.
    bool handleAnswer(std::string_view answer);
    // Apply reported mode.
    void apply(int mode);
    int currentMode() const;
    int lastReported() const { return lastReported_; }

    // For a flow that already holds the connection (a backup or a restore): the mode of an
    // input, read with ND_SEL and GET RXEDMD and waited for at most `timeoutMs`; -1 when the
    // device did not say. The report moves the buttons as any report does.
    int readModeInFlow(int input, int timeoutMs);
    // Sets an input's mode with ND_SEL and SET RXEDMD.
    void setModeInFlow(int input, int mode);
    // Reads the mode of the input the chooser shows again, so that the buttons show that
    // input once a flow has selected others.
    void rereadChosenInput();

    // Connect enables the buttons up to the device's counts (at most the 8 of a column) when
    // it lets them be pressed; Disconnect disables them again.
    void enableForConnect(const ModeSelectCounts& counts);
    void disableAll();

signals:
    void buttonsChanged();
    void modeReported(int mode);

private:
    ButtonState& state(ModeButton which);
    void setCurrentMode(int mode);
    bool modeSelectFlag() const;

    ConnectionController& connection_;
    std::array<std::array<ButtonState, kModeButtonsPerColumn>, 3> buttons_{};
    int input_ = 0;
    int lastReported_ = -1;
    QString lastError_;
};

} // namespace lvx
