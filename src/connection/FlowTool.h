#pragma once

#include "common/Severity.h"

#include <QObject>
#include <QString>

namespace lvx {

class ConnectionController;

// The base of every device flow's tool (Save / Upload / Analysis, Mode Select, the creator's
// flows, firmware, system and IP configuration, Multi-COM settings, backup and restore).
// A flow tells how it went through status(): one text and its severity, the one seam the
// windows (a label, for as long as they choose), the command line and a log listen to.
class FlowTool : public QObject {
    Q_OBJECT
public:
    explicit FlowTool(ConnectionController& connection, QObject* parent = nullptr)
        : QObject(parent), flowConnection_(connection) {}

    // The connection the flows run on (its busyChanged() says when a flow ends).
    ConnectionController& flowConnection() const { return flowConnection_; }

    // The last status reported.
    const QString& statusText() const { return statusText_; }
    Severity statusSeverity() const { return statusSeverity_; }
    // The longer account of the last status, for a log that is read later: what was done to
    // which node, where the file went, why it failed. Empty when the text says it all.
    const QString& statusDetail() const { return statusDetail_; }
    // The node the running or last flow works on ("Input 1", "User 2"); empty for a flow on
    // the whole device.
    const QString& flowNode() const { return flowNode_; }

signals:
    // An empty text: nothing to say any more (a label showing the last text is emptied).
    void status(const QString& text, lvx::Severity severity);
    // A flow begins: what it does and to which node ("Saving Input 1 EDID").
    void started(const QString& what);
    // A line for the log alone, where the label has nothing new to show.
    void noted(const QString& text, lvx::Severity severity);

protected:
    void report(const QString& text, Severity severity, const QString& detail = {}) {
        statusText_ = text;
        statusSeverity_ = severity;
        statusDetail_ = detail;
        emit status(text, severity);
    }
    void note(const QString& text, Severity severity) { emit noted(text, severity); }
    // A flow begins on this node (none: the whole device).
    void begin(const QString& what, const QString& node = {}) {
        flowNode_ = node;
        emit started(what);
    }

private:
    ConnectionController& flowConnection_;
    QString statusText_;
    QString statusDetail_;
    QString flowNode_;
    Severity statusSeverity_ = Severity::Info;
};

} // namespace lvx
