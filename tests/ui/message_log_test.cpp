#include "ui/message_log.h"

#include <gtest/gtest.h>

#include "ui/clock.h"
#include "ui/recording_panel.h"

namespace quillon {
namespace {

TEST(MessageLogTest, CustomerCopyTakesRelevantLinesAndOverwritesWithOutcome) {
    RecordingPanel panel;
    MessageLog log(panel);
    log.Append("Open from '/tmp/a.bin'");
    log.Append("Save Debug Message to File ---> OK !");  // OK but no relevant key
    log.Append("Load File to Buffer ---> OK !");
    log.Append("Erase Flash ---> Erasing...");
    log.ReplaceLast("Erase Flash ---> OK ! ");

    EXPECT_EQ(panel.mainLog.size(), 4u);
    EXPECT_EQ(log.CustomerLines(), panel.customerLog);
    ASSERT_EQ(panel.customerLog.size(), 2u);
    EXPECT_EQ(panel.customerLog[0], "Load File to Buffer ---> OK !");
    EXPECT_EQ(panel.customerLog[1], "Erase Flash ---> OK ! ");
}

TEST(MessageLogTest, ReplaceOnEmptyLogAppends) {
    RecordingPanel panel;
    MessageLog log(panel);
    log.ReplaceLast("Auto Flash ---> Failure !");
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Auto Flash ---> Failure !"});
    EXPECT_EQ(panel.customerLog, std::vector<std::string>{"Auto Flash ---> Failure !"});
}

TEST(MessageLogTest, ReplaceFromEndRewritesOneLineAndLeavesTheCustomerCopy) {
    RecordingPanel panel;
    MessageLog log(panel);
    log.Append("Erase Flash ---> OK ! 0");
    log.Append("Erase  : ");
    log.Append("Check  : ");
    log.ReplaceFromEnd(1, "Erase  : 3 Block");
    log.ReplaceFromEnd(5, "above the first line");  // nothing happens
    const std::vector<std::string> expected{"Erase Flash ---> OK ! 0", "Erase  : 3 Block",
                                            "Check  : "};
    EXPECT_EQ(log.Lines(), expected);
    EXPECT_EQ(panel.mainLog, expected);
    EXPECT_EQ(panel.customerLog, std::vector<std::string>{"Erase Flash ---> OK ! 0"});
}

TEST(VirtualClockTest, SleepsAdvanceTimeAndAreRecorded) {
    VirtualClock clock;
    int calls = 0;
    clock.onSleep = [&](Millis) { ++calls; };
    clock.Sleep(Millis{10});
    clock.Sleep(Millis{1000});
    EXPECT_EQ(clock.Now(), Millis{1010});
    EXPECT_EQ(clock.Sleeps().size(), 2u);
    EXPECT_EQ(calls, 2);
    clock.Advance(Millis{3600 * 1000});
    EXPECT_EQ(clock.LocalTimeText(), "01:00:01");
}

}  // namespace
}  // namespace quillon
