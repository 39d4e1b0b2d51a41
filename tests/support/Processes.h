#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <csignal>

namespace lvx::test {

inline QString BinDir() {
    return QStringLiteral(LVX_BIN_DIR);
}

// linkvex-devsim as a child process, stopped when this object goes.
class Devsim {
public:
    Devsim() = default;
    explicit Devsim(const QStringList& arguments) { start(arguments); }
    ~Devsim() { stop(); }
    Devsim(const Devsim&) = delete;
    Devsim& operator=(const Devsim&) = delete;

    // Starts it and reads the pseudo terminal paths it prints until "ready".
    bool start(const QStringList& arguments) {
        process_.setProgram(BinDir() + QStringLiteral("/linkvex-devsim"));
        process_.setArguments(arguments);
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start();
        if (!process_.waitForStarted(5000)) {
            return false;
        }
        for (;;) {
            while (!process_.canReadLine()) {
                if (process_.state() == QProcess::NotRunning || !process_.waitForReadyRead(5000)) {
                    return false;
                }
            }
            const QByteArray line = process_.readLine().trimmed();
            if (line == "ready") {
                return true;
            }
            paths_ << QString::fromLocal8Bit(line);
        }
    }

    // SIGKILL: the device vanishes without a word.
    void kill() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    void stop() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000)) {
                kill();
            }
        }
    }

    const QStringList& paths() const { return paths_; }
    QString path(int i = 0) const { return paths_.value(i); }
    QProcess& process() { return process_; }

private:
    QProcess process_;
    QStringList paths_;
};

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs linkvex-cli to its end.
inline CliRun RunCli(const QStringList& arguments, int timeoutMs = 30000) {
    QProcess process;
    process.start(BinDir() + QStringLiteral("/linkvex-cli"), arguments);
    CliRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(3000);
        run.err = "timed out";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace lvx::test
