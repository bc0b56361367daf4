#include <algorithm>

#include "flashops/block_bytes.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"

namespace quillon {

namespace {
constexpr const char* kWholePartByBlocks = "MX25L12845E";  // erased block by block in the socket
constexpr const char* kOwnEFlashMaker = "Kavo";
constexpr uint8_t kChipEraseType = 0;
constexpr uint8_t kSectorEraseType = 1;
constexpr uint8_t kBlockEraseType = 2;
constexpr uint8_t kLastPageOfBlock = 255;
constexpr int kLastKiBBlock = 1;
constexpr uint8_t kLastKiBPage = 0xFC;  // the KiB at 0x1FC00
constexpr int kKbPerBlock = 64;
constexpr int kPdPagesPerErase = 4;  // one PD erase clears 1 KiB
constexpr uint8_t kRunReset = 0x80;
constexpr uint8_t kRunBreakAt0 = 0x81;
constexpr uint8_t kKbsUnprotectStep = 3;
constexpr uint8_t kKbsUnprotectEnd = 4;
constexpr uint8_t kKbsReleased = 2;
constexpr Millis kUnprotectSettle{1000};
constexpr uint8_t kWriteModeEFlashAlt = 0x80;
constexpr uint8_t kWriteModeEFlash = 5;
}  // namespace

StepReport FlashOperations::Erase() {
    FlashRun run = FlashRun::Read(parts_.settings, parts_.cache, parts_.identity);
    std::optional<std::string> refusal = ImageAndTypeRefusal();
    if (!refusal && (run.type.eraseType < kChipEraseType || run.type.eraseType > kBlockEraseType)) {
        refusal = "The flash type's EraseType " + std::to_string(run.type.eraseType) +
                  " is not 0, 1 or 2. Please Choice Flash Type Again !";
    }
    const bool byFlashblock =
        run.type.eraseType == kChipEraseType ||
        (run.IsMode(ConnectMode::Socket) && run.flashPart == kWholePartByBlocks);
    if (!refusal && byFlashblock) {
        refusal = FlashblockRefusal();
    }
    if (!refusal && run.type.eraseType != kChipEraseType && run.type.sectorOffset == "0" &&
        !run.IsMode(ConnectMode::Pd) && SectorPageBytes(run.type.sectorSize).empty()) {
        refusal = "The flash type's SectorSize " + std::to_string(run.type.sectorSize) +
                  " KB cannot be erased. Please Choice Flash Type Again !";
    }
    if (!refusal && run.IsMode(ConnectMode::Pd)) {
        refusal = PdPagesRefusal(0);
    }
    if (!refusal) {
        refusal = UsedBlocksRefusal();
    }
    const OperationSpec spec{CursorArea::LogPane, [&] { return !refusal; }, refusal.value_or(""),
                             "Erase Flash ---> Erasing..."};
    return parts_.frame.Run(spec, [&] { return RunErase(run); });
}

OperationOutcome FlashOperations::RunErase(FlashRun& run) {
    run.result = parts_.frame.OperationResult();
    std::string problem;
    if (run.type.eraseType == kChipEraseType) {
        EraseChip(run);
    } else if (run.type.sectorOffset != "0") {
        EraseBySectorLayout(run, problem);
    } else {
        const bool wholePart =
            run.IsMode(ConnectMode::Socket) && run.flashPart == kWholePartByBlocks;
        if (wholePart) {
            parts_.log.ReplaceLast("Erase Flash ---> Chip Erasing...");
            EraseWholePartByBlocks(run);
        }
        if (controls_.eraseLast1K && !run.IsChip(chip::k4C8A) && !run.IsChip(chip::k4CE1) &&
            run.flashMaker == kOwnEFlashMaker) {
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
    // reported: a board can answer success and leave the sectors as they were.
    if (run.result && problem.empty()) {
        run.errors = run.IsMode(ConnectMode::Pd) ? CheckPdPages(run, CheckWalk::AfterErase)
                                                 : CheckBlocks(run, CheckWalk::AfterErase);
        run.result = run.errors == 0 && !parts_.frame.StopRequested();
    }
    parts_.log.ReplaceLast(OutcomeLine("Erase Flash", "Erase Flash", run.result, run.retries));
    if (run.errors > 0) {
        parts_.log.Append("Error " + std::to_string(run.errors) + " bytes");
    }
    if (!problem.empty()) {
        parts_.log.Append(problem);
    }
    return {StepFrom(run.result), "", run.retries, static_cast<uint64_t>(run.errors)};
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
    const int blocks = run.type.flashblock;
    for (int k = 0; k < blocks;) {
        if (run.RetriesExhausted() || parts_.frame.StopRequested()) {
            run.result = false;
            return;
        }
        run.result = parts_.board
                         .EraseFlash(k, kLastPageOfBlock, kBlockEraseType,
                                     static_cast<uint8_t>(run.type.commandModeErase))
                         .Succeeded();
        if (!run.result) {
            PauseBeforeRetry(run.retries);
            continue;
        }
        Step(k, blocks);
        ++k;
    }
}

// Erases the last KiB of the controller's own flash and lifts its protection: the
// controller is reset around the register writes and released at the end.
void FlashOperations::UnprotectLastKilobyte(FlashRun& run) {
    auto& board = parts_.board;
    run.result = board
                     .EraseFlash(kLastKiBBlock, kLastKiBPage, kSectorEraseType,
                                 static_cast<uint8_t>(run.type.commandModeErase))
                     .Succeeded();
    board.TargetRunControl(kRunReset, 0, 0);
    board.KbsPortControl(kKbsUnprotectStep);
    board.WriteTargetRegister(0x20, 0x06, 0x44);
    board.TargetRunControl(kRunReset, 0, 0);
    board.KbsPortControl(kKbsUnprotectStep);
    if (run.type.commandModeWrite == kWriteModeEFlashAlt) {
        board.WriteTargetRegister(0x2D, 0x00, 0x40);
    } else if (run.type.commandModeWrite == kWriteModeEFlash) {
        board.WriteTargetRegister(0x10, 0x58, 0x40);
    }
    board.KbsPortControl(kKbsUnprotectEnd);
    board.TargetRunControl(kRunBreakAt0, 0, 0);
    parts_.clock.Sleep(kUnprotectSettle);
    board.KbsPortControl(kKbsReleased);
}

void FlashOperations::ErasePdFlash(FlashRun& run) {
    const long long pages = static_cast<long long>(parts_.eflash.eFlashSizeKB) * 4;
    WalkPdPages(run, pages, kPdPagesPerErase, [&](uint16_t page) {
        return parts_.boardSide
            .PdEraseBlock(parts_.cache.pdI2cAddress, parts_.identity.pdFlashVariant, page)
            .Succeeded();
    });
}

void FlashOperations::EraseBlockWalk(FlashRun& run) {
    const auto pages = SectorPageBytes(run.type.sectorSize);
    const uint32_t used = parts_.image.usedBlockCount;
    const uint32_t start = parts_.image.startBlock;
    const bool half = parts_.image.halfLastBlock;
    for (uint32_t b = 0; b < used;) {
        if (run.RetriesExhausted()) {
            run.result = false;
            return;
        }
        bool failed = false;
        for (const uint8_t page : pages) {
            if (parts_.frame.StopRequested()) {
                run.result = false;
                return;
            }
            if (!run.Covers(b, start)) {
                break;
            }
            if (half && b == used - 1 && page >= kPagesPerBlock / 2) {
                if (page == pages.front()) {
                    // The first sector already reaches past the half block: erasing it would
                    // wipe the half the image leaves alone, skipping it leaves the image's
                    // half unerased. Either way the range is not erased as claimed.
                    run.result = false;
                }
                break;
            }
            const auto result = parts_.board.EraseFlash(
                static_cast<int>(b), page, static_cast<uint8_t>(run.type.eraseType),
                static_cast<uint8_t>(run.type.commandModeErase));
            run.result = result.Succeeded();
            if (run.result) {
                Step(static_cast<long long>(b) - start, static_cast<long long>(used) - start);
            } else {
                failed = true;
            }
        }
        if (failed) {
            PauseBeforeRetry(run.retries);
            continue;
        }
        ++b;
    }
}

}  // namespace quillon
