// linkvex-cli multicom and multicom-config against linkvex-devsim's channels over pseudo
// terminals.
#include "support/Processes.h"
#include "support/QtTestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace lvx::test;

namespace {

// The numbered lines the simulator streams on a channel, `count` bytes of them.
QByteArray Stream(char letter, int count) {
    QByteArray all;
    for (int line = 1; all.size() < count; ++line) {
        all += letter + QByteArray::number(line).rightJustified(6, '0') +
               " abcdefghijklmnopqrstuvwxyz 0123456789\r\n";
    }
    return all.left(count);
}

// Splits prefixed output ("A: ...") back into each channel's text. The stream's own line
// ends are "\r\n"; a lone "\n" is a line the printer ended because another channel spoke.
std::map<char, QByteArray> ByChannel(const QByteArray& out, bool* wellFormed) {
    std::map<char, QByteArray> texts;
    *wellFormed = true;
    int start = 0;
    while (start < out.size()) {
        int end = out.indexOf('\n', start);
        end = end < 0 ? out.size() : end + 1;
        const QByteArray line = out.mid(start, end - start);
        start = end;
        if (line.size() < 4 || line[1] != ':' || line[2] != ' ') {
            *wellFormed = false;
            continue;
        }
        QByteArray text = line.mid(3);
        if (text.endsWith('\n') && !text.endsWith("\r\n")) {
            text.chop(1);
        }
        texts[line[0]] += text;
    }
    return texts;
}

QStringList Args(const QString& command, const QString& port, const QStringList& extra = {}) {
    return QStringList{command, QStringLiteral("--port"), port} + extra;
}

class MultiComCli : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        ASSERT_TRUE(dir.isValid());
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(MultiComCli, TwoChannelsArriveInOrderWithNothingLost) {
    Devsim device({"--counts", "2,1,4,8,2", "--channel-rate", "A=600", "--channel-rate", "B=400",
                   "--channel-chunk", "1014"});
    ASSERT_FALSE(device.path().isEmpty());
    const QString log = dir.filePath("channels.log");
    const CliRun run = RunCli(Args("multicom", device.path(), {"--seconds", "3", "--log", log}));
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    bool wellFormed = false;
    const std::map<char, QByteArray> texts = ByChannel(run.out, &wellFormed);
    EXPECT_TRUE(wellFormed) << run.out.left(400).constData();
    ASSERT_EQ(texts.size(), 2u) << run.out.left(400).constData();
    for (const auto& [letter, text] : texts) {
        EXPECT_EQ(text, Stream(letter, text.size())) << letter;
    }
    EXPECT_GE(texts.at('A').size(), 900);
    EXPECT_GE(texts.at('B').size(), 600);
    // The log holds what was shown.
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), run.out);
}

TEST_F(MultiComCli, OneChannelIsShownAsItCameAndAsJson) {
    Devsim device({"--counts", "2,1,4,8,3", "--channel-text", "B=caf\\xe9\\r\\n\\x80end",
                   "--channel-rate", "C=300"});
    // The text of the channels not shown is taken from the device all the same.
    Devsim second({"--counts", "2,1,4,8,3", "--channel-rate", "C=300"});
    ASSERT_FALSE(device.path().isEmpty());
    ASSERT_FALSE(second.path().isEmpty());
    const CliRun raw =
        RunCli(Args("multicom", device.path(), {"--channel", "b", "--seconds", "1.5"}));
    ASSERT_EQ(raw.exitCode, 0) << raw.err.constData();
    EXPECT_EQ(raw.out, QByteArray("caf\xE9\r\n\x80"
                                  "end"));

    const CliRun json =
        RunCli(Args("multicom", second.path(), {"--channel", "C", "--seconds", "2", "--json"}));
    ASSERT_EQ(json.exitCode, 0) << json.err.constData();
    QByteArray text;
    for (const QByteArray& line : json.out.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        EXPECT_EQ(o["channel"].toString(), "C") << line.constData();
        text += o["text"].toString().toLatin1();
    }
    EXPECT_GE(text.size(), 300);
    EXPECT_EQ(text, Stream('C', text.size()));
}

TEST_F(MultiComCli, ChannelsTheDeviceDoesNotHaveAndBadArguments) {
    Devsim none({"--counts", "2,1,4,8,0"});
    Devsim two({"--counts", "2,1,4,8,2"});
    ASSERT_FALSE(none.path().isEmpty());
    ASSERT_FALSE(two.path().isEmpty());

    CliRun run = RunCli(Args("multicom", none.path(), {"--seconds", "1"}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("no serial channels")) << run.err.constData();
    run = RunCli(Args("multicom", two.path(), {"--channel", "A", "--channel", "E"}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("no channel E")) << run.err.constData();
    run = RunCli(Args("multicom-config", two.path(), {"--channel", "C"}));
    EXPECT_EQ(run.exitCode, 1);

    for (const QStringList& args :
         {Args("multicom", two.path(), {"--channel", "H"}),
          Args("multicom", two.path(), {"--channel", "AB"}),
          Args("multicom", two.path(), {"--seconds", "0"}),
          Args("multicom", two.path(), {"--seconds", "soon"}), QStringList{"multicom"},
          Args("multicom-config", two.path()),
          Args("multicom-config", two.path(), {"--channel", "A", "--channel", "B"}),
          Args("multicom-config", two.path(), {"--channel", "A", "--baud", "1234"}),
          Args("multicom-config", two.path(), {"--channel", "A", "--data", "9"}),
          Args("multicom-config", two.path(), {"--channel", "A", "--parity", "mark"})}) {
        run = RunCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
    }
}

TEST_F(MultiComCli, ASettingsChangeIsSentAndTheDeviceThenReportsIt) {
    const QString log = dir.filePath("device.log");
    Devsim device({"--counts", "2,1,4,8,4", "--channel-config", "D=3,3,0", "--log", log});
    ASSERT_FALSE(device.path().isEmpty());

    CliRun run = RunCli(Args("multicom-config", device.path(), {"--channel", "D"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(run.out, "Channel D: baud rate 9600, data 8bits, parity None\n");

    run = RunCli(Args("multicom-config", device.path(), {"--channel", "d", "--parity", "ODD"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(run.out, "Channel D: baud rate 9600, data 8bits, parity Odd\n");
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray requests = file.readAll();
    EXPECT_EQ(requests.count("RX $SET COM_CONFIG "), 1);
    EXPECT_TRUE(requests.contains("RX $SET COM_CONFIG 03030301"));

    // A later run reads the device's settings: it kept them.
    run = RunCli(Args("multicom-config", device.path(),
                      {"--channel", "D", "--baud", "115200", "--data", "7", "--json"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject o = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(o["channel"].toString(), "D");
    EXPECT_EQ(o["baud"].toInt(), 115200);
    EXPECT_EQ(o["dataBits"].toInt(), 7);
    EXPECT_EQ(o["parity"].toString(), "Odd");
    EXPECT_EQ(o["parityIndex"].toInt(), 1);
}

TEST_F(MultiComCli, ALogThatCannotBeWrittenKeepsTheOldFile) {
    Devsim device(
        {"--counts", "2,1,4,8,1", "--channel-rate", "A=flood", "--channel-chunk", "1014"});
    ASSERT_FALSE(device.path().isEmpty());
    const QString log = dir.filePath("kept.txt");
    {
        QFile old(log);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("the old log");
    }
    // A file size limit of 1 KiB stands for a full disk.
    QProcess process;
    process.start(QStringLiteral("bash"),
                  {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 1; exec \"$@\""),
                   QStringLiteral("limited"), BinDir() + QStringLiteral("/linkvex-cli"),
                   QStringLiteral("multicom"), QStringLiteral("--port"), device.path(),
                   QStringLiteral("--seconds"), QStringLiteral("1.5"), QStringLiteral("--log"),
                   log});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    EXPECT_EQ(process.exitCode(), 1) << err.constData();
    EXPECT_GT(out.size(), 1024); // shown all the same
    EXPECT_TRUE(err.contains("could not be saved")) << err.constData();
    QFile kept(log);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("the old log"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}
