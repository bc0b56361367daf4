#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "board/board_commands.h"
#include "board/board_side_commands.h"
#include "chip/target_identity.h"
#include "config/settings_cache.h"
#include "config/settings_store.h"
#include "flashops/block_walk.h"
#include "flashops/fast_flash_plan.h"
#include "image/image_state.h"
#include "target/connection_flags.h"
#include "target/eflash_facts.h"
#include "ui/clock.h"
#include "ui/message_log.h"
#include "ui/operation_frame.h"
#include "ui/step_report.h"
#include "ui/step_result.h"
#include "ui/stop_request.h"

namespace quillon {

struct FlashRun;
class TestLimit;

// The long-lived objects the flash operations work on, all owned by the station.
struct FlashOpsParts {
    BoardCommands& board;
    BoardSideCommands& boardSide;  // the USB-PD flash commands
    const SettingsStore& settings;
    const SettingsCache& cache;  // the selected flash type (Flashblock, command modes, ...)
    ImageState& image;
    const TargetIdentity& identity;
    const EFlashFacts& eflash;
    ConnectionFlags& flags;  // QuickModeCapable is cleared when the QuickMode setting is 0
    OperationFrame& frame;
    MessageLog& log;
    StopRequest& stop;  // a retry overflow sets it
    Clock& clock;
};

// The window's controls the operations read (their plain mirrors in the station).
struct FlashOpsControls {
    const std::vector<std::string>& deviceLines;  // Memo_Device: empty = no flash type chosen
    const bool& skipFF;                           // "Skip FF"
    const bool& readTwice;                        // "Read Twice to Verify"
    const bool& eraseLast1K;                      // Setup: "Erase Last 1K"
    // Ticks the four step boxes (Erase, Check, Program, Verify) and stores their state, as
    // their click handlers do. The block process calls it when it starts.
    std::function<void()> checkAllSteps;
    // The KB of the small sectors the selected part also has besides its erase unit (its
    // parameter file's SmallSectorSize; 0 when it has none). Empty: none.
    std::function<int32_t()> smallSectorKB;
    // FastFlash for the station's whole run instead of the stored setting (the command
    // line's --fast). None: the setting.
    std::optional<FastFlash> fastFlashForRun{};
};

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
    void EndAutoUnit() { fast_.EndUnit(); }

    // What the frame shows of one operation: the busy cursor's area, the progress line and
    // the outcome lines (none for the block process, which writes its own).
    struct OperationTexts {
        CursorArea cursor;
        const char* progressLine;
        std::optional<OutcomeTexts> outcome;
    };

private:
    // The operations' own steps, each given the settings of its run. Each leaves its verdict
    // in run.result and its counters in the run.
    void RunErase(FlashRun& run);
    void EraseChip(FlashRun& run);
    void EraseBySectorLayout(FlashRun& run, std::string& problem);
    void EraseWholePartByBlocks(FlashRun& run);
    void UnprotectLastKilobyte(FlashRun& run);
    void ErasePdFlash(FlashRun& run);
    void EraseBlockWalk(FlashRun& run);
    // The FastFlash erase walk: reads each used block into ReadBuffer (the blank check's
    // proof where the plan says so), lets the plan decide, and erases only what it must.
    void EraseBlockWalkPlanned(FlashRun& run);
    // Sends the erase commands of block b; the gauge moves per command when `plan` is given.
    // Turn::Done, Repeat when a command failed, Ended on a stop request.
    Turn EraseBlockSectors(FlashRun& run, uint32_t block, const WalkPlan* plan);
    // A later read showed block b not as the plan decided: a block the plan left unerased is
    // erased now (true). A block the plan did not spare is left as it is (false).
    bool EraseOverturned(FlashRun& run, uint32_t block);
    // The FastFlash lines after the erase and after the program, when the plan decided.
    void LogAlreadyBlank();
    void LogBlocksWritten(const FlashRun& run);
    // One erase command of a block: the erase type (P1) and the sector's page byte.
    struct SectorCommand {
        uint8_t eraseType;
        uint8_t page;
    };
    // The erase commands of a block. A half last block gets only the sectors of its used
    // half; when the part's erase unit is larger than that half, its small sectors do it.
    // Empty for a half block the part cannot erase without erasing the other half too.
    std::vector<SectorCommand> BlockEraseCommands(const FlashRun& run, bool halfBlock) const;
    // The half last block cannot be erased alone: the line that says why, else nothing.
    std::optional<std::string> HalfBlockEraseProblem(const FlashRun& run) const;

    void RunBlankCheck(FlashRun& run);
    // The blank check's walk. A blank check reads into ReadBuffer and moves the gauge; the
    // check that ends an erase reads into a scratch block (ReadBuffer keeps what it held)
    // and leaves the gauge where the erase left it. Both return the bytes found not erased.
    enum class CheckWalk { BlankCheck, AfterErase };
    long long CheckPdPages(FlashRun& run, CheckWalk walk);
    long long CheckBlocks(FlashRun& run, CheckWalk walk);

    void RunProgram(FlashRun& run);
    bool ProgramPdPages(FlashRun& run);
    bool ProgramBlocks(FlashRun& run);
    // Sends block b of ImageBuffer the way program writes it.
    TransferResult WriteImageBlock(FlashRun& run, uint32_t block);
    // The program's SMBus speed change: the chips programmed at the low SMBus speed.
    bool NeedsLowSpeedToProgram(const FlashRun& run) const;

    void RunVerify(FlashRun& run);
    long long VerifyPdPages(FlashRun& run);
    long long VerifyBlocks(FlashRun& run);
    // Block b against ImageBuffer, the way verify tests it: the board compares checksums, or
    // the block is read into `into` and compared over its tested bytes. The bytes found
    // wrong (0 after a checksum match), or nothing when the transfer failed or the board
    // found a mismatch.
    std::optional<long long> CompareBlock(FlashRun& run, uint32_t block, TestLimit& limit,
                                          std::span<uint8_t> into);
    // USB-PD page `page` read back equals `expected`.
    bool PdPageHolds(uint16_t page, std::span<const uint8_t> expected);

    void RunRead(FlashRun& run);
    bool ReadPdPages(FlashRun& run);
    bool ReadBlocks(FlashRun& run);
    // A read that answered success is trusted only once confirmed: by the board comparing
    // the checksums of the bytes received, or by a second read that brings the same bytes.
    bool ReadConfirmed(FlashRun& run, int block, std::span<const uint8_t> bytes);
    bool ReadSecondPass(FlashRun& run);

    void RunBlockProcess(FlashRun& run);
    bool ProcessOneBlock(FlashRun& run, uint32_t block, bool& stopped);

    // Refusals shared by the operations; nothing when the run may go on.
    std::optional<std::string> ImageAndTypeRefusal() const;
    std::optional<std::string> FlashblockRefusal() const;
    std::optional<std::string> UsedBlocksRefusal() const;
    // Program, verify and the block process: an image whose merge could not read the flash
    // beside the file holds guesses there and is not written or compared.
    std::optional<std::string> UnmergedImageRefusal() const;
    std::optional<std::string> PdPagesRefusal(std::size_t pages) const;
    // Program and verify: an image and a type, and an image the flash can hold.
    std::optional<std::string> ImageWriteRefusal(const FlashRun& run) const;

    // The board compares checksums itself (the quick compare): set up for it, not for an
    // image with a half last block, not in the socket and not on a USB-PD controller.
    bool BoardCompares(const FlashRun& run, bool halfLastBlock) const;
    // A block's worth of scratch for bytes read back only to be tested.
    std::span<uint8_t> ScratchBlock();

    // A block may be skipped only when its skip flag is set and the image now loaded is all
    // 0xFF there, so flags left from an earlier image never hide a block of this one.
    bool SkipsBlock(uint32_t block) const;
    void ClearSkipFlagsUnlessSkipFF();
    // The gauge for `done` of `total` steps, or only a pump when the range is empty.
    // False once a stop was requested.
    bool Step(long long done, long long total);
    // The walk over the image's used blocks: from StartBlock unless the allocation is From
    // Top, the gauge counted from StartBlock.
    WalkPlan UsedBlocksPlan(const FlashRun& run) const;
    // A walk whose unit is one transfer (the unit's commands, true when they succeeded),
    // repeated under the repeat rule. OperationResult is the last transfer's result, false
    // when the walk ended early; it is also returned.
    bool WalkTransfers(FlashRun& run, const WalkPlan& plan,
                       const std::function<bool(long long unit)>& transfer);
    // The walk over the USB-PD pages of `pages` (whole 256-byte pages): `transfer` sends a
    // page, which counts as done only once it reads back the same (the program's write, the
    // read's first pass).
    bool WalkPdPagesReadBack(
        FlashRun& run, std::span<uint8_t> pages,
        const std::function<TransferResult(uint16_t page, std::span<uint8_t> bytes)>& transfer);
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

    FlashOpsParts parts_;
    FlashOpsControls controls_;
    BlockWalk walk_;
    FastFlashPlan fast_;
    // Scratch for image blocks that reach past the end of ImageBuffer (filled with 0xFF).
    std::vector<uint8_t> imageScratch_;
    std::vector<uint8_t> readBackScratch_;
};

}  // namespace quillon
