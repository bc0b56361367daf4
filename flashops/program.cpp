#include "board/block_checksum.h"
#include "flashops/block_bytes.h"
#include "flashops/block_limits.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"
#include "target/chip_groups.h"

namespace quillon {

namespace {
constexpr int32_t kQuickWriteMode = 3;  // CommandMode_Write of the parts the board writes itself
constexpr int32_t kQuickWritePageSize = 256;
constexpr int32_t kLargestSmallPage = 32;  // smaller program commands go page by page

// The chips that are programmed at the low SMBus speed.
bool NeedsLowSpeedToProgram(const FlashRun& run) {
    return (run.IsChip(chip::k4CE1) || run.IsChip(chip::k4CED) || run.romCodeFamily) &&
           run.smbusSpeed == kHighSmbusSpeed;
}
}  // namespace

StepReport FlashOperations::Program() {
    FlashRun run = FlashRun::Read(parts_.settings, parts_.cache, parts_.identity);
    const std::optional<std::string> refusal = ImageWriteRefusal(run);
    const OperationSpec spec{CursorArea::LogPane, [&] { return !refusal; }, refusal.value_or(""),
                             "Write Flash from buffer ---> Writing..."};
    return parts_.frame.Run(spec, [&] { return RunProgram(run); });
}

OperationOutcome FlashOperations::RunProgram(FlashRun& run) {
    run.result = parts_.frame.OperationResult();
    ClearSkipFlagsUnlessSkipFF();
    if (NeedsLowSpeedToProgram(run)) {
        parts_.board.SmbPortControl(kSmbusLowSpeedCode);
    }
    if (run.IsMode(ConnectMode::Pd)) {
        ProgramPdPages(run);
    } else {
        ProgramBlocks(run);
    }
    parts_.log.ReplaceLast(
        OutcomeLine("Write Flash from buffer", "Write Flash from buffer", run.result, run.retries));
    // The high speed comes back also after a stop or a failure.
    if ((run.IsChip(chip::k4CE1) || run.IsChip(chip::k4CED)) && run.smbusSpeed == kHighSmbusSpeed) {
        parts_.board.SmbPortControl(kSmbusHighSpeedCode);
    }
    return {StepFrom(run.result), "", run.retries};
}

bool FlashOperations::ProgramPdPages(FlashRun& run) {
    auto& image = parts_.image.imageBuffer;
    const std::size_t pages = (image.size() + kPageSize - 1) / kPageSize;
    image.resize(pages * kPageSize, kErased);
    return WalkPdPages(run, static_cast<long long>(pages), 1, [&](uint16_t page) {
        const auto bytes =
            std::span<const uint8_t>(image).subspan(std::size_t{page} * kPageSize, kPageSize);
        // A page that does not read back as written counts as a failed write.
        return parts_.boardSide
                   .PdWritePage(parts_.cache.pdI2cAddress, parts_.identity.pdFlashVariant, page,
                                bytes)
                   .Succeeded() &&
               PdPageHolds(page, bytes);
    });
}

bool FlashOperations::ProgramBlocks(FlashRun& run) {
    auto& image = parts_.image;
    const uint32_t used = image.usedBlockCount;
    const uint32_t start = image.startBlock;
    const long long span = static_cast<long long>(used) - start;
    const auto writeMode = static_cast<uint8_t>(run.type.commandModeWrite);
    const auto pageWriteSize = static_cast<uint8_t>(run.type.pageWriteSize);
    TestLimit limit;
    for (uint32_t b = 0; b < used;) {
        if (WalkEnds(run)) {
            run.result = false;
            break;
        }
        if (!run.Covers(b, start)) {
            ++b;
            continue;
        }
        const long long done = static_cast<long long>(b) - start;
        if (SkipsBlock(b)) {
            Step(done, span);
            ++b;
            continue;
        }
        const bool halfBlock = image.halfLastBlock && b == used - 1;
        const std::size_t length = halfBlock ? kHalfBlock : kBlockSize;
        const std::size_t offset = std::size_t{b} * kBlockSize;
        if (run.quickMode == 0) {
            parts_.flags.quickModeCapable = false;
        }
        const bool quick = !image.halfLastBlock && parts_.flags.quickModeCapable &&
                           !parts_.eflash.internalFlashSelected &&
                           run.type.commandModeWrite == kQuickWriteMode &&
                           run.type.pageWriteSize == kQuickWritePageSize &&
                           (run.IsMode(ConnectMode::Kbs) || run.IsMode(ConnectMode::Smbus));
        TransferResult result;
        if (quick) {
            result = parts_.board.QuickWriteBlock(
                static_cast<int>(b), static_cast<uint8_t>(run.quickMode - 1),
                ImageBytes(image.imageBuffer, offset, kBlockSize, imageScratch_));
        } else if (run.type.commandModeWrite != kQuickWriteMode ||
                   run.type.pageWriteSize > kLargestSmallPage) {
            result = parts_.board.WriteBlock(
                static_cast<int>(b), writeMode, static_cast<uint32_t>(length),
                ImageBytes(image.imageBuffer, offset, length, imageScratch_), pageWriteSize);
        } else {
            const int pageCount = static_cast<int>(length / kPageSize);
            for (int t = 0; t < pageCount; ++t) {
                result = parts_.board.WritePage(
                    static_cast<int>(b), static_cast<uint8_t>(t),
                    ImageBytes(image.imageBuffer, offset + std::size_t(t) * kPageSize, kPageSize,
                               imageScratch_),
                    pageWriteSize);
                if (!result.Succeeded()) {
                    break;
                }
                // A Stop pressed here is noticed before the next block: this one is
                // finished first.
                Step(done * kPagesPerBlock + t, span * kPagesPerBlock);
            }
        }
        run.result = result.Succeeded();
        // The block is read back as verify would test it; a block that does not hold the
        // image counts as a failed write and is written again.
        if (run.result) {
            const auto wrong = CompareBlock(run, b, limit, ScratchBlock());
            run.result = wrong && *wrong == 0;
        }
        if (!run.result) {
            PauseBeforeRetry(run.retries);
            continue;
        }
        Step(done, span);
        ++b;
    }
    return run.result;
}

}  // namespace quillon
