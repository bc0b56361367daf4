#include "board/block_checksum.h"
#include "flashops/block_bytes.h"
#include "flashops/block_limits.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"

namespace quillon {

namespace {
const FlashOperations::OperationTexts kVerifyTexts{
    CursorArea::Window, "Verify Flash with buffer ---> Verifing...",
    OutcomeTexts::Named("Verify Flash with buffer", true)};

// The chips verified at the low SMBus speed while the high one is set.
bool VerifiesAtLowSpeed(const FlashRun& run) {
    return run.chip.verifiesAtLowSmbusSpeed && run.AtHighSmbusSpeed();
}
}  // namespace

StepReport FlashOperations::Verify() {
    FlashRun run = FlashRun::Read(parts_.settings, parts_.cache, parts_.identity);
    const std::optional<std::string> refusal = ImageWriteRefusal(run);
    // The high speed comes back after the outcome line, also after a stop or a failure.
    const auto restoreSpeed = [&] {
        if (VerifiesAtLowSpeed(run)) {
            parts_.board.SmbPortControl(PortAction::SmbHighSpeed);
        }
    };
    return RunInFrame(
        run, kVerifyTexts, refusal, [&] { RunVerify(run); }, restoreSpeed);
}

void FlashOperations::RunVerify(FlashRun& run) {
    ClearSkipFlagsUnlessSkipFF();
    parts_.image.readBuffer.resize(static_cast<std::size_t>(parts_.image.usedBlockCount) *
                                   kBlockSize);
    if (VerifiesAtLowSpeed(run)) {
        parts_.board.SmbPortControl(PortAction::SmbLowSpeed);
    }
    run.errors = run.IsMode(ConnectMode::Pd) ? VerifyPdPages(run) : VerifyBlocks(run);
    run.result = run.errors == 0 && !parts_.frame.StopRequested();
}

long long FlashOperations::VerifyPdPages(FlashRun& run) {
    auto& image = parts_.image.imageBuffer;
    auto& buffer = parts_.image.readBuffer;
    const std::size_t pages = (image.size() + kPageSize - 1) / kPageSize;
    image.resize(pages * kPageSize, kErased);
    buffer.resize(image.size());
    WalkPlan plan;
    plan.units = static_cast<long long>(pages);
    long long errors = 0;
    walk_.Run(plan, run.retries, [&](long long unit) {
        const auto page = static_cast<std::size_t>(unit);
        const auto target = std::span<uint8_t>(buffer).subspan(page * kPageSize, kPageSize);
        const auto result =
            parts_.boardSide.PdReadPage(parts_.cache.pdI2cAddress, parts_.identity.pdFlashVariant,
                                        static_cast<uint16_t>(page), target);
        if (!result.Succeeded()) {
            return Turn::Repeat;
        }
        errors += CountDifferent(
            target, std::span<const uint8_t>(image).subspan(page * kPageSize, kPageSize));
        return Turn::Done;
    });
    return errors;
}

long long FlashOperations::VerifyBlocks(FlashRun& run) {
    auto& image = parts_.image;
    WalkPlan plan = UsedBlocksPlan(run);
    plan.skipped = [&](long long b) { return SkipsBlock(static_cast<uint32_t>(b)); };
    // After a program that left its read-back here, a block that does not hold the image is
    // written again and compared again under the repeat rule, as that read-back would have.
    const bool rewrites = taken_ == Proof::ByVerify;
    TestLimit limit;
    long long errors = 0;
    long long stillWrong = 0;
    const WalkEnd end = walk_.Run(plan, run.retries, [&](long long unit) {
        const auto b = static_cast<uint32_t>(unit);
        if (!run.QuickPaths()) {
            parts_.flags.quickModeCapable = false;
        }
        const std::size_t offset = std::size_t{b} * kBlockSize;
        const auto found = CompareBlock(
            run, b, limit, std::span<uint8_t>(image.readBuffer).subspan(offset, kBlockSize));
        if (rewrites && (!found || *found > 0)) {
            stillWrong = found.value_or(0);
            EraseOverturned(run, b);  // a block Auto's erase spared is erased first
            WriteImageBlock(run, b);  // its answer counts at the compare that follows
            return Turn::Repeat;
        }
        if (!found) {
            return Turn::Repeat;
        }
        errors += *found;
        stillWrong = 0;
        return Turn::Done;
    });
    // A block still wrong when the retries ran out is reported with its bytes.
    return end == WalkEnd::Ended ? errors + stillWrong : errors;
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
