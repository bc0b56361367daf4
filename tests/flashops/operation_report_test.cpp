// What each operation reports to its caller: the result, the retries its outcome line shows
// and the bytes it found wrong, as values (a front-end never reads them back from the log).
#include <gtest/gtest.h>

#include "tests/flashops/flash_rig.h"

namespace quillon::test {
namespace {

TEST(StepReport, EachOperationReportsTheRetriesItsLineShows) {
    FlashRig rig;
    rig.LoadImage(2 * kBlock);
    const struct {
        const char* name;
        StepReport (FlashOperations::*call)();
        uint8_t failingOnce;  // the sub-command that fails once on block 1
        const char* line;
    } cases[] = {
        {"erase", &FlashOperations::Erase, 0x03, "Erase Flash ---> OK ! 1"},
        {"check", &FlashOperations::BlankCheck, 0x02, "Check Flash be cleared ---> OK ! 1"},
        {"program", &FlashOperations::Program, 0x04, "Write Flash from buffer ---> OK ! 1"},
        {"verify", &FlashOperations::Verify, 0x02, "Verify Flash with buffer ---> OK ! 1"},
        {"read", &FlashOperations::Read, 0x02, "Read Flash to Bufferr ---> OK ! 1"},
    };
    for (const auto& c : cases) {
        rig.board.AddFault(Failing(c.failingOnce, 1, 1));
        const StepReport report = (rig.ops.*c.call)();
        EXPECT_EQ(report.result, StepResult::Ok) << c.name;
        EXPECT_EQ(report.retries, 1) << c.name;
        EXPECT_EQ(report.errors, 0u) << c.name;
        EXPECT_EQ(report.cause, "") << c.name;
        EXPECT_EQ(rig.LastLine(), c.line) << c.name;
    }
}

TEST(StepReport, WrongBytesAndRefusalsAreReportedWithTheirCause) {
    FlashRig rig;
    rig.LoadImage(kBlock);
    rig.Flash()[10] = 0x00;  // not erased
    const StepReport check = rig.ops.BlankCheck();
    EXPECT_EQ(check.result, StepResult::Failed);
    EXPECT_EQ(check.errors, 1u);
    EXPECT_EQ(check.cause, "1 bytes wrong");
    EXPECT_EQ(rig.LastLine(), "Error 1 bytes");

    rig.image.imageBuffer.clear();
    const StepReport refused = rig.ops.Program();
    EXPECT_EQ(refused.result, StepResult::Refused);
    EXPECT_EQ(refused.cause, rig.panel.boxes.back().text);
}

}  // namespace
}  // namespace quillon::test
