// Each operation's report: the result, the retries its walk spent, the bytes found wrong where
// it counts them, and why it did not succeed.
#include <gtest/gtest.h>

#include "tests/flashops/flash_rig.h"

namespace quillon::test {
namespace {

using Operation = StepReport (FlashOperations::*)();

struct Case {
    const char* name;
    Operation operation;
    uint8_t failingSub;  // the transfer that fails three times
};

const Case kCases[] = {
    {"erase", &FlashOperations::Erase, 0x03},     {"check", &FlashOperations::BlankCheck, 0x02},
    {"program", &FlashOperations::Program, 0x04}, {"verify", &FlashOperations::Verify, 0x02},
    {"read", &FlashOperations::Read, 0x02},
};

TEST(StepReports, RetriesComeFromTheWalkAndFailuresSayWhy) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        FlashRig rig;
        rig.cache.flashblock = 2;
        rig.LoadImage(2 * kBlock);
        const bool imageThere =
            c.operation == &FlashOperations::Verify || c.operation == &FlashOperations::Read;
        if (imageThere) {
            std::copy(rig.image.imageBuffer.begin(), rig.image.imageBuffer.end(),
                      rig.Flash().begin());
        } else {
            rig.FillFlash(0xFF);
        }
        rig.board.AddFault(Failing(c.failingSub, 1, 3));
        const StepReport ok = (rig.ops.*c.operation)();
        EXPECT_EQ(ok.result, StepResult::Ok);
        EXPECT_EQ(ok.retries, 3);
        EXPECT_EQ(ok.errors, 0u);
        EXPECT_TRUE(ok.cause.empty());

        rig.board.AddFault(Failing(c.failingSub, 1));
        const StepReport failed = (rig.ops.*c.operation)();
        EXPECT_EQ(failed.result, StepResult::Failed);
        EXPECT_EQ(failed.retries, 41);
        EXPECT_EQ(failed.cause, "a transfer still failed after 40 repetitions");
    }
}

TEST(StepReports, BytesFoundWrongAndRefusalsAreReported) {
    FlashRig rig;
    rig.LoadImage(kBlock);
    rig.FillFlash(0xFF);
    rig.Flash()[7] = 0x00;
    rig.Flash()[9] = 0x00;
    const StepReport check = rig.ops.BlankCheck();
    EXPECT_EQ(check.result, StepResult::Failed);
    EXPECT_EQ(check.errors, 2u);
    EXPECT_EQ(check.cause, "2 bytes wrong");

    rig.image.imageBuffer.clear();
    const StepReport refused = rig.ops.Program();
    EXPECT_EQ(refused.result, StepResult::Refused);
    EXPECT_EQ(refused.cause, "Please Open BIN File First or Choice Flash Type !");

    rig.LoadImage(kBlock);
    rig.StopAtPump(1);
    const StepReport stopped = rig.ops.Verify();
    EXPECT_EQ(stopped.result, StepResult::Failed);
    EXPECT_EQ(stopped.cause, "stopped by the operator");
}

}  // namespace
}  // namespace quillon::test
