#include "devsim/serial/SerialDeviceSim.h"

#include "devsim/net/SimNetDevice.h"
#include "protocol/CommandTable.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"

#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace lvx::sim {

namespace {

QByteArray hexOf(const QByteArray& bytes) {
    return bytes.toHex().toUpper();
}

QByteArray printable(const QByteArray& bytes) {
    QByteArray out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\x0C') {
            out += "\\f";
        } else if (u < 0x20 || u >= 0x7F) {
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

SerialDeviceSim::SerialDeviceSim(SerialProfile profile, QObject* parent)
    : QObject(parent), profile_(std::move(profile)), factoryProduct_(profile_.productString) {
    clock_.start();
}

SerialDeviceSim::~SerialDeviceSim() {
    notifier_.reset();
    if (master_ >= 0) {
        ::close(master_);
    }
    if (slave_ >= 0) {
        ::close(slave_);
    }
}

bool SerialDeviceSim::start(QString* error) {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        if (error) {
            *error =
                QStringLiteral("openpty failed: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        }
        return false;
    }
    termios settings{};
    if (::tcgetattr(slave_, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(slave_, TCSANOW, &settings);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    path_ = QString::fromLocal8Bit(name);
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SerialDeviceSim::onReadable);
    return true;
}

void SerialDeviceSim::setLogFile(const QString& file) {
    logFile_.setFileName(file);
    logFile_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

void SerialDeviceSim::log(const char* direction, const QByteArray& bytes) {
    if (!logFile_.isOpen()) {
        return;
    }
    logFile_.write(QByteArray::number(clock_.elapsed()) + ' ' + direction + ' ' + printable(bytes) +
                   '\n');
}

void SerialDeviceSim::onReadable() {
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(master_, chunk, sizeof(chunk));
        if (n > 0) {
            receive(chunk, static_cast<qsizetype>(n));
            continue;
        }
        break;
    }
}

void SerialDeviceSim::receive(const char* data, qsizetype size) {
    pending_.append(data, size);
    // Without a line feed a line never grows past what a request can hold.
    if (pending_.size() > 8192 && !pending_.contains('\n')) {
        pending_.clear();
    }
    int end = 0;
    while ((end = pending_.indexOf('\n')) >= 0) {
        QByteArray line = pending_.left(end + 1);
        pending_.remove(0, end + 1);
        log("RX", line);
        handleLine(line);
    }
}

void SerialDeviceSim::handleLine(const QByteArray& raw) {
    const int dollar = raw.indexOf('$');
    if (dollar < 0) {
        return;
    }
    QByteArray line = raw.mid(dollar + 1).trimmed();
    const QList<QByteArray> words = line.split(' ');
    if (words.isEmpty()) {
        return;
    }
    if (words[0] == "ENTRANCE") {
        if (!profile_.ispMarker.isEmpty()) {
            answerRaw(profile_.ispMarker.toLatin1() + profile_.ispModel.toLatin1() + "\r\n", true);
        } else {
            answer("$ACCEPT");
        }
        if (!profile_.floodAfterEntrance.isEmpty()) {
            answerRaw(profile_.floodAfterEntrance, false);
        }
        return;
    }
    if (words.size() < 3 || (words[0] != "GET" && words[0] != "SET")) {
        return;
    }
    const bool isSet = words[0] == "SET";
    const int command = CommandByName(std::string_view(words[1].constData(), words[1].size()));
    const QByteArray tail = words[2];
    if (command < 0 || tail.size() < 4) {
        return;
    }
    const QByteArray payloadHex = tail.left(tail.size() - 4);
    const QByteArray crc = tail.right(4);
    if (QByteArray::fromStdString(Hex4(
            Crc16(kCrcInit, std::string_view(payloadHex.constData(), payloadHex.size())))) != crc) {
        log("ERR", "bad request CRC");
        return;
    }
    const QByteArray payload = QByteArray::fromHex(payloadHex);
    command_ = command;
    if (profile_.muted.contains(command)) {
        log("MUTE", words[1]);
        return;
    }
    if (!profile_.ispMarker.isEmpty()) {
        handleLoader(command, payload);
        return;
    }
    const auto byteAt = [&](int i) {
        return i < payload.size() ? static_cast<unsigned char>(payload[i]) : 0;
    };

    switch (command) {
    case CmdSysDscpt: {
        if (isSet) {
            break;
        }
        const QStringList fields = {profile_.vid,
                                    profile_.pid,
                                    profile_.model,
                                    profile_.productString,
                                    QStringLiteral("x"),
                                    profile_.version,
                                    profile_.flag7 ? QStringLiteral("T") : QStringLiteral("F"),
                                    QString::number(profile_.inputs),
                                    QString::number(profile_.outputs),
                                    QString::number(profile_.users),
                                    QString::number(profile_.internals),
                                    QString::number(profile_.channels)};
        QByteArray body;
        for (const QString& f : fields) {
            body += f.toLatin1() + '\x0C';
        }
        answer(body);
        return;
    }
    case CmdNdSel:
        if (isSet) {
            selector_ = (byteAt(0) << 8) | byteAt(1);
        }
        break;
    case CmdNdDscpt:
        if (!isSet) {
            answer(nodeDescriptor());
            return;
        }
        break;
    case CmdNdEd0A:
    case CmdNdEd0B:
    case CmdNdEd1A:
    case CmdNdEd1B: {
        const int base = (command - CmdNdEd0A) * 64;
        if (!isSet) {
            answer(hexOf(edidOf(selector_).mid(base, 64)));
            return;
        }
        const std::uint32_t kind = selector_ >> 12;
        if (kind == 0 || kind == 2) {
            QByteArray image = edidOf(selector_);
            image.replace(base, 64, payload.left(64).leftJustified(64, '\0'));
            profile_.edids[selector_] = image;
        }
        break;
    }
    case CmdRxEdMd: {
        const int input = static_cast<int>(selector_ & 0x0FFF);
        if (!isSet) {
            answer(QByteArray::number(profile_.inputModes.value(input, 0)).rightJustified(2, '0') +
                   '\x0C');
            return;
        }
        profile_.inputModes[input] = byteAt(0);
        break;
    }
    case CmdComMsg:
        if (!isSet) {
            arriveOnChannels();
            const int channels = qMax(1, profile_.channels);
            int channel = nextChannel_;
            // Channels with text waiting go first.
            for (int i = 0; i < channels; ++i) {
                const int c = (nextChannel_ - 1 + i) % channels + 1;
                if (!profile_.channelData.value(c).isEmpty()) {
                    channel = c;
                    break;
                }
            }
            nextChannel_ = channel % channels + 1;
            QByteArray text = profile_.channelData.value(channel).left(chunk());
            profile_.channelData[channel].remove(0, text.size());
            answer("CH" + QByteArray(1, static_cast<char>('A' + channel - 1)) + ':' + text +
                   '\x0C');
            return;
        }
        break;
    case CmdComConfig:
        if (!isSet) {
            QByteArray baud, length, parity;
            for (int c = 1; c <= profile_.channels; ++c) {
                const std::array<int, 3> config = profile_.channelConfig.value(c, {8, 3, 0});
                baud += QByteArray::number(config[0]).rightJustified(2, '0');
                length += QByteArray::number(config[1]);
                parity += QByteArray::number(config[2]);
            }
            answer(baud + '\x0C' + length + '\x0C' + parity + '\x0C');
            return;
        }
        if (byteAt(0) < profile_.channels) {
            profile_.channelConfig[byteAt(0) + 1] = {byteAt(1), byteAt(2), byteAt(3)};
        }
        break;
    case CmdSysDef:
        if (isSet) {
            profile_.productString = factoryProduct_;
            profile_.inputModes.clear();
        }
        break;
    case CmdSysStr:
        if (isSet) {
            QByteArray text = payload;
            const int zero = text.indexOf('\0');
            if (zero >= 0) {
                text.truncate(zero);
            }
            profile_.productString = QString::fromLatin1(text);
        }
        break;
    default:
        break;
    }
    answer("OK");
}

void SerialDeviceSim::handleLoader(int command, const QByteArray& payload) {
    // A flash far larger than any firmware is not grown for a stray address.
    constexpr std::uint32_t kFlashLimit = 32u * 1024u * 1024u;
    constexpr std::uint32_t kPage = 2048;
    // The loader takes only frames of its own shape.
    const bool loader091 = profile_.ispMarker.contains(QLatin1String("091"));
    const int addressSize = loader091 ? 4 : 2;
    const int blockSize = loader091 ? 128 : 64;
    const bool frame = command == CmdFwAddr || command == CmdFwData;
    if (frame && (profile_.rejectFrames ||
                  payload.size() != (command == CmdFwAddr ? addressSize : blockSize))) {
        const std::string_view name = CommandName(static_cast<std::uint16_t>(command));
        log("REJECT", QByteArray(name.data(), static_cast<int>(name.size())) + " of " +
                          QByteArray::number(payload.size()) + " bytes");
        return;
    }
    if (command == CmdFwChk && !loader091) {
        log("REJECT", "FW_CHK: this loader has no page check");
        return;
    }
    switch (command) {
    case CmdFwAddr:
        flashAddress_ = 0;
        for (char c : payload) {
            flashAddress_ = flashAddress_ << 8 | static_cast<unsigned char>(c);
        }
        return;
    case CmdFwData: {
        const std::uint32_t end = flashAddress_ + static_cast<std::uint32_t>(payload.size());
        if (flashAddress_ > kFlashLimit || end > kFlashLimit) {
            log("ERR", "block beyond the flash");
            return;
        }
        if (static_cast<std::uint32_t>(flash_.size()) < end) {
            flash_.append(QByteArray(static_cast<int>(end) - flash_.size(), '\xFF'));
        }
        flash_.replace(static_cast<int>(flashAddress_), payload.size(), payload);
        lastBlock_ = flashAddress_;
        return;
    }
    case CmdFwChk: {
        const int page = static_cast<int>(lastBlock_ / kPage);
        const int check = ++pageChecks_[page];
        if (profile_.checkSilent.contains(page)) {
            log("MUTE", "FW_CHK of page " + QByteArray::number(page));
            return;
        }
        unsigned sum = 0;
        for (std::uint32_t i = 0; i < kPage; ++i) {
            const std::uint32_t at = static_cast<std::uint32_t>(page) * kPage + i;
            sum += at < static_cast<std::uint32_t>(flash_.size())
                       ? static_cast<unsigned char>(flash_[static_cast<int>(at)])
                       : 0xFFu;
        }
        const int wrong = profile_.checkWrong.value(page, 0);
        if (wrong < 0 || check <= wrong) {
            ++sum;
        }
        answerRaw("$CHK" + QByteArray::number(sum & 0xFFFF).rightJustified(5, '0') + "\r\n", true);
        return;
    }
    case CmdFwEnd:
        if (!profile_.flashFile.isEmpty()) {
            QFile out(profile_.flashFile);
            if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                out.write(flash_);
            }
        }
        return;
    default:
        return;
    }
}

int SerialDeviceSim::chunk() const {
    return qBound(1, profile_.channelChunk, kChannelChunkMax);
}

void SerialDeviceSim::arriveOnChannels() {
    // A device keeps this much text per channel; older text is lost (and logged).
    constexpr int kKept = 1024 * 1024;
    const qint64 now = clock_.elapsed();
    auto add = [this](int channel, qint64 count) {
        qint64& made = streamed_[channel];
        QByteArray& waiting = profile_.channelData[channel];
        waiting += ChannelStreamBytes(channel, made, count);
        made += count;
        if (waiting.size() > kKept) {
            log("LOST", QByteArray::number(waiting.size() - kKept) + " bytes of channel " +
                            QByteArray(1, static_cast<char>('A' + channel - 1)));
            waiting.remove(0, waiting.size() - kKept);
        }
    };
    for (auto it = profile_.channelRate.cbegin(); it != profile_.channelRate.cend(); ++it) {
        const qint64 due = static_cast<qint64>(it.value()) * now / 1000;
        if (due > streamed_.value(it.key())) {
            add(it.key(), due - streamed_.value(it.key()));
        }
    }
    for (const int channel : profile_.channelFlood) {
        const qint64 missing = chunk() - profile_.channelData.value(channel).size();
        if (missing > 0) {
            add(channel, missing);
        }
    }
}

QByteArray SerialDeviceSim::nodeDescriptor() const {
    const std::uint32_t kind = selector_ >> 12;
    const QStringList& fields = kind == 1 ? profile_.outputNodeFields : profile_.inputNodeFields;
    QByteArray body;
    for (const QString& f : fields) {
        body += f.toLatin1() + '\x0C';
    }
    return body;
}

QByteArray SerialDeviceSim::edidOf(std::uint32_t selector) const {
    if (profile_.edids.contains(selector)) {
        return profile_.edids.value(selector);
    }
    const EdidImage image = DefaultSimEdid(static_cast<std::uint16_t>(selector));
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<int>(image.size()));
}

void SerialDeviceSim::answer(const QByteArray& rightBody) {
    const int occurrence = ++commandAnswers_[command_];
    QByteArray body = rightBody;
    const QSet<int> wrong = profile_.wrongCommand.value(command_);
    if (wrong.contains(occurrence) || wrong.contains(0)) {
        // Well formed, valid CRC, but not what was asked for.
        body = profile_.wrongText.contains(command_) ? profile_.wrongText.value(command_)
               : rightBody == "OK"                   ? QByteArray("0102")
                                                     : QByteArray("OK");
        log("WRONG", body);
    }
    const std::string crc = Hex4(Crc16(kCrcInit, std::string_view(body.constData(), body.size())));
    QByteArray bytes = body + QByteArray::fromStdString(crc) + '\n';
    if (profile_.corruptCommand.value(command_).contains(occurrence)) {
        bytes[bytes.size() - 2] = bytes[bytes.size() - 2] == '0' ? '1' : '0';
    }
    answerRaw(bytes, true);
}

void SerialDeviceSim::answerRaw(QByteArray bytes, bool countsAsAnswer) {
    if (profile_.silent) {
        return;
    }
    if (countsAsAnswer) {
        if (profile_.silentAfter >= 0 && answerCount_ >= profile_.silentAfter) {
            return;
        }
        const int number = ++answerCount_;
        if (profile_.drop.contains(number)) {
            log("DROP", bytes);
            return;
        }
        if (profile_.corruptCrc.contains(number) && bytes.size() >= 5) {
            // Flip one CRC digit: the answer keeps its layout but fails the check.
            const int at = bytes.size() - 2;
            bytes[at] = bytes[at] == '0' ? '1' : '0';
        }
    }
    if (profile_.splitBytes <= 0 && profile_.answerDelayMs <= 0) {
        sendNow(bytes);
        return;
    }
    // Pieces go out in order after the given pauses, also across several answers.
    const int piece = profile_.splitBytes > 0 ? profile_.splitBytes : bytes.size();
    qint64 at = qMax(clock_.elapsed(), sendAt_) + profile_.answerDelayMs;
    for (int offset = 0; offset < bytes.size(); offset += piece) {
        const QByteArray part = bytes.mid(offset, piece);
        QTimer::singleShot(static_cast<int>(at - clock_.elapsed()), Qt::PreciseTimer, this,
                           [this, part] { sendNow(part); });
        at += profile_.splitDelayMs;
    }
    sendAt_ = at;
}

void SerialDeviceSim::sendNow(const QByteArray& bytes) {
    log("TX", bytes);
    if (output_) {
        output_(bytes);
        return;
    }
    qint64 offset = 0;
    int stalls = 0;
    while (offset < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + offset,
                                  static_cast<size_t>(bytes.size() - offset));
        if (n <= 0) {
            // Nobody reads the other side: give up after half a second.
            if (errno == EAGAIN && ++stalls < 500) {
                ::usleep(1000);
                continue;
            }
            return;
        }
        offset += n;
    }
}

} // namespace lvx::sim
