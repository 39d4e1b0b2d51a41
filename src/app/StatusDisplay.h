#pragma once

#include "common/Severity.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <utility>
#include <vector>

class QLabel;

namespace lvx {

class FlowTool;

// How long a status text stays on show, per severity, counted from the end of the flow that
// reported it (at once when no flow runs). kStays keeps a text until the next status.
struct StatusHolds {
    static constexpr int kStays = -1;
    int info = kStays;
    int success = kStays;
    int warning = kStays;
    int failure = kStays;

    int of(Severity severity) const;
};

// The window's side of a flow tool's status: each text is shown through `show`; the texts of
// a timed severity are emptied through `clear` once the longest of their holds has passed
// after their flow ended. An empty status empties at once; a text that stays ends the count.
class StatusDisplay : public QObject {
    Q_OBJECT
public:
    using Show = std::function<void(const QString& text, Severity severity)>;
    // Empties a text shown before, unless something else took its place meanwhile.
    using Clear = std::function<void(const QString& shown, Severity severity)>;

    StatusDisplay(FlowTool& tool, StatusHolds holds, Show show, Clear clear,
                  QObject* parent = nullptr);

    void show(const QString& text, Severity severity);
    // A timed text is on show and waits to be emptied.
    bool holding() const { return !shown_.empty(); }

private:
    void flowEnded();
    void expire();

    FlowTool& tool_;
    StatusHolds holds_;
    Show show_;
    Clear clear_;
    QTimer timer_;
    std::vector<std::pair<QString, Severity>> shown_;
    int hold_ = 0;
};

// The colour of a status text: red for warnings and failures, black otherwise.
QString StatusStyle(Severity severity);

// Shows a flow tool's status in a label, with the label's own holds.
StatusDisplay* ShowStatusIn(QLabel* label, FlowTool& tool, StatusHolds holds = {});

} // namespace lvx
