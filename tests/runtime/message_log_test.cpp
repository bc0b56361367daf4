#include "runtime/message_log.h"

#include <gtest/gtest.h>

#include "runtime/clock.h"
#include "tests/support/recording_panel.h"

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

TEST(MessageLogTest, EveryKeyIsMirroredAndEachOutcomeOverwritesItsProgressLine) {
    const char* const keys[] = {
        "The Last File Path",
        "Load File to Buffer",
        "Open from",
        "UnProtect Flash",
        "Erase Flash",
        "Check Flash be cleared",
        "Write Flash from buffer",
        "Verify Flash with buffer",
        "Auto Flash",
        "Total Time",
    };
    for (const char* key : keys) {
        for (const char* outcome : {" ---> OK ! ", " ---> Cancel !", " ---> Failure ! "}) {
            SCOPED_TRACE(std::string(key) + outcome);
            RecordingPanel panel;
            MessageLog log(panel);
            log.Append("Earlier line of " + std::string(key));
            const std::string progress = "x " + std::string(key) + " ---> Working...";
            log.Append(progress);  // the key anywhere in the line; no outcome word: appended
            EXPECT_EQ(panel.customerLog,
                      (std::vector<std::string>{"Earlier line of " + std::string(key), progress}));
            const std::string done = std::string(key) + outcome;
            log.Append(done);  // an outcome overwrites the last mirrored line, appended or not
            EXPECT_EQ(panel.customerLog,
                      (std::vector<std::string>{"Earlier line of " + std::string(key), done}));
        }
    }
}

TEST(MessageLogTest, OnlyTheKeysAndTheOutcomeWordsAsWrittenCount) {
    RecordingPanel panel;
    MessageLog log(panel);
    log.Append("Total Time = 12 s");
    // Outcome words without a key are not mirrored, whichever word.
    for (const char* line : {"Save Buffer to File ---> Cancel !", "Merge File ---> Failure !",
                             "Confirm File and buffer ---> OK !", "erase flash ---> Erasing...",
                             "Auto flash ---> OK !"}) {
        log.Append(line);
    }
    EXPECT_EQ(panel.customerLog, std::vector<std::string>{"Total Time = 12 s"});
    // Outcome words are tested as written: "ok" and "cancelled" in lower case are not "OK" or
    // "Cancel", so such a line is appended.
    log.Append("Auto Flash ---> ok");
    log.Append("Auto Flash ---> cancelled");
    EXPECT_EQ(panel.customerLog,
              (std::vector<std::string>{"Total Time = 12 s", "Auto Flash ---> ok",
                                        "Auto Flash ---> cancelled"}));
    // A replaced main-log line is mirrored by the same rule.
    log.ReplaceLast("Verify Flash with buffer ---> Failure ! ");
    EXPECT_EQ(panel.customerLog.back(), "Verify Flash with buffer ---> Failure ! ");
    EXPECT_EQ(panel.customerLog.size(), 3u);
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
