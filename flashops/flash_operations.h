#pragma once

#include <functional>
#include <optional>
#include <string>

#include "flashops/fast_flash_plan.h"
#include "flashops/flash_work.h"
#include "flashops/operation_texts.h"
#include "runtime/operation_frame.h"
#include "runtime/step_report.h"
#include "runtime/step_result.h"

namespace quillon {

struct FlashRun;
class FlashTarget;

// Erase, blank check, program, verify, read and the block process. Each runs in the one
// operation frame, leaves OperationResult set and returns its report: the result, the
// retries its walk spent, the bytes found wrong where it counts them, and why it failed.
// An operation says what the frame shows of it as data (OperationTexts); the frame writes
// its outcome line from the report.
class FlashOperations {
public:
    // A failed block transfer is repeated after a short pause up to this many times.
    static constexpr int kRetryLimit = quillon::kRetryLimit;
    // The largest part the buffers are made for: 256 MiB (4096 blocks of 64 KiB).
    static constexpr int kMaxBlocks = kMaxPartBlocks;

    FlashOperations(FlashOpsParts parts, FlashOpsControls controls);

    StepReport Erase();
    StepReport BlankCheck();
    StepReport Program();
    StepReport Verify();
    // Erase and program for a run whose next step reads the same range at once: the erase
    // leaves its proof to the blank check that follows, the program leaves its read-back to
    // the verify that follows, which then writes a block again that does not hold the image,
    // as the program's own read-back would have. The next operation takes the proof over
    // only when it is that step; any other ends the hand-over.
    StepReport EraseProvenByCheck();
    StepReport ProgramProvenByVerify();
    // Reads the whole part into ReadBuffer; with "Read Twice to Verify" a second pass must
    // read the same bytes.
    StepReport Read();
    // Erase, check, program and read back one block at a time (Auto's alternative body).
    StepReport BlockProcess();

    // An Auto unit of the four steps begins and ends. Between them the FastFlash setting
    // (modes 1 to 3) has the unit's erase read each used block first and leave undone what
    // that read proves unneeded (FastFlashPlan); `follows` names the steps after the erase.
    void BeginAutoUnit(const UnitSteps& follows);
    void EndAutoUnit() { work_.fast.EndUnit(); }

private:
    // The operations' own steps, each given the settings of its run and the flash it works
    // on. Each leaves its verdict in run.result and its counters in the run.
    void RunErase(FlashRun& run, FlashTarget& flash);
    void RunBlankCheck(FlashRun& run, FlashTarget& flash);
    // The blank check's walk. A blank check reads into ReadBuffer and moves the gauge; the
    // check that ends an erase reads into scratch (ReadBuffer keeps what it held) and leaves
    // the gauge where the erase left it. Both return the bytes found not erased.
    enum class CheckWalk { BlankCheck, AfterErase };
    long long CheckRange(FlashRun& run, FlashTarget& flash, CheckWalk walk);
    void RunProgram(FlashRun& run, FlashTarget& flash);
    void RunVerify(FlashRun& run, FlashTarget& flash);
    void RunRead(FlashRun& run, FlashTarget& flash);
    // The second pass of "Read Twice to Verify".
    bool ReadSecondPass(FlashRun& run, FlashTarget& flash);
    void RunBlockProcess(FlashRun& run);
    bool ProcessOneBlock(FlashRun& run, uint32_t block, bool& stopped);

    // An operation on the flash its run works on: reads the run's settings, chooses the
    // flash target from them, asks `refusal` whether the operation may run and runs `body`
    // in the frame; `afterOutcome` runs once the outcome line is written, when `body` ran.
    using TargetRefusal = std::function<std::optional<std::string>(FlashRun&, FlashTarget&)>;
    using TargetBody = void (FlashOperations::*)(FlashRun&, FlashTarget&);
    StepReport OnTarget(const OperationTexts& texts, const TargetRefusal& refusal, TargetBody body,
                        std::function<void(FlashRun&)> afterOutcome = {});
    // The refusal of program and verify: the image must fit the flash they work on.
    TargetRefusal ImageWriteRefused();
    // Runs an erase or a program that leaves its proof to the step that follows at once.
    StepReport LeavingProof(StepReport (FlashOperations::*operation)());
    // Runs an operation's body in the frame (refused when `refusal` holds a text) and
    // reports it with the run's counters. `afterOutcome` runs once the outcome line is
    // written, when the body ran.
    StepReport RunInFrame(FlashRun& run, const OperationTexts& texts,
                          const std::optional<std::string>& refusal,
                          const std::function<void()>& body,
                          std::function<void()> afterOutcome = {});

    // A proof an erase or a program hands to the operation after it.
    enum class Proof { Own, ByCheck, ByVerify };
    bool leaveProof_ = false;    // the erase or program now running leaves its proof
    Proof handed_ = Proof::Own;  // left by the last operation for the next one
    Proof taken_ = Proof::Own;   // what the operation now running took over

    FlashWork work_;
    FlashOpsParts& parts_;  // work_'s
};

}  // namespace quillon
