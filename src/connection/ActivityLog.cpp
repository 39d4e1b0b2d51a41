#include "connection/ActivityLog.h"

#include "common/AtomicFileWriter.h"
#include "connection/ConnectionController.h"
#include "connection/FlowTool.h"

#include <QStringList>

namespace lvx {

QString ActivityEntry::line() const {
    QStringList parts{time.toString(QStringLiteral("HH:mm:ss"))};
    if (!device.isEmpty()) {
        parts << device;
    }
    if (!node.isEmpty()) {
        parts << node;
    }
    if (severity == Severity::Failure) {
        parts << QStringLiteral("FAILED:");
    } else if (severity == Severity::Warning) {
        parts << QStringLiteral("WARNING:");
    }
    parts << text;
    return parts.join(QStringLiteral("  "));
}

ActivityLog::ActivityLog(QObject* parent)
    : QObject(parent), clock_([] { return QDateTime::currentDateTime(); }) {}

void ActivityLog::add(Severity severity, const QString& text, const QString& device,
                      const QString& node) {
    if (text.trimmed().isEmpty()) {
        return;
    }
    ActivityEntry entry{clock_(), device, node, severity, text.trimmed()};
    if (entries_.size() >= kKept) {
        entries_.pop_front();
    }
    entries_.push_back(entry);
    if (echo_) {
        echo_(entry.line());
    }
    emit added(entry);
}

void ActivityLog::follow(FlowTool& tool, const QString& what) {
    ConnectionController* connection = &tool.flowConnection();
    FlowTool* t = &tool;
    // A step's progress ("40%") says nothing later on: an Info text is kept only with its
    // detail.
    connect(&tool, &FlowTool::status, this,
            [this, connection, t, what](const QString& text, Severity severity) {
                if (connection->busy()) {
                    running_ = what;
                }
                const QString& detail = t->statusDetail();
                if (severity == Severity::Info && detail.isEmpty()) {
                    return;
                }
                // A failure keeps its label text ahead of the reason, so both read alike.
                const bool labelled =
                    !text.isEmpty() && !detail.contains(text) &&
                    (severity == Severity::Failure || severity == Severity::Warning);
                const QString shown = detail.isEmpty() ? text
                                      : labelled       ? text + QLatin1Char(' ') + detail
                                                       : detail;
                add(severity, shown, DeviceLabel(*connection), t->flowNode());
            });
    connect(&tool, &FlowTool::noted, this,
            [this, connection, t](const QString& text, Severity severity) {
                add(severity, text, DeviceLabel(*connection), t->flowNode());
            });
    connect(&tool, &FlowTool::started, this, [this, connection, t, what](const QString& text) {
        running_ = what;
        add(Severity::Info, text, DeviceLabel(*connection), t->flowNode());
    });
}

void ActivityLog::followConnection(ConnectionController& connection) {
    ConnectionController* c = &connection;
    connect(c, &ConnectionController::selectionChanged, this, [this, c] {
        if (c->selectedRow() < 1) {
            return;
        }
        const SelectedDevice& d = c->selectedDevice();
        QString what = QString::fromStdString(d.productString).trimmed();
        if (what.isEmpty()) {
            what = tr("the device in row %1").arg(c->selectedRow());
        }
        add(Severity::Success,
            tr("Connected to %1%2").arg(what, d.loader ? tr(" (firmware loader)") : QString()),
            DeviceLabel(*c));
    });
    connect(c, &ConnectionController::busyChanged, this, [this](bool busy) {
        if (!busy) {
            running_.clear();
        }
    });
    connect(c, &ConnectionController::connectionLost, this, [this, c](const QString& device) {
        add(Severity::Failure, ConnectionLostText(device, c->busy() ? running_ : QString()),
            device);
    });
    connect(c, &ConnectionController::searchEnded, this,
            [this](int found, const QStringList& reasons) {
                if (found > 0) {
                    add(Severity::Success, found == 1 ? tr("Search found 1 device")
                                                      : tr("Search found %1 devices").arg(found));
                    return;
                }
                add(Severity::Failure, tr("Search found no device"));
                for (const QString& reason : reasons) {
                    add(Severity::Failure, reason);
                }
            });
    connect(c, &ConnectionController::closedByUser, this,
            [this] { add(Severity::Info, tr("Disconnected")); });
}

QString ActivityLog::text() const {
    QString all;
    for (const ActivityEntry& e : entries_) {
        all += e.line() + QLatin1Char('\n');
    }
    return all;
}

bool ActivityLog::save(const QString& path, QString* error) const {
    AtomicFileWriter writer;
    if (!writer.open(path) || !writer.write(text().toUtf8())) {
        if (error != nullptr) {
            *error = writer.error();
        }
        return false;
    }
    return true;
}

void ActivityLog::clear() {
    entries_.clear();
    emit cleared();
}

QString DeviceLabel(const ConnectionController& connection) {
    // The device's record, not the list's highlight: a rewritten description clears that.
    const DeviceTable& devices = connection.devices();
    const int index = devices.selected;
    if (devices.count < 1 || index < 0 || index >= devices.count ||
        static_cast<std::size_t>(index) >= connection.rows().size()) {
        return {};
    }
    const DeviceRow& r = connection.rows()[static_cast<std::size_t>(index)];
    if (devices.current().isSerial()) {
        return QString::fromStdString(r.interface);
    }
    return QString::fromStdString(r.mac.empty() ? r.ip : r.mac);
}

QString ConnectionLostText(const QString& device, const QString& running) {
    QString text = device.isEmpty() ? QObject::tr("The connection to the device was lost")
                                    : QObject::tr("The connection to %1 was lost").arg(device);
    if (!running.isEmpty()) {
        text += QObject::tr(" while %1 was running").arg(running);
    }
    text += QObject::tr(". Check that the device has power and that its cable is in, then "
                        "Search again.");
    return text;
}

} // namespace lvx
