// The lines of an operation come from one table, and each start and end is told to the panel
// with the step's report.
#include "runtime/operation_frame_lines.h"

#include <gmock/gmock.h>

#include "runtime/failure_cause.h"
#include "tests/support/recording_panel.h"

namespace quillon {
namespace {

using ::testing::ElementsAre;

TEST(OperationLinesTest, EachEndWritesItsOutcomeLineAndTellsItsReport) {
    struct Case {
        StepReport report;
        std::string detail;
        std::vector<std::string> below;
        std::vector<std::string> log;
        std::string ended;
    };
    const std::vector<Case> cases = {
        {StepReport::Done(),
         "",
         {"Save in 'a.bin'"},
         {"Save Buffer to File ---> OK !", "Save in 'a.bin'"},
         "ended Save Buffer to File ok"},
        {StepReport::Done(3),
         "3",
         {},
         {"Save Buffer to File ---> OK ! 3"},
         "ended Save Buffer to File ok"},
        {StepReport::Refusal(kNoFileChosen),
         "",
         {},
         {"Save Buffer to File ---> Cancel !"},
         "ended Save Buffer to File refused [no file was chosen]"},
        {StepReport{StepResult::Failed, 0, 3, "", 0.0},
         "",
         {ErrorsLine(3)},
         {"Save Buffer to File ---> Failure !", "Error 3 bytes"},
         "ended Save Buffer to File failed [3 bytes wrong]"},
    };
    for (const auto& c : cases) {
        RecordingPanel panel;
        MessageLog log(panel);
        OperationLines lines(panel, log);
        lines.Begin("Save Buffer to File", "Saving...");
        EXPECT_THAT(panel.mainLog, ElementsAre("Save Buffer to File ---> Saving..."));
        lines.End(c.report, c.detail, c.below);
        EXPECT_EQ(panel.mainLog, c.log);
        EXPECT_THAT(panel.operations, ElementsAre("started Save Buffer to File (Save)", c.ended));
    }
}

TEST(OperationLinesTest, AnOperationAnErrorEndsKeepsItsLineAndIsToldFailed) {
    RecordingPanel panel;
    MessageLog log(panel);
    {
        OperationLines lines(panel, log);
        lines.Begin("Merge File", "Merging...");
    }
    EXPECT_THAT(panel.mainLog, ElementsAre("Merge File ---> Merging..."));
    EXPECT_THAT(panel.operations,
                ElementsAre("started Merge File (Merge)", "ended Merge File failed"));
    // A closing line stands alone: appended, its end told with no start.
    OperationLines(panel, log).Close("Backup", StepReport::Failure({}), "Read Flash failed");
    EXPECT_EQ(panel.mainLog.back(), "Backup ---> Failure ! Read Flash failed");
    EXPECT_EQ(panel.operations.back(),
              "ended Backup failed [the board did not carry out the command]");
}

}  // namespace
}  // namespace quillon
