#pragma once

#include "common/Severity.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>

namespace lvx {

class ConnectionController;
class FlowTool;

// One event a technician may want to read again later: a flow's result, a failure and its
// reason, a connection made or lost.
struct ActivityEntry {
    QDateTime time;
    QString device; // the port or the MAC address; empty when no device was concerned
    QString node;   // the node the flow worked on ("Input 1"); empty when none
    Severity severity = Severity::Info;
    QString text;

    // "22:01:05  /dev/ttyUSB0  Input 1  Edid Read Fail.": time, device and node, then the
    // text; the parts that are empty are left out, a failure or warning is marked as such.
    QString line() const;
};

// The program's activity, kept apart from the protocol trace: what the flows reported through
// their status, what happened to the connection. The window shows it and the user copies or
// saves it; with an echo set, each line also goes there as it is added (standard error for
// --verbose).
class ActivityLog : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kKept = 5000; // the oldest lines go beyond this

    explicit ActivityLog(QObject* parent = nullptr);

    // Adds an entry stamped now; an empty text is nothing to keep.
    void add(Severity severity, const QString& text, const QString& device = {},
             const QString& node = {});
    // Every start and result of this tool's flows, with the connection's device and the node
    // the flow works on; a result's detail rather than its short label text where there is
    // one. Progress texts (Info without a detail) are left out. `what` names the tool's flows
    // ("the EDID transfer") when the connection is lost while one of them runs.
    void follow(FlowTool& tool, const QString& what);
    // The connection's own events: a device connected, the connection lost or closed, the
    // Search's outcome and, when it found nothing, why for each port and interface.
    void followConnection(ConnectionController& connection);

    const std::deque<ActivityEntry>& entries() const { return entries_; }
    // All lines, each ended by a line feed.
    QString text() const;
    // Writes text() to a file, never leaving a half-written one; false with the reason.
    bool save(const QString& path, QString* error) const;
    void clear();

    using Echo = std::function<void(const QString& line)>;
    void setEcho(Echo echo) { echo_ = std::move(echo); }
    // The clock, for tests that need a fixed time.
    void setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

signals:
    void added(const lvx::ActivityEntry& entry);
    void cleared();

private:
    std::deque<ActivityEntry> entries_;
    Echo echo_;
    std::function<QDateTime()> clock_;
    QString running_; // what the flow that runs does, once it reported something
};

// The selected device as the log names it: its port for a serial device, its MAC address
// (its IP address when there is none) for a network device; empty when none is selected.
QString DeviceLabel(const ConnectionController& connection);

// What the user reads when a device stops answering: which device, what was running, what to
// check.
QString ConnectionLostText(const QString& device, const QString& running);

} // namespace lvx
