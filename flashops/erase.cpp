#include <algorithm>

#include "flashops/block_bytes.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"
#include "flashops/refusal_texts.h"

namespace quillon {

namespace {
constexpr auto kChipEraseType = static_cast<uint8_t>(EraseType::Chip);
constexpr auto kSectorEraseType = static_cast<uint8_t>(EraseType::Sector);
constexpr auto kBlockEraseType = static_cast<uint8_t>(EraseType::Block);
constexpr uint8_t kLastPageOfBlock = 255;
constexpr int kLastKiBBlock = 1;
constexpr uint8_t kLastKiBPage = 0xFC;  // the KiB at 0x1FC00
constexpr int kKbPerBlock = 64;
constexpr int kPdPagesPerErase = 4;  // one PD erase clears 1 KiB
constexpr Millis kUnprotectSettle{1000};

// A part erased block by block over its whole size, when it sits in the board's socket.
bool WholePartByBlocks(const FlashRun& run) {
    return run.IsMode(ConnectMode::Socket) && run.part.socketEraseWholeByBlocks;
}

// The erase's lines; a reason it erased nothing follows its outcome line.
const FlashOperations::OperationTexts kEraseTexts{
    CursorArea::LogPane, "Erase Flash ---> Erasing...",
    OutcomeTexts{"Erase Flash", "Erase Flash", true, true}};
}  // namespace

StepReport FlashOperations::EraseProvenByCheck() {
    return LeavingProof(&FlashOperations::Erase);
}

StepReport FlashOperations::Erase() {
    FlashRun run = FlashRun::Read(parts_.settings, parts_.cache, parts_.identity);
    std::optional<std::string> refusal = ImageAndTypeRefusal();
    if (!refusal && !ModeFrom<EraseType>(run.type.eraseType)) {
        refusal = "The flash type's EraseType " + std::to_string(run.type.eraseType) +
                  " is not 0, 1 or 2. Please Choice Flash Type Again !";
    }
    const bool byFlashblock = run.type.eraseType == kChipEraseType || WholePartByBlocks(run);
    if (!refusal && byFlashblock) {
        refusal = FlashblockRefusal();
    }
    if (!refusal && run.type.eraseType != kChipEraseType && run.type.sectorOffset == "0" &&
        !run.IsMode(ConnectMode::Pd) && SectorPageBytes(run.type.sectorSize).empty()) {
        refusal = SectorSizeRefusal(static_cast<int>(run.type.sectorSize));
    }
    if (!refusal && run.IsMode(ConnectMode::Pd)) {
        refusal = PdPagesRefusal(0);
    }
    if (!refusal) {
        refusal = UsedBlocksRefusal();
    }
    return RunInFrame(
        run, kEraseTexts, refusal, [&] { RunErase(run); }, [&] { LogAlreadyBlank(); });
}

void FlashOperations::RunErase(FlashRun& run) {
    run.result = parts_.frame.OperationResult();
    std::string problem;
    const bool wholePart = WholePartByBlocks(run);
    // Nothing is erased when the block walk could erase the image's last block only whole.
    const bool blockWalk = run.type.eraseType != kChipEraseType && run.type.sectorOffset == "0" &&
                           !run.IsMode(ConnectMode::Pd) && !wholePart;
    const auto halfProblem = blockWalk ? HalfBlockEraseProblem(run) : std::nullopt;
    if (halfProblem) {
        run.result = false;
        problem = *halfProblem;
    } else if (run.type.eraseType == kChipEraseType) {
        EraseChip(run);
    } else if (run.type.sectorOffset != "0") {
        EraseBySectorLayout(run, problem);
    } else {
        if (wholePart) {
            parts_.log.ReplaceLast("Erase Flash ---> Chip Erasing...");
            EraseWholePartByBlocks(run);
        }
        if (controls_.eraseLast1K && !run.chip.keepsLast1KProtected &&
            run.part.controllersOwnEFlash) {
            UnprotectLastKilobyte(run);
        }
        if (!wholePart) {
            if (run.IsMode(ConnectMode::Pd)) {
                ErasePdFlash(run);
            } else {
                EraseBlockWalk(run);
            }
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
        run.errors = run.IsMode(ConnectMode::Pd) ? CheckPdPages(run, CheckWalk::AfterErase)
                                                 : CheckBlocks(run, CheckWalk::AfterErase);
        run.result = run.errors == 0 && !parts_.frame.StopRequested();
    }
    run.cause = problem;
}

void FlashOperations::EraseChip(FlashRun& run) {
    const auto result =
        parts_.board.EraseFlash(run.type.flashblock, static_cast<uint8_t>(run.type.sectorSize),
                                kChipEraseType, static_cast<uint8_t>(run.type.commandModeErase));
    run.result = result.Succeeded();
    if (run.result) {
        parts_.frame.Progress(100);
    }
}

// Sectors of a layout that is not uniform: the groups are walked from address 0 until they
// reach the end of the image. A layout that never lands exactly on that end (or cannot be
// read) fails, and so does the walk when any sector failed: a sector left unerased is never
// hidden by a later success.
void FlashOperations::EraseBySectorLayout(FlashRun& run, std::string& problem) {
    const auto groups = ParseSectorLayout(run.type.sectorOffset);
    if (!groups) {
        run.result = false;
        problem = "Sector layout '" + run.type.sectorOffset + "' cannot be read";
        return;
    }
    const long long used = parts_.image.usedBlockCount;
    const long long start = parts_.image.startBlock;
    const long long end = used * kKbPerBlock;
    long long position = 0;  // KB
    bool anySent = false;
    bool anyFailed = false;
    for (const auto& group : *groups) {
        for (int i = 0; i < group.count && position < end; ++i) {
            if (parts_.frame.StopRequested()) {
                run.result = false;
                return;
            }
            const long long block = position / kKbPerBlock;
            if (run.Covers(static_cast<uint32_t>(block), static_cast<uint32_t>(start))) {
                const auto page = static_cast<uint8_t>(((position / 4) % 16) * 16 + 15);
                const auto result = parts_.board.EraseFlash(
                    static_cast<int>(block), page, static_cast<uint8_t>(run.type.eraseType),
                    static_cast<uint8_t>(run.type.commandModeErase));
                anySent = true;
                if (result.Succeeded()) {
                    Step(block - start, used - start);
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

// The socket part that is erased block by block over its whole size; a failed block is
// repeated like any block transfer.
void FlashOperations::EraseWholePartByBlocks(FlashRun& run) {
    WalkPlan plan;
    plan.units = run.type.flashblock;
    WalkTransfers(run, plan, [&](long long k) {
        return parts_.board
            .EraseFlash(static_cast<int>(k), kLastPageOfBlock, kBlockEraseType,
                        static_cast<uint8_t>(run.type.commandModeErase))
            .Succeeded();
    });
}

// Erases the last KiB of the controller's own flash and lifts its protection: the
// controller is reset around the register writes and released at the end.
void FlashOperations::UnprotectLastKilobyte(FlashRun& run) {
    auto& board = parts_.board;
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
    parts_.clock.Sleep(kUnprotectSettle);
    board.KbsPortControl(PortAction::KbsRun);
}

void FlashOperations::ErasePdFlash(FlashRun& run) {
    WalkPlan plan;
    plan.units = static_cast<long long>(parts_.eflash.eFlashSizeKB) * 4;
    plan.stride = kPdPagesPerErase;
    WalkTransfers(run, plan, [&](long long page) {
        return parts_.boardSide
            .PdEraseBlock(parts_.cache.pdI2cAddress, parts_.identity.pdFlashVariant,
                          static_cast<uint16_t>(page))
            .Succeeded();
    });
}

std::vector<FlashOperations::SectorCommand> FlashOperations::BlockEraseCommands(
    const FlashRun& run, bool halfBlock) const {
    const auto commandsFor = [&](int32_t sectorKB, uint8_t eraseType) {
        std::vector<SectorCommand> commands;
        for (const uint8_t page : SectorPageBytes(sectorKB)) {
            if (!halfBlock || page < kPagesPerBlock / 2) {
                commands.push_back({eraseType, page});
            }
        }
        return commands;
    };
    auto commands = commandsFor(run.type.sectorSize, static_cast<uint8_t>(run.type.eraseType));
    if (commands.empty() && halfBlock && controls_.smallSectorKB) {
        commands = commandsFor(controls_.smallSectorKB(), kSectorEraseType);
    }
    return commands;
}

std::optional<std::string> FlashOperations::HalfBlockEraseProblem(const FlashRun& run) const {
    const auto& image = parts_.image;
    if (!image.halfLastBlock || image.usedBlockCount == 0 ||
        !BlockEraseCommands(run, true).empty()) {
        return std::nullopt;
    }
    return "The image ends 32 KB into block " + std::to_string(image.usedBlockCount - 1) +
           ", and the flash type erases only whole " + std::to_string(run.type.sectorSize) +
           " KB sectors: erasing that block would lose its upper half, so nothing was erased";
}

// Every sector of each used block; a block with a failed sector is erased again whole.
void FlashOperations::EraseBlockWalk(FlashRun& run) {
    if (fast_.Deciding()) {
        EraseBlockWalkPlanned(run);
        return;
    }
    WalkPlan plan = UsedBlocksPlan(run);
    plan.gauge = WalkGauge::ByUnit;
    const WalkEnd end = walk_.Run(plan, run.retries, [&](long long b) {
        return EraseBlockSectors(run, static_cast<uint32_t>(b), &plan);
    });
    if (end == WalkEnd::Ended) {
        run.result = false;
    }
}

Turn FlashOperations::EraseBlockSectors(FlashRun& run, uint32_t block, const WalkPlan* plan) {
    const auto& image = parts_.image;
    const bool halfBlock = image.halfLastBlock && block == image.usedBlockCount - 1;
    bool failed = false;
    for (const SectorCommand& command : BlockEraseCommands(run, halfBlock)) {
        if (parts_.frame.StopRequested()) {
            return Turn::Ended;
        }
        const auto result =
            parts_.board.EraseFlash(static_cast<int>(block), command.page, command.eraseType,
                                    static_cast<uint8_t>(run.type.commandModeErase));
        run.result = result.Succeeded();
        if (!run.result) {
            failed = true;
        } else if (plan) {
            walk_.Gauge(*plan, block);
        }
    }
    return failed ? Turn::Repeat : Turn::Done;
}

}  // namespace quillon
