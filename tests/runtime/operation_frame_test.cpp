// The frame every operation runs in: the order of its effects on the window (cursor, control
// levels, log lines, Timer1), for a refused and for a completed operation.
#include "runtime/operation_frame.h"

#include <gmock/gmock.h>

#include "runtime/activity_guard.h"
#include "runtime/message_log.h"
#include "tests/support/recording_panel.h"

namespace quillon {
namespace {

using ::testing::ElementsAre;

// Timer1 whose changes land in the panel's event list, in order with everything else.
class EventTimer final : public ConnectionTimer {
public:
    explicit EventTimer(RecordingPanel& panel) : panel_(panel) {}
    void SetEnabled(bool enabled) override {
        enabled_ = enabled;
        panel_.events.push_back(enabled ? "timer on" : "timer off");
    }
    bool IsEnabled() const override { return enabled_; }

private:
    RecordingPanel& panel_;
    bool enabled_ = true;
};

class OperationFrameTest : public ::testing::Test {
protected:
    OperationFrameTest() { panel.keepEvents = true; }

    RecordingPanel panel;
    MessageLog log{panel};
    EventTimer timer{panel};
    StopRequest stop;
    bool operationResult = true;
    VirtualClock clock;
    OperationFrame frame{panel, log, timer, stop, operationResult, clock};
};

TEST_F(OperationFrameTest, ARefusedOperationShowsTheWarningAndTouchesNothingElse) {
    stop.Request();
    OperationSpec spec;
    spec.cursor = CursorArea::LogPane;
    spec.precondition = [] { return false; };
    spec.refusal = "Please Open BIN File first !";
    spec.progressLine = "Erase Flash ---> Erasing...";
    bool ran = false;
    const StepReport report = frame.Run(spec, [&] {
        ran = true;
        return StepReport::Done();
    });
    EXPECT_EQ(report.result, StepResult::Refused);
    EXPECT_EQ(report.cause, "Please Open BIN File first !");
    EXPECT_FALSE(ran);
    EXPECT_FALSE(operationResult);
    EXPECT_FALSE(stop.Requested());  // cleared before the precondition
    EXPECT_THAT(panel.events,
                ElementsAre("timer off", "cursor on", "box Warning: Please Open BIN File first !",
                            "cursor off", "timer on"));
    EXPECT_EQ(panel.busyArea, CursorArea::LogPane);
}

TEST_F(OperationFrameTest, ACompletedOperationLocksToStopWritesItsLinesAndResumes) {
    OperationSpec spec;
    spec.progressLine = "Erase Flash ---> Erasing...";
    spec.outcome = OutcomeTexts::Named("Erase Flash", true);
    const StepReport report = frame.Run(spec, [&] {
        EXPECT_TRUE(frame.Progress(50));
        return StepReport::Done(3);
    });
    EXPECT_EQ(report.result, StepResult::Ok);
    EXPECT_EQ(report.retries, 3);  // the body's counters travel on in the report
    EXPECT_EQ(report.cause, "");
    EXPECT_TRUE(operationResult);
    EXPECT_THAT(
        panel.events,
        ElementsAre("timer off", "cursor on", "level 2 off", "append Erase Flash ---> Erasing...",
                    "customer append Erase Flash ---> Erasing...", "progress 50", "pump",
                    "replace Erase Flash ---> OK ! 3", "customer replace Erase Flash ---> OK ! 3",
                    "cursor off", "timer on"));
    EXPECT_EQ(panel.offThreadCalls, 0);
}

TEST_F(OperationFrameTest, AStopDuringTheBodyEndsItAsAFailureAndTheCheckStaysPausedWhenItWas) {
    timer.SetEnabled(false);  // an outer operation (Auto) paused the check
    panel.events.clear();
    panel.onPump = [&] { stop.Request(); };
    OperationSpec spec;
    spec.progressLine = "Verify Flash with buffer ---> Verifing...";
    spec.outcome = OutcomeTexts::Named("Verify Flash with buffer", false);
    const StepReport report = frame.Run(spec, [&] {
        const bool goOn = frame.Progress(10);
        return StepReport{goOn ? StepResult::Ok : StepResult::Failed, 0, 2, {}, 0.0};
    });
    EXPECT_EQ(report.result, StepResult::Failed);
    EXPECT_EQ(report.errors, 2u);
    EXPECT_EQ(report.cause, "stopped by the operator");
    EXPECT_FALSE(operationResult);
    EXPECT_EQ(panel.events.front(), "timer off");
    EXPECT_EQ(panel.events.back(), "timer off");  // put back as it was: paused
    EXPECT_EQ(panel.mainLog.back(), "Verify Flash with buffer ---> Failure ! 0");
}

// The lines the frame writes from the report, by what the operation's texts ask for; what
// runs after them comes last.
TEST_F(OperationFrameTest, TheOutcomeLinesComeFromTheReportAndTheOperationsTexts) {
    const OutcomeTexts read{"Read Flash to Bufferr", "Read Flash to Buffer", false, false};
    const OutcomeTexts erase{"Erase Flash", "Erase Flash", true, true};
    const struct {
        std::optional<OutcomeTexts> texts;
        StepReport report;
        std::vector<std::string> log;
    } cases[] = {
        {read, StepReport::Done(2), {"Read Flash to Bufferr ---> OK ! 2", "after"}},
        {read,
         {StepResult::Failed, 41, 5, {}, 0.0},
         {"Read Flash to Buffer ---> Failure ! 41", "after"}},
        {erase,
         {StepResult::Failed, 1, 3, "half a block", 0.0},
         {"Erase Flash ---> Failure ! 1", "Error 3 bytes", "half a block", "after"}},
        {erase, StepReport::Done(), {"Erase Flash ---> OK ! 0", "after"}},
        {std::nullopt, StepReport::Done(), {"the body's own", "after"}},
    };
    for (const auto& c : cases) {
        panel.mainLog.clear();
        OperationSpec spec;
        spec.progressLine = "working...";
        spec.outcome = c.texts;
        spec.afterOutcome = [&] { log.Append("after"); };
        const StepReport report = frame.Run(spec, [&] {
            if (!c.texts) {
                log.ReplaceLast("the body's own");
            }
            return c.report;
        });
        EXPECT_EQ(panel.mainLog, c.log);
        EXPECT_EQ(report.retries, c.report.retries);
        EXPECT_EQ(operationResult, c.report.Ok());
    }
}

// The frame tells the operation's start and its end with the report, whose cause it names
// when the body named none.
TEST_F(OperationFrameTest, AnOperationIsToldStartedThenEndedWithItsReportAndCause) {
    struct Case {
        StepReport body;
        bool stop;
        std::string ended;
    };
    const auto failed = [](int retries, uint64_t errors, const char* cause) {
        return StepReport{StepResult::Failed, retries, errors, cause, 0.0};
    };
    const std::vector<Case> cases = {
        {StepReport::Done(2), false, "ended Erase Flash ok"},
        {failed(0, 0, "half a block"), true, "ended Erase Flash failed [half a block]"},
        {failed(41, 2, ""), true,
         "ended Erase Flash failed [a transfer still failed after 40 repetitions]"},
        {failed(40, 2, ""), true, "ended Erase Flash failed [stopped by the operator]"},
        {failed(0, 7, ""), false, "ended Erase Flash failed [7 bytes wrong]"},
        {failed(0, 0, ""), false,
         "ended Erase Flash failed [the board did not carry out the command]"},
    };
    for (const auto& c : cases) {
        panel.operations.clear();
        panel.endedReports.clear();
        OperationSpec spec;
        spec.name = "Erase Flash";
        spec.progressLine = "Erase Flash ---> Erasing...";
        spec.outcome = OutcomeTexts::Named("Erase Flash", false);
        spec.retryLimit = 40;
        const StepReport report = frame.Run(spec, [&] {
            EXPECT_THAT(panel.operations, ElementsAre("started Erase Flash (Erase)"));
            clock.Advance(Millis(1500));
            if (c.stop) {
                stop.Request();
            }
            return c.body;
        });
        EXPECT_THAT(panel.operations, ElementsAre("started Erase Flash (Erase)", c.ended));
        ASSERT_EQ(panel.endedReports.size(), 1u);
        EXPECT_EQ(panel.endedReports[0].cause, report.cause);
        EXPECT_EQ(panel.endedReports[0].seconds, 1.5);
        EXPECT_EQ(report.seconds, 1.5);
    }
    // A refused operation never started; an unnamed one tells nothing.
    panel.operations.clear();
    OperationSpec refused;
    refused.name = "Erase Flash";
    refused.progressLine = "Erase Flash ---> Erasing...";
    refused.precondition = [] { return false; };
    frame.Run(refused, [] { return StepReport::Done(); });
    frame.Run(OperationSpec{}, [] { return StepReport::Failure("x"); });
    EXPECT_TRUE(panel.operations.empty());
}

TEST_F(OperationFrameTest, ARunClosesWithItsLineTheColourOfItsResultAndOperationResult) {
    frame.CloseRun("Auto Flash", StepReport::Done());
    EXPECT_EQ(panel.logColour, LogColour::Highlight);
    EXPECT_TRUE(operationResult);
    frame.CloseRun("Auto Flash", StepReport::Failure("a step did not succeed"));
    EXPECT_EQ(panel.logColour, LogColour::Red);
    EXPECT_FALSE(operationResult);
    frame.CloseRun("Auto Flash", StepReport::Failure("x"), "Write Status failed");
    EXPECT_THAT(panel.mainLog, ElementsAre("Auto Flash ---> OK !", "Auto Flash ---> Failure !",
                                           "Auto Flash ---> Failure ! Write Status failed"));
    // A run's close tells its end with no start.
    EXPECT_THAT(panel.operations, ElementsAre("ended Auto Flash ok",
                                              "ended Auto Flash failed [a step did not succeed]",
                                              "ended Auto Flash failed [x]"));
}

TEST(ActivityGuardTest, WorkThatFallsDueInsideOtherWorkIsRefusedUntilItEnds) {
    ActivityGuard guard;
    {
        auto outer = guard.TryEnter();
        ASSERT_TRUE(outer);
        EXPECT_TRUE(guard.Busy());
        EXPECT_FALSE(guard.TryEnter());  // a tick or a click during the operation
        {
            auto nested = guard.EnterNested();  // Auto's own steps
            EXPECT_TRUE(guard.Busy());
        }
        EXPECT_TRUE(guard.Busy());
    }
    EXPECT_FALSE(guard.Busy());
    EXPECT_TRUE(guard.TryEnter());
}

}  // namespace
}  // namespace quillon
