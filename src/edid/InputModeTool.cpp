#include "edid/InputModeTool.h"

#include "connection/ConnectionController.h"

#include <QElapsedTimer>

namespace lvx {

InputModeTool::InputModeTool(ConnectionController& connection, QObject* parent)
    : FlowTool(connection, parent), connection_(connection) {
    connection_.session().setHandler(CmdRxEdMd,
                                     [this](std::string_view answer) { handleAnswer(answer); });
    // A new device list shows "Input 1" again: what a press sends follows what is shown.
    connect(&connection_, &ConnectionController::edidListsChanged, this, [this] { input_ = 0; });
    connect(&connection_, &ConnectionController::disconnected, this, [this] { input_ = 0; });
}

InputModeTool::~InputModeTool() {
    connection_.session().setHandler(CmdRxEdMd, nullptr);
}

ModeCounts InputModeTool::counts() const {
    const DeviceRecord& r = connection_.devices().current();
    return {r.internalEdidCount, r.outputCount, r.userEdidCount};
}

bool InputModeTool::modeSelectFlag() const {
    return connection_.devices().current().inputNodes[0].modeSelectFlag();
}

int InputModeTool::currentMode() const {
    return connection_.devices().current().inputNodes[0].edidMode();
}

void InputModeTool::setCurrentMode(int mode) {
    connection_.devices().current().inputNodes[0].edidMode() = static_cast<std::uint8_t>(mode);
}

InputModeTool::ButtonState& InputModeTool::state(ModeButton which) {
    return buttons_[static_cast<std::size_t>(which.column)]
                   [static_cast<std::size_t>(which.number - 1)];
}

InputModeTool::ButtonState InputModeTool::button(ModeButton which) const {
    if (which.number < 1 || which.number > kModeButtonsPerColumn) {
        return {};
    }
    return buttons_[static_cast<std::size_t>(which.column)]
                   [static_cast<std::size_t>(which.number - 1)];
}

bool InputModeTool::press(ModeButton which) {
    if (which.number < 1 || which.number > kModeButtonsPerColumn || connection_.busy()) {
        return false;
    }
    const FlowGuard flow(connection_);
    lastError_.clear();
    // The pressed button is checked at once; the device's next report corrects it.
    for (auto& column : buttons_) {
        for (ButtonState& b : column) {
            b.checked = false;
        }
    }
    state(which).checked = true;
    emit buttonsChanged();

    const int mode = ModeIndexOf(which, counts());
    ProtocolSession& session = connection_.session();
    session.sendNodeSelect(static_cast<std::uint32_t>(input_));
    const char* unanswered = nullptr;
    if (!session.answered()) {
        unanswered = "ND_SEL";
    } else {
        session.sendSet(CmdRxEdMd, {static_cast<std::uint8_t>(mode)});
        if (!session.answered()) {
            unanswered = "RXEDMD";
        }
    }
    session.resetWatchdog();
    if (unanswered != nullptr) {
        // The device did not take the mode: the mark shows what it last said again.
        lastError_ = connection_.selectedLinkUp()
                         ? QStringLiteral("the device did not answer SET %1").arg(unanswered)
                         : QStringLiteral("the link to the device was lost");
        connection_.log().addLine("\r\nMode Select failed: " + lastError_.toStdString());
        report(QStringLiteral("Mode Select failed: %1").arg(lastError_), Severity::Failure);
        const int current = currentMode();
        for (auto& column : buttons_) {
            for (ButtonState& b : column) {
                b.checked = false;
            }
        }
        if (const std::optional<ModeButton> shown = ButtonOfMode(current, counts())) {
            state(*shown).checked = true;
        }
        emit buttonsChanged();
        return false;
    }
    if (which.column == ModeColumn::External) {
        // The next report is applied whatever it says.
        setCurrentMode(255);
    }
    report(QStringLiteral("Input %1 set to EDID mode %2").arg(input_ + 1).arg(mode),
           Severity::Success);
    return true;
}

void InputModeTool::chooseInput(int index) {
    const int inputs = connection_.devices().current().inputCount;
    input_ = index < 0 || index >= inputs ? 0 : index;
    if (connection_.busy()) {
        return;
    }
    const FlowGuard flow(connection_);
    ProtocolSession& session = connection_.session();
    session.sendNodeSelect(static_cast<std::uint32_t>(input_));
    session.SendCommand(ModeGet, CmdRxEdMd);
}

int InputModeTool::readModeInFlow(int input, int timeoutMs) {
    int reported = -1;
    const QMetaObject::Connection watch = connect(this, &InputModeTool::modeReported, this,
                                                  [&reported](int mode) { reported = mode; });
    ProtocolSession& session = connection_.session();
    session.sendNodeSelect(static_cast<std::uint32_t>(input));
    session.SendCommand(ModeGet, CmdRxEdMd);
    QElapsedTimer clock;
    clock.start();
    while (reported < 0 && clock.elapsed() < timeoutMs && connection_.connected()) {
        session.wait(5);
    }
    disconnect(watch);
    return reported;
}

void InputModeTool::setModeInFlow(int input, int mode) {
    ProtocolSession& session = connection_.session();
    session.sendNodeSelect(static_cast<std::uint32_t>(input));
    session.sendSet(CmdRxEdMd, {static_cast<std::uint8_t>(mode)});
    session.resetWatchdog();
}

void InputModeTool::rereadChosenInput() {
    ProtocolSession& session = connection_.session();
    session.sendNodeSelect(static_cast<std::uint32_t>(input_));
    session.SendCommand(ModeGet, CmdRxEdMd);
}

bool InputModeTool::handleAnswer(std::string_view answer) {
    const std::optional<int> mode = ParseModeAnswer(answer);
    if (!mode) {
        return false;
    }
    lastReported_ = *mode;
    apply(*mode);
    emit modeReported(*mode);
    return true;
}

void InputModeTool::apply(int mode) {
    const int current = currentMode();
    if (mode != 254 && mode == current) {
        return;
    }
    const ModeCounts c = counts();
    if (!modeSelectFlag() && current < c.total()) {
        if (const std::optional<ModeButton> old = ButtonOfMode(current, c)) {
            state(*old).enabled = false;
        }
    }
    if (const std::optional<ModeButton> now = ButtonOfMode(mode, c)) {
        for (auto& column : buttons_) {
            for (ButtonState& b : column) {
                b.checked = false;
            }
        }
        state(*now).enabled = true;
        state(*now).checked = true;
    }
    setCurrentMode(mode);
    emit buttonsChanged();
}

void InputModeTool::enableForConnect(const ModeSelectCounts& counts) {
    const int limits[3] = {counts.internal, counts.external, counts.user};
    for (int column = 0; column < 3; ++column) {
        for (int k = 1; k <= kModeButtonsPerColumn; ++k) {
            if (k <= limits[column]) {
                buttons_[static_cast<std::size_t>(column)][static_cast<std::size_t>(k - 1)]
                    .enabled = true;
            }
        }
    }
    emit buttonsChanged();
}

void InputModeTool::disableAll() {
    for (auto& column : buttons_) {
        for (ButtonState& b : column) {
            b.enabled = false;
        }
    }
    emit buttonsChanged();
}

} // namespace lvx
