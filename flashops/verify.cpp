#include "board/block_checksum.h"
#include "flashops/block_bytes.h"
#include "flashops/block_limits.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"

namespace quillon {

StepReport FlashOperations::Verify() {
    FlashRun run = FlashRun::Read(parts_.settings, parts_.cache, parts_.identity);
    const std::optional<std::string> refusal = ImageWriteRefusal(run);
    const OperationSpec spec{CursorArea::Window, [&] { return !refusal; }, refusal.value_or(""),
                             "Verify Flash with buffer ---> Verifing..."};
    return parts_.frame.Run(spec, [&] { return RunVerify(run); });
}

OperationOutcome FlashOperations::RunVerify(FlashRun& run) {
    ClearSkipFlagsUnlessSkipFF();
    parts_.image.readBuffer.resize(static_cast<std::size_t>(parts_.image.usedBlockCount) *
                                   kBlockSize);
    const bool lowSpeed = run.IsChip(chip::k4CED) && run.smbusSpeed == kHighSmbusSpeed;
    if (lowSpeed) {
        parts_.board.SmbPortControl(kSmbusLowSpeedCode);
    }
    run.errors = run.IsMode(ConnectMode::Pd) ? VerifyPdPages(run) : VerifyBlocks(run);
    const bool ok = run.errors == 0 && !parts_.frame.StopRequested();
    auto outcome = FinishWithErrors("Verify Flash with buffer", ok, run.retries, run.errors);
    // The high speed comes back also after a stop or a failure.
    if (lowSpeed) {
        parts_.board.SmbPortControl(kSmbusHighSpeedCode);
    }
    return outcome;
}

long long FlashOperations::VerifyPdPages(FlashRun& run) {
    auto& image = parts_.image.imageBuffer;
    auto& buffer = parts_.image.readBuffer;
    const std::size_t pages = (image.size() + kPageSize - 1) / kPageSize;
    image.resize(pages * kPageSize, kErased);
    buffer.resize(image.size());
    long long errors = 0;
    for (std::size_t page = 0; page < pages;) {
        if (WalkEnds(run)) {
            break;
        }
        const auto target = std::span<uint8_t>(buffer).subspan(page * kPageSize, kPageSize);
        const auto result =
            parts_.boardSide.PdReadPage(parts_.cache.pdI2cAddress, parts_.identity.pdFlashVariant,
                                        static_cast<uint16_t>(page), target);
        if (!result.Succeeded()) {
            PauseBeforeRetry(run.retries);
            continue;
        }
        errors += CountDifferent(
            target, std::span<const uint8_t>(image).subspan(page * kPageSize, kPageSize));
        Step(static_cast<long long>(page), static_cast<long long>(pages));
        ++page;
    }
    return errors;
}

long long FlashOperations::VerifyBlocks(FlashRun& run) {
    auto& image = parts_.image;
    const uint32_t used = image.usedBlockCount;
    const uint32_t start = image.startBlock;
    const long long span = static_cast<long long>(used) - start;
    TestLimit limit;
    long long errors = 0;
    for (uint32_t b = 0; b < used;) {
        if (WalkEnds(run)) {
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
        if (run.quickMode == 0) {
            parts_.flags.quickModeCapable = false;
        }
        const std::size_t offset = std::size_t{b} * kBlockSize;
        const auto found = CompareBlock(
            run, b, limit, std::span<uint8_t>(image.readBuffer).subspan(offset, kBlockSize));
        if (!found) {
            PauseBeforeRetry(run.retries);
            continue;
        }
        errors += *found;
        Step(done, span);
        ++b;
    }
    return errors;
}

std::optional<long long> FlashOperations::CompareBlock(FlashRun& run, uint32_t b, TestLimit& limit,
                                                       std::span<uint8_t> into) {
    const auto& image = parts_.image;
    const bool read = !BoardCompares(run, image.halfLastBlock);
    const std::size_t offset = std::size_t{b} * kBlockSize;
    TransferResult result;
    if (read) {
        result = parts_.board.ReadBlock(static_cast<int>(b),
                                        static_cast<uint8_t>(run.type.commandModeRead), into);
    } else {
        result = parts_.board.VerifyBlockChecksums(
            static_cast<int>(b),
            BlockChecksums(ImageBytes(image.imageBuffer, offset, kBlockSize, imageScratch_)));
    }
    MaskRomCodeArea(run, b, into);
    if (!result.Succeeded()) {
        return std::nullopt;
    }
    limit.Update(run, parts_.eflash, b);
    // A block that was read is compared here; the board has compared the others.
    if (!read) {
        return 0;
    }
    const bool halfBlock = image.halfLastBlock && b == image.usedBlockCount - 1;
    const std::size_t length = limit.Length(halfBlock);
    return CountDifferent(into.first(length),
                          ImageBytes(image.imageBuffer, offset, length, imageScratch_));
}

bool FlashOperations::PdPageHolds(uint16_t page, std::span<const uint8_t> expected) {
    const auto found = ScratchBlock().first(kPageSize);
    return parts_.boardSide
               .PdReadPage(parts_.cache.pdI2cAddress, parts_.identity.pdFlashVariant, page, found)
               .Succeeded() &&
           CountDifferent(found, expected) == 0;
}

}  // namespace quillon
