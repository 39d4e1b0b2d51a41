#include "app/StatusDisplay.h"

#include "connection/ConnectionController.h"
#include "connection/FlowTool.h"

#include <QLabel>

#include <algorithm>

namespace lvx {

int StatusHolds::of(Severity severity) const {
    switch (severity) {
    case Severity::Info:
        return info;
    case Severity::Success:
        return success;
    case Severity::Warning:
        return warning;
    case Severity::Failure:
        return failure;
    }
    return kStays;
}

StatusDisplay::StatusDisplay(FlowTool& tool, StatusHolds holds, Show show, Clear clear,
                             QObject* parent)
    : QObject(parent), tool_(tool), holds_(holds), show_(std::move(show)),
      clear_(std::move(clear)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &StatusDisplay::expire);
    connect(&tool_, &FlowTool::status, this, &StatusDisplay::show);
    connect(&tool_.flowConnection(), &ConnectionController::busyChanged, this, [this](bool busy) {
        if (!busy) {
            flowEnded();
        }
    });
}

void StatusDisplay::show(const QString& text, Severity severity) {
    show_(text, severity);
    const int hold = holds_.of(severity);
    if (text.isEmpty() || hold == StatusHolds::kStays) {
        timer_.stop();
        shown_.clear();
        hold_ = 0;
        return;
    }
    shown_.emplace_back(text, severity);
    hold_ = std::max(hold_, hold);
    if (tool_.flowConnection().busy()) {
        timer_.stop(); // counted once the flow has ended
    } else {
        timer_.start(hold_);
    }
}

void StatusDisplay::flowEnded() {
    if (!shown_.empty()) {
        timer_.start(hold_);
    }
}

void StatusDisplay::expire() {
    const std::vector<std::pair<QString, Severity>> shown = std::move(shown_);
    shown_.clear();
    hold_ = 0;
    for (const auto& [text, severity] : shown) {
        clear_(text, severity);
    }
}

QString StatusStyle(Severity severity) {
    return severity == Severity::Warning || severity == Severity::Failure
               ? QStringLiteral("color: red")
               : QStringLiteral("color: black");
}

StatusDisplay* ShowStatusIn(QLabel* label, FlowTool& tool, StatusHolds holds) {
    return new StatusDisplay(
        tool, holds,
        [label](const QString& text, Severity severity) {
            label->setText(text);
            label->setStyleSheet(StatusStyle(severity));
        },
        [label](const QString& shown, Severity) {
            if (label->text() == shown) {
                label->clear();
                label->setStyleSheet(StatusStyle(Severity::Info));
            }
        },
        label);
}

} // namespace lvx
