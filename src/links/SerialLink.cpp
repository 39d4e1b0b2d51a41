#include "links/SerialLink.h"

#include "links/PortProbe.h"

#include <QSerialPortInfo>

namespace lvx {

QStringList ListSerialPorts(const QStringList& given) {
    if (!given.isEmpty()) {
        return given;
    }
    QStringList ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        ports << info.systemLocation();
    }
    return ports;
}

SerialLink::SerialLink(QObject* parent) : QObject(parent) {
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialLink::onError);
    connect(&port_, &QSerialPort::readyRead, this, [this] {
        if (onArrival) {
            onArrival();
        }
    });
}

SerialLink::~SerialLink() {
    onLost = nullptr;
    onArrival = nullptr;
    port_.close();
}

std::string SerialLink::openFailureHint(const std::string& name) const {
    const std::string start = "Cannot open " + name + ": ";
    switch (port_.error()) {
    case QSerialPort::DeviceNotFoundError:
        return start + "it does not exist. Check that the adapter is plugged in and that the "
                       "name is right.";
    case QSerialPort::PermissionError:
        // Not the user's to open: say which group would make it so. Otherwise the port is
        // locked or held open by another program.
        if (const auto access = ProbePortAccess(name)) {
            if (std::string hint = PortAccessHint(*access); !hint.empty()) {
                return hint;
            }
        }
        return start + "another program holds it. Close that program, then search again.";
    default:
        return start + port_.errorString().toStdString() + ".";
    }
}

bool SerialLink::open(const QString& name, DebugLog& log) {
    close();
    name_ = name;
    port_.setPortName(name);
    if (!port_.open(QIODevice::ReadWrite)) {
        log.appendText("Open " + name.toStdString() + " Failed.\r\n");
        log.notice(openFailureHint(name.toStdString()) + "\r\n");
        return false;
    }
    log.appendText("Check " + name.toStdString() + "\r\n");
    const bool configured =
        port_.setBaudRate(QSerialPort::Baud115200) && port_.setDataBits(QSerialPort::Data8) &&
        port_.setParity(QSerialPort::NoParity) && port_.setStopBits(QSerialPort::OneStop);
    if (!configured) {
        log.appendText("Set COM Failed.\r\n");
        close();
        return false;
    }
    port_.clearError();
    return true;
}

bool SerialLink::isOpen() const {
    return port_.isOpen();
}

std::int64_t SerialLink::bytesWaiting() {
    if (!port_.isOpen()) {
        return 0;
    }
    port_.clearError();
    return port_.bytesAvailable();
}

std::string SerialLink::read(std::size_t count) {
    if (!port_.isOpen() || count == 0) {
        return {};
    }
    const QByteArray bytes = port_.read(static_cast<qint64>(count));
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void SerialLink::write(std::string_view bytes) {
    if (!port_.isOpen() || bytes.empty()) {
        return;
    }
    port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
    port_.flush();
}

void SerialLink::purgeReceive() {
    if (port_.isOpen()) {
        port_.clear(QSerialPort::Input);
    }
}

void SerialLink::close() {
    if (port_.isOpen()) {
        port_.close();
    }
}

void SerialLink::onError(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError) {
        return;
    }
    if (closing_ || !port_.isOpen()) {
        return;
    }
    closing_ = true;
    port_.close();
    closing_ = false;
    if (onLost) {
        onLost();
    }
}

} // namespace lvx
