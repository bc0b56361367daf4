#include <algorithm>
#include <string>

#include "board/block_checksum.h"
#include "flashops/block_bytes.h"
#include "flashops/block_erase.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"
#include "flashops/range_refusals.h"
#include "flashops/refusal_texts.h"

namespace quillon {

namespace {
// The four stage lines, by their position from the end of the log.
constexpr std::size_t kEraseLine = 3;
constexpr std::size_t kCheckLine = 2;
constexpr std::size_t kProgramLine = 1;
constexpr std::size_t kReadBackLine = 0;
constexpr const char* kEraseText = "Erase  : ";
constexpr const char* kCheckText = "Check  : ";
constexpr const char* kProgramText = "Program: ";

std::string StageLine(const char* stage, uint32_t block) {
    return std::string(stage) + std::to_string(block) + " Block";
}
}  // namespace

StepReport FlashOperations::BlockProcess() {
    FlashRun run = FlashRun::Read(parts_.settings, parts_.cache, parts_.identity);
    std::optional<std::string> refusal = UsedBlocksRefusal(parts_.image);
    if (!refusal) {
        refusal = UnmergedImageRefusal(parts_.image);
    }
    // Every erase here names one sector: a chip erase would wipe the blocks already done.
    if (!refusal && ModeFrom<EraseType>(run.type.eraseType) != EraseType::Sector &&
        ModeFrom<EraseType>(run.type.eraseType) != EraseType::Block) {
        refusal = "The Block Process erases sector by sector; the flash type's EraseType " +
                  std::to_string(run.type.eraseType) + " cannot be used for it";
    }
    if (!refusal && SectorPageBytes(run.type.sectorSize).empty()) {
        refusal = SectorSizeRefusal(static_cast<int>(run.type.sectorSize));
    }
    if (!refusal) {
        refusal = HalfBlockEraseProblem(run, parts_.image, work_.controls.smallSectorKB);
    }
    return RunInFrame(run, operation_texts::kBlockProcess, refusal, [&] { RunBlockProcess(run); });
}

void FlashOperations::RunBlockProcess(FlashRun& run) {
    run.result = parts_.frame.OperationResult();
    if (work_.controls.checkAllSteps) {
        work_.controls.checkAllSteps();
    }
    for (const char* line : {kEraseText, kCheckText, kProgramText, kCheckText}) {
        parts_.log.Append(line);
    }
    parts_.image.readBuffer.resize(static_cast<std::size_t>(parts_.image.usedBlockCount) *
                                   kBlockSize);
    // A block that fails a stage is done again from its erase, with no retry limit; Stop
    // stays reachable meanwhile. Skipped blocks are passed over before the stop check.
    WalkPlan plan;
    plan.units = parts_.image.usedBlockCount;
    plan.gaugeFrom = parts_.image.startBlock;
    plan.repeat = WalkRepeat::Unbounded;
    plan.skipped = [&](long long b) { return work_.SkipsBlock(static_cast<uint32_t>(b)); };
    plan.skipFirst = true;
    int repeats = 0;  // not counted: the walk has no limit
    const WalkEnd end = work_.walk.Run(plan, repeats, [&](long long b) {
        bool stopped = false;
        if (ProcessOneBlock(run, static_cast<uint32_t>(b), stopped)) {
            return Turn::Done;
        }
        return stopped ? Turn::Ended : Turn::Repeat;
    });
    if (end == WalkEnd::Ended) {
        run.result = false;
    }
}

// Erase, blank check, program, read back and compare one block. True when it passed all
// stages; `stopped` when a stop request ended it.
bool FlashOperations::ProcessOneBlock(FlashRun& run, uint32_t b, bool& stopped) {
    auto& image = parts_.image;
    auto& board = parts_.board;
    const uint32_t start = image.startBlock;
    const bool halfBlock = work_.IsHalfBlock(b);
    long long failures = 0;
    for (const SectorCommand& command :
         BlockEraseCommands(run, halfBlock, work_.controls.smallSectorKB)) {
        if (parts_.frame.StopRequested()) {
            stopped = true;
            return false;
        }
        if (!run.Covers(b, start)) {
            break;
        }
        run.result = board
                         .EraseFlash(static_cast<int>(b), command.page, command.eraseType,
                                     static_cast<uint8_t>(run.type.commandModeErase))
                         .Succeeded();
        failures += run.result ? 0 : 1;
    }
    if (failures > 0) {
        return false;
    }
    parts_.log.ReplaceFromEnd(kEraseLine, StageLine(kEraseText, b));

    // Some chips have only their eFlash tested, never more than a block.
    std::size_t limit = kBlockSize;
    if (run.chip.blockProcessTestsEFlashOnly && parts_.eflash.eFlashSize > 0) {
        limit = std::min<std::size_t>(parts_.eflash.eFlashSize, kBlockSize);
    }
    const std::size_t tested = halfBlock ? std::min(limit, kHalfBlock) : limit;
    const std::size_t offset = std::size_t{b} * kBlockSize;
    const auto block = std::span<uint8_t>(image.readBuffer).subspan(offset, kBlockSize);
    const auto readMode = static_cast<uint8_t>(run.type.commandModeRead);

    run.result = board.ReadBlock(static_cast<int>(b), readMode, block).Succeeded();
    if (!run.result || CountNotErased(block.first(tested)) > 0) {
        return false;
    }
    parts_.log.ReplaceFromEnd(kCheckLine, StageLine(kCheckText, b));

    const std::size_t length = halfBlock ? kHalfBlock : kBlockSize;
    run.result =
        board
            .WriteBlock(static_cast<int>(b), static_cast<uint8_t>(run.type.commandModeWrite),
                        static_cast<uint32_t>(length), work_.Image(offset, length),
                        static_cast<uint8_t>(run.type.pageWriteSize))
            .Succeeded();
    if (!run.result) {
        return false;
    }
    parts_.log.ReplaceFromEnd(kProgramLine, StageLine(kProgramText, b));

    run.result = board.ReadBlock(static_cast<int>(b), readMode, block).Succeeded();
    if (!run.result || CountDifferent(block.first(tested), work_.Image(offset, tested)) > 0) {
        return false;
    }
    parts_.log.ReplaceFromEnd(kReadBackLine, StageLine(kCheckText, b));
    return true;
}

}  // namespace quillon
