#include "flashops/block_bytes.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"
#include "flashops/flash_target.h"
#include "flashops/range_refusals.h"

namespace quillon {

namespace {
constexpr auto kChipEraseType = static_cast<uint8_t>(EraseType::Chip);
constexpr auto kSectorEraseType = static_cast<uint8_t>(EraseType::Sector);
constexpr int kLastKiBBlock = 1;
constexpr uint8_t kLastKiBPage = 0xFC;  // the KiB at 0x1FC00
constexpr int kKbPerBlock = 64;
constexpr Millis kUnprotectSettle{1000};

void EraseChip(FlashWork& work, FlashRun& run) {
    const auto result = work.parts.board.EraseFlash(
        run.type.flashblock, static_cast<uint8_t>(run.type.sectorSize), kChipEraseType,
        static_cast<uint8_t>(run.type.commandModeErase));
    run.result = result.Succeeded();
    if (run.result) {
        work.parts.frame.Progress(100);
    }
}

// Sectors of a layout that is not uniform: the groups are walked from address 0 until they
// reach the end of the image. A layout that never lands exactly on that end (or cannot be
// read) fails, and so does the walk when any sector failed: a sector left unerased is never
// hidden by a later success.
void EraseBySectorLayout(FlashWork& work, FlashRun& run, std::string& problem) {
    const auto groups = ParseSectorLayout(run.type.sectorOffset);
    if (!groups) {
        run.result = false;
        problem = "Sector layout '" + run.type.sectorOffset + "' cannot be read";
        return;
    }
    const long long used = work.parts.image.usedBlockCount;
    const long long start = work.parts.image.startBlock;
    const long long end = used * kKbPerBlock;
    long long position = 0;  // KB
    bool anySent = false;
    bool anyFailed = false;
    for (const auto& group : *groups) {
        for (int i = 0; i < group.count && position < end; ++i) {
            if (work.parts.frame.StopRequested()) {
                run.result = false;
                return;
            }
            const long long block = position / kKbPerBlock;
            if (run.Covers(static_cast<uint32_t>(block), static_cast<uint32_t>(start))) {
                const auto page = static_cast<uint8_t>(((position / 4) % 16) * 16 + 15);
                const auto result = work.parts.board.EraseFlash(
                    static_cast<int>(block), page, static_cast<uint8_t>(run.type.eraseType),
                    static_cast<uint8_t>(run.type.commandModeErase));
                anySent = true;
                if (result.Succeeded()) {
                    work.Step(block - start, used - start);
                } else {
                    anyFailed = true;
                }
            }
            position += group.stepKB;
        }
    }
    if (position != end) {
        run.result = false;
        problem = "Sector layout ends at " + std::to_string(position) +
                  " KB, not at the end of the image (" + std::to_string(end) + " KB)";
        return;
    }
    if (anySent) {
        run.result = !anyFailed;
    }
}

// Erases the last KiB of the controller's own flash and lifts its protection: the
// controller is reset around the register writes and released at the end.
void UnprotectLastKilobyte(FlashWork& work, FlashRun& run) {
    auto& board = work.parts.board;
    run.result = board
                     .EraseFlash(kLastKiBBlock, kLastKiBPage, kSectorEraseType,
                                 static_cast<uint8_t>(run.type.commandModeErase))
                     .Succeeded();
    board.TargetRunControl(TargetRun::Run);
    board.KbsPortControl(PortAction::KbsUnprotectStep);
    board.WriteTargetRegister(0x20, 0x06, 0x44);
    board.TargetRunControl(TargetRun::Run);
    board.KbsPortControl(PortAction::KbsUnprotectStep);
    if (IsWriteMode(run.type.commandModeWrite, WriteCommandMode::EFlashAlt)) {
        board.WriteTargetRegister(0x2D, 0x00, 0x40);
    } else if (IsWriteMode(run.type.commandModeWrite, WriteCommandMode::EFlash)) {
        board.WriteTargetRegister(0x10, 0x58, 0x40);
    }
    board.KbsPortControl(PortAction::KbsUnprotectEnd);
    board.TargetRunControl(TargetRun::BreakAtZero);
    work.parts.clock.Sleep(kUnprotectSettle);
    board.KbsPortControl(PortAction::KbsRun);
}
}  // namespace

StepReport FlashOperations::Erase() {
    return OnTarget(
        operation_texts::kErase,
        [this](FlashRun& run, FlashTarget& flash) -> std::optional<std::string> {
            if (auto refusal = ImageAndTypeRefusal(parts_.image, work_.controls.deviceLines)) {
                return refusal;
            }
            if (!ModeFrom<EraseType>(run.type.eraseType)) {
                return "The flash type's EraseType " + std::to_string(run.type.eraseType) +
                       " is not 0, 1 or 2. Please Choice Flash Type Again !";
            }
            if (run.Erases() == EraseWay::WholeChip || flash.ErasesWholePart()) {
                if (auto refusal = FlashblockRefusal(parts_.cache.flashblock)) {
                    return refusal;
                }
            }
            if (auto refusal = flash.EraseRefusal()) {
                return refusal;
            }
            return UsedBlocksRefusal(parts_.image);
        },
        &FlashOperations::RunErase, [this](FlashRun&) { work_.LogAlreadyBlank(); });
}

void FlashOperations::RunErase(FlashRun& run, FlashTarget& flash) {
    run.result = parts_.frame.OperationResult();
    std::string problem;
    const bool wholePart = flash.ErasesWholePart();
    // Nothing is erased when the erase walk could erase the image's last block only whole.
    const EraseWay way = run.Erases();
    const auto walkProblem = way == EraseWay::BlockSectors ? flash.EraseProblem() : std::nullopt;
    if (walkProblem) {
        run.result = false;
        problem = *walkProblem;
    } else if (way == EraseWay::WholeChip) {
        EraseChip(work_, run);
    } else if (way == EraseWay::SectorLayout) {
        EraseBySectorLayout(work_, run, problem);
    } else {
        // A part erased whole is erased before the last KiB is unprotected, the image's
        // range after it.
        if (wholePart) {
            parts_.log.ReplaceLast("Erase Flash ---> Chip Erasing...");
            flash.Erase();
        }
        if (work_.controls.eraseLast1K && !run.chip.keepsLast1KProtected &&
            run.part.controllersOwnEFlash) {
            UnprotectLastKilobyte(work_, run);
        }
        if (!wholePart) {
            flash.Erase();
        }
    }
    // An erase answered as done is proven blank, as the blank check would, before it is
    // reported: a board can answer success and leave the sectors as they were. Left to the
    // blank check that follows at once, the proof is that check's, and the run's verdict
    // is the same: an erase that did not clear its range fails that check.
    if (run.result && problem.empty() && leaveProof_) {
        run.result = !parts_.frame.StopRequested();
        handed_ = run.result ? Proof::ByCheck : Proof::Own;
    } else if (run.result && problem.empty()) {
        run.errors = CheckRange(run, flash, CheckWalk::AfterErase);
        run.result = run.errors == 0 && !parts_.frame.StopRequested();
    }
    run.cause = problem;
}

}  // namespace quillon
