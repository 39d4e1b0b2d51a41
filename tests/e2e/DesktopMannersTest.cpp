// The programs as a new user meets them: help and version without a display, every CLI
// command documented, and a serial port the user may not open explained in plain words.
#include "support/Processes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lvx::test;

namespace {

struct ProgramRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ProgramRun RunProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(3000);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// No display at all, and the X11 platform asked for: a program that opened the window system
// would fail here.
QProcessEnvironment NoDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    return env;
}

// The command names of linkvex-cli's help text ("Commands:" up to the next blank line).
QStringList CliCommands() {
    const CliRun help = RunCli({"--help"});
    QStringList commands;
    bool inside = false;
    for (const QByteArray& line : help.out.split('\n')) {
        if (line.startsWith("Commands:")) {
            inside = true;
            continue;
        }
        if (inside && line.trimmed().isEmpty()) {
            break;
        }
        // A command starts two blanks in; a longer indent continues the line above.
        if (inside && line.startsWith("  ") && line.size() > 2 && line[2] != ' ') {
            commands << QString::fromLatin1(line.trimmed().split(' ').first());
        }
    }
    return commands;
}

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(ProgramWithoutDisplay, HelpAndVersionPrintAndEnd) {
    const QString linkvex = BinDir() + "/linkvex";
    for (const QString& option : {QString("--help"), QString("-h")}) {
        const ProgramRun help = RunProgram(linkvex, {option}, NoDisplay());
        EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
        EXPECT_TRUE(help.out.startsWith("Usage: linkvex [options]\n"));
        EXPECT_TRUE(help.out.contains("--port PATH"));
        EXPECT_TRUE(help.out.contains("--search"));
        EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();
    }
    for (const QString& option : {QString("--version"), QString("-v")}) {
        const ProgramRun version = RunProgram(linkvex, {option}, NoDisplay());
        EXPECT_EQ(version.exitCode, 0);
        EXPECT_EQ(version.out, QByteArray("linkvex " LVX_VERSION "\n"));
    }
    // A wrong option is a usage error, also without a display.
    const ProgramRun wrong = RunProgram(linkvex, {"--bogus"}, NoDisplay());
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.err.contains("bogus"));
}

TEST(ProgramWithoutDisplay, BothProgramsPrintTheSameVersionLine) {
    const CliRun cli = RunCli({"--version"});
    EXPECT_EQ(cli.exitCode, 0);
    // One line, ended by a line feed.
    EXPECT_EQ(cli.out, QByteArray("linkvex-cli " LVX_VERSION "\n"));
    const ProgramRun program = RunProgram(BinDir() + "/linkvex", {"--version"}, NoDisplay());
    EXPECT_EQ(program.out.mid(program.out.indexOf(' ')), cli.out.mid(cli.out.indexOf(' ')));
}

TEST(Documentation, EveryCliCommandIsInTheReadmeAndTheManualPage) {
    const QStringList commands = CliCommands();
    // The commands the issue of the day named, at least.
    for (const char* known : {"ports", "search", "info", "analyze", "read-edid", "write-edid",
                              "get-mode", "set-mode", "validate"}) {
        EXPECT_TRUE(commands.contains(known)) << known;
    }
    const QString readme = ReadText(QStringLiteral(LVX_SOURCE_DIR "/README.md"));
    const QString manual =
        ReadText(QStringLiteral(LVX_SOURCE_DIR "/packaging/linux/linkvex-cli.1.in"));
    ASSERT_FALSE(readme.isEmpty());
    ASSERT_FALSE(manual.isEmpty());
    for (const QString& command : commands) {
        EXPECT_TRUE(readme.contains("linkvex-cli " + command + " ") ||
                    readme.contains("linkvex-cli " + command + "\n"))
            << "README.md lacks linkvex-cli " << command.toStdString();
        // Manual pages escape the hyphen.
        QString escaped = command;
        escaped.replace("-", "\\-");
        EXPECT_TRUE(
            QRegularExpression("^\\.B[I]? \"?" + QRegularExpression::escape(escaped) + "[ \"\\n]",
                               QRegularExpression::MultilineOption)
                .match(manual)
                .hasMatch() ||
            manual.contains("\\fB" + escaped + "\\fR"))
            << "linkvex-cli(1) lacks " << command.toStdString();
    }
}

// A pseudo terminal of linkvex-devsim that the user running linkvex-cli may not open. As
// root, permissions do not hold: the node is given to the group "dialout" with mode 0660 and
// linkvex-cli runs as "nobody". Otherwise the node (ours) gets mode 0000 and linkvex-cli runs
// as we are.
TEST(SerialPermission, ARefusedPortNamesTheNodesGroupAndANewLogin) {
    Devsim device({"--counts", "1,1,1,1,0"});
    const QString node = device.path();
    ASSERT_FALSE(node.isEmpty());
    const QByteArray path = node.toLocal8Bit();

    QString program = BinDir() + "/linkvex-cli";
    QStringList prefix;
    QString groupName;
    QTemporaryDir copy;
    if (geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (setpriv.isEmpty()) {
            GTEST_SKIP() << "setpriv (util-linux) is missing: cannot run as another user";
        }
        const struct group* dialout = getgrnam("dialout");
        ASSERT_NE(dialout, nullptr) << "no group dialout";
        ASSERT_EQ(chown(path.constData(), 0, dialout->gr_gid), 0);
        ASSERT_EQ(chmod(path.constData(), 0660), 0);
        groupName = "dialout";
        // "nobody" may not reach the build folder: a copy in a folder it can read.
        ASSERT_TRUE(copy.isValid());
        ASSERT_EQ(chmod(QFile::encodeName(copy.path()).constData(), 0755), 0);
        const QString copied = copy.filePath("linkvex-cli");
        ASSERT_TRUE(QFile::copy(program, copied));
        program = copied;
        prefix = {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--", program};
        program = setpriv;
    } else {
        struct stat info {};
        ASSERT_EQ(stat(path.constData(), &info), 0);
        const struct group* owner = getgrgid(info.st_gid);
        groupName = owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
        ASSERT_EQ(chmod(path.constData(), 0), 0);
    }

    const QStringList search = {"search", "--no-ethernet", "--port", node};
    const ProgramRun plain =
        RunProgram(program, prefix + search, QProcessEnvironment::systemEnvironment());
    EXPECT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    const QString err = QString::fromLocal8Bit(plain.err);
    // Plain words on standard error, without --trace: the node, its group, the fix.
    EXPECT_TRUE(err.contains("linkvex-cli: No permission to open " + node + ":"))
        << err.toStdString();
    EXPECT_TRUE(err.contains("\"" + groupName + "\"")) << err.toStdString();
    EXPECT_TRUE(err.contains("log out and log in again")) << err.toStdString();
    EXPECT_TRUE(err.contains("No device found."));

    // The debug memo (the trace prints it) has the same words right after the open failure.
    const ProgramRun traced = RunProgram(program, prefix + search + QStringList{"--trace"},
                                         QProcessEnvironment::systemEnvironment());
    const QString trace = QString::fromLocal8Bit(traced.err);
    const int failed = trace.indexOf("Open " + node + " Failed.");
    const int hint = trace.indexOf("No permission to open " + node + ":");
    EXPECT_GE(failed, 0) << trace.toStdString();
    EXPECT_GT(hint, failed) << trace.toStdString();
    // Printed once, not again as a notice beside the trace.
    EXPECT_EQ(trace.count("No permission to open"), 1);
}

TEST(SerialPermission, AnOpenPortGetsNoHint) {
    Devsim device({"--counts", "1,1,1,1,0"});
    const CliRun run = RunCli({"search", "--no-ethernet", "--port", device.path()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(run.err.contains("permission")) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(device.path().toLocal8Bit()));
}
