// How long a flow's status stays in a window: each severity's hold, counted from the end of
// the flow that reported it; texts that stay end the count.
#include "app/StatusDisplay.h"
#include "connection/ConnectionController.h"
#include "connection/FlowTool.h"
#include "support/QtTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

class Reporter : public FlowTool {
public:
    using FlowTool::FlowTool;
    using FlowTool::report;
};

class StatusHoldTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        connection = std::make_unique<ConnectionController>();
        tool = std::make_unique<Reporter>(*connection);
    }

    // A display with these holds that records what it shows and what it empties.
    void watch(StatusHolds holds) {
        display = std::make_unique<StatusDisplay>(
            *tool, holds, [this](const QString& text, Severity) { shown << text; },
            [this](const QString& text, Severity) { cleared << text; });
    }

    std::unique_ptr<ConnectionController> connection;
    std::unique_ptr<Reporter> tool;
    std::unique_ptr<StatusDisplay> display;
    QStringList shown;
    QStringList cleared;
};

} // namespace

TEST_F(StatusHoldTest, TimedTextIsEmptiedAfterItsHoldOutsideAFlow) {
    StatusHolds holds;
    holds.success = 30;
    watch(holds);
    tool->report(QStringLiteral("Ok."), Severity::Success);
    EXPECT_EQ(shown, QStringList{"Ok."});
    EXPECT_TRUE(display->holding());
    ASSERT_TRUE(WaitUntil([&] { return !cleared.isEmpty(); }));
    EXPECT_EQ(cleared, QStringList{"Ok."});
    EXPECT_FALSE(display->holding());
    // The flow's own record keeps the last text: the window only empties what it shows.
    EXPECT_EQ(tool->statusText(), "Ok.");
}

TEST_F(StatusHoldTest, HoldIsCountedFromTheEndOfTheFlow) {
    StatusHolds holds;
    holds.failure = 30;
    watch(holds);
    {
        const FlowGuard flow(*connection);
        tool->report(QStringLiteral("Edid Write Fail."), Severity::Failure);
        PumpDelay(150); // five holds pass while the flow still runs
        EXPECT_TRUE(cleared.isEmpty());
        EXPECT_TRUE(display->holding());
    }
    ASSERT_TRUE(WaitUntil([&] { return !cleared.isEmpty(); }));
    EXPECT_EQ(cleared, QStringList{"Edid Write Fail."});
}

TEST_F(StatusHoldTest, TheLongestHoldOfTheShownTextsCounts) {
    StatusHolds holds;
    holds.warning = 30;
    holds.failure = 2000;
    watch(holds);
    tool->report(QStringLiteral("Create Error!"), Severity::Failure);
    tool->report(QStringLiteral("Please select"), Severity::Warning);
    PumpDelay(100);
    EXPECT_TRUE(cleared.isEmpty()); // the warning waits for the failure
    ASSERT_TRUE(WaitUntil([&] { return !cleared.isEmpty(); }, 6000));
    EXPECT_EQ(cleared, (QStringList{"Create Error!", "Please select"}));
}

TEST_F(StatusHoldTest, TextsThatStayAndEmptyTextsEndTheCount) {
    StatusHolds holds;
    holds.success = 30;
    watch(holds); // info stays
    tool->report(QStringLiteral("Ok."), Severity::Success);
    tool->report(QStringLiteral("0%"), Severity::Info);
    EXPECT_FALSE(display->holding());
    tool->report(QStringLiteral("Ok."), Severity::Success);
    tool->report(QString(), Severity::Info);
    EXPECT_FALSE(display->holding());
    PumpDelay(150);
    EXPECT_TRUE(cleared.isEmpty());
    EXPECT_EQ(shown, (QStringList{"Ok.", "0%", "Ok.", ""}));
}
