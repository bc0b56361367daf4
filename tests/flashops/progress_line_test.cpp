// What each operation itself writes while it runs: its progress line, shown until its outcome
// replaces it; and a Read Twice whose second pass reads other bytes.
#include <gmock/gmock.h>

#include <functional>

#include "tests/flashops/flash_rig.h"

namespace quillon::test {
namespace {

TEST(ProgressLine, EachOperationShowsItsOwnWhileItRuns) {
    struct Case {
        const char* progress;
        std::function<StepReport(FlashOperations&)> run;
    };
    const Case cases[] = {
        {"Erase Flash ---> Erasing...", [](FlashOperations& ops) { return ops.Erase(); }},
        {"Check Flash be cleared ---> Checking...",
         [](FlashOperations& ops) { return ops.BlankCheck(); }},
        {"Write Flash from buffer ---> Writing...",
         [](FlashOperations& ops) { return ops.Program(); }},
        {"Verify Flash with buffer ---> Verifing...",
         [](FlashOperations& ops) { return ops.Verify(); }},
        {"Read Flash to Buffer ---> Reading...", [](FlashOperations& ops) { return ops.Read(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.progress);
        FlashRig rig;
        rig.LoadImage(kBlock);
        rig.cache.flashblock = 1;
        rig.FillFlash(0xFF);
        std::string shownDuringTheRun;
        rig.panel.onPump = [&] {
            if (shownDuringTheRun.empty()) {
                shownDuringTheRun = rig.LastLine();
            }
        };
        c.run(rig.ops);
        EXPECT_EQ(shownDuringTheRun, c.progress);
        EXPECT_NE(rig.LastLine(), c.progress);  // replaced by the outcome
    }
}

TEST(Read, ReadTwiceFailsWhenItsSecondPassReadsOtherBytes) {
    FlashRig rig;
    rig.readTwice = true;
    rig.cache.flashblock = 2;
    rig.panel.onPump = [&rig, pumps = 0]() mutable {
        if (++pumps == 2) {  // the first pass is done
            rig.Flash()[kBlock + 5] ^= 0x10;
        }
    };
    EXPECT_EQ(rig.ops.Read().result, StepResult::Failed);
    EXPECT_EQ(rig.LastLine(), "Read Flash to Buffer ---> Failure ! 0");
    EXPECT_EQ(rig.SentWith(0x02).size(), 6u);  // each block twice, then the second pass
    EXPECT_FALSE(rig.image.operationResult);
}

}  // namespace
}  // namespace quillon::test
