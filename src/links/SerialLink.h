#pragma once

#include "common/DebugLog.h"
#include "protocol/ByteLink.h"

#include <QObject>
#include <QSerialPort>
#include <QStringList>

#include <string>

namespace lvx {

// The ports a Search goes through: the system's serial ports, or exactly the given paths
// (in the order given) when the user named some.
QStringList ListSerialPorts(const QStringList& given = {});

// One COM port at 115200 baud, 8 data bits, no parity, 1 stop bit, under the command protocol.
// A read or resource error (the adapter pulled, the far end of a pseudo terminal gone) closes
// the port at once and reports the loss, instead of letting the error repeat.
class SerialLink : public QObject, public ByteLink {
    Q_OBJECT
public:
    explicit SerialLink(QObject* parent = nullptr);
    ~SerialLink() override;

    // Opens and configures the port, adding the port messages to the debug log.
    bool open(const QString& name, DebugLog& log);
    QString portName() const { return name_; }

    bool isOpen() const override;
    std::int64_t bytesWaiting() override;
    std::string read(std::size_t count) override;
    void write(std::string_view bytes) override;
    void purgeReceive() override;
    void close() override;

private:
    void onError(QSerialPort::SerialPortError error);
    // Why the port did not open and what to do, for the user (not only the trace): it does not
    // exist, the user may not open it (which group would let them), another program holds it.
    std::string openFailureHint(const std::string& name) const;

    QSerialPort port_;
    QString name_;
    bool closing_ = false;
};

} // namespace lvx
