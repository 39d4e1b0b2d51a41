// The activity log without a window: which statuses it keeps and in which words, its lines,
// its cap, and the reasons of an empty Search on ports that are not there.
#include "connection/ActivityLog.h"
#include "connection/ConnectionController.h"
#include "connection/FlowTool.h"
#include "support/QtTestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lvx;

namespace {

class FakeTool : public FlowTool {
public:
    using FlowTool::FlowTool;
    void say(const QString& text, Severity severity, const QString& detail = {}) {
        report(text, severity, detail);
    }
    void start(const QString& what, const QString& node) { begin(what, node); }
};

QDateTime Noon() {
    return QDateTime(QDate(2026, 3, 4), QTime(12, 5, 9));
}

TEST(ActivityLog, KeepsResultsInTheirLongerWordsAndLeavesProgressOut) {
    ConnectionController connection;
    FakeTool tool(connection);
    ActivityLog log;
    log.setClock(Noon);
    log.follow(tool, "the test flow");

    tool.start("Saving Input 2 EDID", "Input 2");
    tool.say("40%", Severity::Info);     // progress: left out
    tool.say(QString(), Severity::Info); // nothing to say: left out
    tool.say("Ok.", Severity::Success, "Saved Input 2 EDID to /tmp/a.bin");
    tool.say("Edid Read Fail.", Severity::Failure, "no answer to block 3");
    tool.say("Edid Read Fail.", Severity::Failure, "Edid Read Fail. twice"); // not doubled
    tool.say("Default Fail.", Severity::Failure);
    tool.say(QString(), Severity::Info, "Wrote the description"); // detail kept

    const QStringList expected = {"Saving Input 2 EDID",
                                  "Saved Input 2 EDID to /tmp/a.bin",
                                  "Edid Read Fail. no answer to block 3",
                                  "Edid Read Fail. twice",
                                  "Default Fail.",
                                  "Wrote the description"};
    ASSERT_EQ(log.entries().size(), static_cast<std::size_t>(expected.size()));
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(log.entries()[static_cast<std::size_t>(i)].text, expected[i]) << i;
        EXPECT_EQ(log.entries()[static_cast<std::size_t>(i)].node, QString("Input 2")) << i;
        // Nothing selected: no device named.
        EXPECT_TRUE(log.entries()[static_cast<std::size_t>(i)].device.isEmpty()) << i;
    }
    EXPECT_EQ(log.entries()[2].severity, Severity::Failure);
}

TEST(ActivityLog, LinesEchoAndCap) {
    ActivityLog log;
    log.setClock(Noon);
    QStringList echoed;
    log.setEcho([&](const QString& line) { echoed << line; });
    log.add(Severity::Warning, "  spaced  ", "/dev/ttyUSB0", "Output 1");
    log.add(Severity::Info, "   "); // blank: nothing
    log.add(Severity::Success, "done", "00:11:22:33:44:55");
    ASSERT_EQ(echoed.size(), 2);
    EXPECT_EQ(echoed[0], "12:05:09  /dev/ttyUSB0  Output 1  WARNING:  spaced");
    EXPECT_EQ(echoed[1], "12:05:09  00:11:22:33:44:55  done");
    EXPECT_EQ(log.text(), echoed.join('\n') + '\n');

    // At the cap the oldest line goes, one for one.
    log.clear();
    for (std::size_t i = 0; i < ActivityLog::kKept; ++i) {
        log.add(Severity::Info, QString::number(i));
    }
    ASSERT_EQ(log.entries().size(), ActivityLog::kKept);
    EXPECT_EQ(log.entries().front().text, "0");
    log.add(Severity::Info, "one more");
    ASSERT_EQ(log.entries().size(), ActivityLog::kKept);
    EXPECT_EQ(log.entries().front().text, "1");
    EXPECT_EQ(log.entries().back().text, "one more");
}

TEST(ActivityLog, SaveNeverLeavesHalfAFile) {
    QTemporaryDir dir;
    ActivityLog log;
    log.add(Severity::Info, "kept");
    QString error;
    EXPECT_TRUE(log.save(dir.filePath("log.txt"), &error));
    EXPECT_FALSE(log.save(dir.filePath("missing/log.txt"), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(ActivityLog, AnEmptySearchSaysWhyForEachPort) {
    test::EnsureApplication(); // the Search waits with the event loop
    QTemporaryDir dir;
    ConnectionController connection;
    connection.ethernet = false;
    connection.givenPorts = {dir.filePath("ttyNONE0"), dir.filePath("ttyNONE1")};
    ActivityLog log;
    log.followConnection(connection);
    connection.search();
    QStringList texts;
    for (const ActivityEntry& e : log.entries()) {
        texts << e.text;
        EXPECT_EQ(e.severity, Severity::Failure);
    }
    ASSERT_EQ(texts.size(), 3) << texts.join('|').toStdString();
    EXPECT_EQ(texts[0], "Search found no device");
    // The serial link says why: the nodes are not there.
    for (int i : {1, 2}) {
        const QString port = dir.filePath(QStringLiteral("ttyNONE%1").arg(i - 1));
        EXPECT_TRUE(texts[i].contains(port) && texts[i].contains("does not exist") &&
                    texts[i].contains("plugged in"))
            << texts[i].toStdString();
    }

    // Both interfaces off: that is the reason.
    log.clear();
    connection.comPort = false;
    connection.search();
    ASSERT_EQ(log.entries().size(), 2u);
    EXPECT_TRUE(log.entries().back().text.contains("Interface menu"));
}

TEST(ActivityLog, APortTheLinkRefusesGivesTheLinksReasonOrAPlainOne) {
    test::EnsureApplication();
    ConnectionController connection;
    connection.ethernet = false;
    connection.givenPorts = {QStringLiteral("/dev/ttyREFUSED"), QStringLiteral("/dev/ttyQUIET")};
    // A refused port: the link writes its hint (who may open it, what to do) and opens nothing;
    // the other fails without a word.
    const std::string hint = "No permission to open /dev/ttyREFUSED: add your user to \"dialout\"";
    connection.setPortOpener([&hint](const QString& port, DebugLog& log) {
        if (port.endsWith("REFUSED")) {
            log.notice(hint + "\r\n");
        }
        return std::unique_ptr<ByteLink>();
    });
    ActivityLog log;
    log.followConnection(connection);
    connection.search();
    ASSERT_EQ(log.entries().size(), 3u);
    EXPECT_EQ(log.entries()[1].text, QString::fromStdString(hint));
    EXPECT_EQ(log.entries()[2].text, "/dev/ttyQUIET: cannot be opened.");
}

TEST(ActivityLog, TheLostConnectionNamesDeviceAndWhatToCheck) {
    const QString text = ConnectionLostText("/dev/ttyUSB3", "the firmware update");
    EXPECT_TRUE(text.contains("/dev/ttyUSB3"));
    EXPECT_TRUE(text.contains("while the firmware update was running"));
    EXPECT_TRUE(text.contains("power") && text.contains("cable") && text.contains("Search"));
    EXPECT_FALSE(ConnectionLostText(QString(), QString()).contains("while"));
}

} // namespace
