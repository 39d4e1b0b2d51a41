#pragma once

#include "devsim/serial/SerialProfile.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace lvx::sim {

// A device on a pseudo terminal that speaks the serial command protocol: it reads request
// lines, checks their CRC and answers them from its profile.
class SerialDeviceSim : public QObject {
    Q_OBJECT
public:
    explicit SerialDeviceSim(SerialProfile profile, QObject* parent = nullptr);
    ~SerialDeviceSim() override;

    // Opens the pseudo terminal; the path of its slave side is what a client opens.
    bool start(QString* error);
    QString path() const { return path_; }

    // Every request line and answer, one per line with a millisecond time stamp.
    void setLogFile(const QString& file);

    int answersSent() const { return answerCount_; }

    // Bytes as they arrive from the program: whole request lines are answered at once. The
    // pseudo terminal feeds this; a test or a fuzz target may call it without one.
    void receive(const char* data, qsizetype size);
    // Where answers go instead of the pseudo terminal (each call one write of the device).
    void setOutput(std::function<void(const QByteArray&)> output) { output_ = std::move(output); }

private:
    void onReadable();
    void handleLine(const QByteArray& line);
    void answer(const QByteArray& body);
    int command_ = -1; // the command being answered
    QMap<int, int> commandAnswers_;
    void answerRaw(QByteArray bytes, bool countsAsAnswer);
    void sendNow(const QByteArray& bytes);
    void log(const char* direction, const QByteArray& bytes);
    QByteArray edidOf(std::uint32_t selector) const;
    QByteArray nodeDescriptor() const;
    // Loader mode: FW_ADDR, FW_DATA, FW_CHK and FW_END; everything else goes unanswered.
    void handleLoader(int command, const QByteArray& payload);
    // Text that arrived on the streaming channels since the last poll.
    void arriveOnChannels();
    int chunk() const;

    SerialProfile profile_;
    int master_ = -1;
    int slave_ = -1;
    QString path_;
    std::function<void(const QByteArray&)> output_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray pending_;
    std::uint32_t selector_ = 0;
    int answerCount_ = 0;
    int nextChannel_ = 1;
    QMap<int, qint64> streamed_; // bytes of each channel's line stream made so far
    qint64 sendAt_ = 0;          // time before which queued pieces are not sent
    QElapsedTimer clock_;
    QFile logFile_;
    QString factoryProduct_; // the product string SYS_DEF brings back
    // Loader mode: the flash (erased bytes are 0xFF), the address FW_ADDR gave, the address
    // of the last block written and the FW_CHK answers per page.
    QByteArray flash_;
    std::uint32_t flashAddress_ = 0;
    std::uint32_t lastBlock_ = 0;
    QMap<int, int> pageChecks_;

public:
    const QByteArray& flash() const { return flash_; }
};

} // namespace lvx::sim
