// bench_answer_latency: from a device's final line feed to the answer's handler.
//
// Everything runs in this process. A pseudo terminal stands for the COM port: the session
// opens its slave side through a SerialLink like any port, and a device thread on the master
// side answers each GET RXEDMD with "05\f" + CRC + "\n". The device waits a random 0 to 12 ms
// before answering, so that answers land at any point of the receive tick, as a real
// device's would. It takes a steady_clock time right after the write that carries the line
// feed; the RXEDMD handler, called by ResponseHandler after the 12 ms receive tick has read
// the answer, takes another. The main thread sends each request with SendCommand (with its
// normal pacing wait, during which the answer is received) and waits for the answer before
// the next one.
#include "BenchSupport.h"

#include "common/DebugLog.h"
#include "links/SerialLink.h"
#include "protocol/CommandTable.h"
#include "protocol/Crc16.h"
#include "protocol/DeviceRecord.h"
#include "protocol/Hex.h"
#include "protocol/ProtocolSession.h"
#include "protocol/PumpDelay.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace lvx;
using namespace lvx::bench;

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "bench_answer_latency: %s\n", message.c_str());
    std::fflush(stdout);
    return 1;
}

// The master side of the pseudo terminal: reads request lines and answers GET RXEDMD.
class DeviceThread {
public:
    DeviceThread(int master, std::size_t capacity, unsigned seed, int maxDelayUs)
        : master_(master), beforeNs_(capacity, 0), lineFeedNs_(capacity, 0), random_(seed),
          delay_(0, maxDelayUs) {
        const std::string body = "05\x0C";
        answer_ = body + Hex4(Crc16(kCrcInit, body)) + "\n";
    }

    void start() {
        thread_ = std::thread([this] { run(); });
    }
    void stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    // Valid only after stop(): the times just before the answer's write and right after it.
    const std::vector<std::int64_t>& beforeNs() const { return beforeNs_; }
    const std::vector<std::int64_t>& lineFeedNs() const { return lineFeedNs_; }
    std::size_t answered() const { return answered_.load(); }
    const std::string& error() const { return error_; }

private:
    void run() {
        std::string pending;
        char chunk[512];
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            const int ready = ::poll(&p, 1, 50);
            if (ready <= 0) {
                continue;
            }
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN) {
                    continue;
                }
                error_ = "read from the pseudo terminal failed";
                return;
            }
            pending.append(chunk, static_cast<std::size_t>(n));
            std::size_t end = 0;
            while ((end = pending.find('\n')) != std::string::npos) {
                const std::string line = pending.substr(0, end + 1);
                pending.erase(0, end + 1);
                if (line.find("$GET RXEDMD ") != std::string::npos) {
                    respond();
                }
            }
        }
    }

    void respond() {
        std::this_thread::sleep_for(std::chrono::microseconds(delay_(random_)));
        const std::int64_t before = NowNs();
        std::size_t written = 0;
        while (written < answer_.size()) {
            const ssize_t n = ::write(master_, answer_.data() + written, answer_.size() - written);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                error_ = "write to the pseudo terminal failed";
                return;
            }
            written += static_cast<std::size_t>(n);
        }
        // The line feed is the last byte of the write that just returned.
        const std::int64_t now = NowNs();
        const std::size_t index = answered_.load();
        if (index < lineFeedNs_.size()) {
            beforeNs_[index] = before;
            lineFeedNs_[index] = now;
        }
        answered_.store(index + 1);
    }

    int master_;
    std::vector<std::int64_t> beforeNs_;
    std::vector<std::int64_t> lineFeedNs_;
    std::mt19937 random_;
    std::uniform_int_distribution<int> delay_;
    std::string answer_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> answered_{0};
    std::string error_;
    std::thread thread_;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bench_answer_latency"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Delay from a device's final line feed to the answer's handler."));
    parser.addHelpOption();
    const QCommandLineOption exchangesOption(QStringLiteral("exchanges"),
                                             QStringLiteral("Measured exchanges (default 2000)."),
                                             QStringLiteral("n"), QStringLiteral("2000"));
    const QCommandLineOption warmupOption(QStringLiteral("warmup"),
                                          QStringLiteral("Exchanges not measured (default 20)."),
                                          QStringLiteral("n"), QStringLiteral("20"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the device's answer delays."),
                                        QStringLiteral("n"), QStringLiteral("1"));
    parser.addOptions({exchangesOption, warmupOption, seedOption});
    parser.process(app);
    const int measured = parser.value(exchangesOption).toInt();
    const int warmup = parser.value(warmupOption).toInt();
    if (measured <= 0 || warmup < 0) {
        return Fail("--exchanges must be positive and --warmup not negative");
    }
    const std::size_t total = static_cast<std::size_t>(measured + warmup);

    std::printf("== Answer latency: device line feed -> response handler\n");
    std::printf("machine: %ld CPUs online, load average at start %s\n", OnlineCpus(),
                LoadAverage().c_str());

    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        return Fail("openpty failed");
    }
    termios settings{};
    if (::tcgetattr(slave, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(slave, TCSANOW, &settings);
    }
    // The slave descriptor stays open for the whole run, so that the master never sees a
    // hang-up between the port's open and close.

    DeviceTable devices;
    DebugLog log;
    ProtocolSession session(devices, log);
    SerialLink link;
    if (!link.open(QString::fromLocal8Bit(name), log)) {
        return Fail(std::string("cannot open ") + name + " as a serial port");
    }
    session.setLink(&link);

    std::vector<std::int64_t> handledNs(total, 0);
    std::size_t current = 0;
    bool answered = false;
    int handlerCalls = 0;
    session.setHandler(CmdRxEdMd, [&](std::string_view) {
        const std::int64_t now = NowNs();
        ++handlerCalls;
        if (current < handledNs.size()) {
            handledNs[current] = now;
        }
        answered = true;
    });

    DeviceThread device(master, total, static_cast<unsigned>(parser.value(seedOption).toUInt()),
                        kReceiveTickMs * 1000);
    device.start();
    session.startReceiving();

    std::printf("exchanges: %d measured after %d warm-up, GET RXEDMD on %s\n", measured, warmup,
                name);
    QElapsedTimer wall;
    wall.start();
    int lost = 0;
    for (current = 0; current < total; ++current) {
        answered = false;
        session.SendCommand(ModeGet, CmdRxEdMd);
        QElapsedTimer waited;
        waited.start();
        while (!answered && waited.elapsed() < 2000) {
            PumpDelay(1);
        }
        if (!answered) {
            ++lost;
            break;
        }
    }
    const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;
    session.stopReceiving();
    device.stop();
    link.close();
    ::close(master);
    ::close(slave);

    if (!device.error().empty()) {
        return Fail(device.error());
    }
    if (lost > 0) {
        return Fail("an answer was not handled within 2 s (exchange " + std::to_string(current) +
                    ")");
    }
    if (device.answered() != total || handlerCalls != static_cast<int>(total)) {
        return Fail("device answered " + std::to_string(device.answered()) +
                    " requests, handler called " + std::to_string(handlerCalls) + " times, " +
                    std::to_string(total) + " expected");
    }

    // The line feed's time is the one taken right after the write. When the device thread
    // lost the processor around its write (the write took more than 200 us, or the answer was
    // handled before the thread got to take its time), that time is late; such an exchange
    // is measured from just before the write instead, which can only make it look slower.
    constexpr std::int64_t kWideWriteNs = 200000;
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(measured));
    int disturbed = 0;
    const std::vector<std::int64_t>& before = device.beforeNs();
    const std::vector<std::int64_t>& lineFeed = device.lineFeedNs();
    for (std::size_t i = static_cast<std::size_t>(warmup); i < total; ++i) {
        std::int64_t from = lineFeed[i];
        if (lineFeed[i] - before[i] > kWideWriteNs || handledNs[i] < lineFeed[i]) {
            from = before[i];
            ++disturbed;
        }
        const std::int64_t delta = handledNs[i] - from;
        if (delta < 0) {
            return Fail("exchange " + std::to_string(i) +
                        " was handled before its answer was written");
        }
        ms.push_back(static_cast<double>(delta) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms) {
        sum += v;
    }
    const double tick = kReceiveTickMs;
    const auto within = std::count_if(ms.begin(), ms.end(), [tick](double v) { return v <= tick; });
    const double p99 = Percentile(ms, 99);

    std::printf("run time: %.1f s (%.1f ms per exchange, the GET pacing wait is 60 ms)\n", seconds,
                1000.0 * seconds / static_cast<double>(total));
    std::printf("latency ms: min %.3f  median %.3f  mean %.3f  p90 %.3f  p99 %.3f  max %.3f\n",
                ms.front(), Percentile(ms, 50), sum / static_cast<double>(ms.size()),
                Percentile(ms, 90), p99, ms.back());
    std::printf("within one %d ms tick: %ld of %zu (%.2f %%)\n", kReceiveTickMs,
                static_cast<long>(within), ms.size(),
                100.0 * static_cast<double>(within) / static_cast<double>(ms.size()));
    std::printf("exchanges whose device thread was held up around its write (measured from "
                "before the write): %d\n",
                disturbed);
    std::printf("load average at end: %s\n", LoadAverage().c_str());

    PrintSummary("answer latency ms over " + std::to_string(measured) + " exchanges: median " +
                     Format("%.2f", Percentile(ms, 50)) + ", p90 " +
                     Format("%.2f", Percentile(ms, 90)) + ", p99 " + Format("%.2f", p99) +
                     ", max " + Format("%.2f", ms.back()),
                 "p99 under 1 ms", p99 < 1.0 ? "met" : "NOT met");
    std::fflush(stdout);
    return 0;
}
