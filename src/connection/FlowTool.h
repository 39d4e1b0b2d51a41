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

signals:
    // An empty text: nothing to say any more (a label showing the last text is emptied).
    void status(const QString& text, lvx::Severity severity);

protected:
    void report(const QString& text, Severity severity) {
        statusText_ = text;
        statusSeverity_ = severity;
        emit status(text, severity);
    }

private:
    ConnectionController& flowConnection_;
    QString statusText_;
    Severity statusSeverity_ = Severity::Info;
};

} // namespace lvx
