#include "board/block_checksum.h"
#include "flashops/block_bytes.h"
#include "flashops/block_limits.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"

namespace quillon {

namespace {
constexpr int32_t kQuickWritePageSize = 256;
constexpr int32_t kLargestSmallPage = 32;  // smaller program commands go page by page

const FlashOperations::OperationTexts kProgramTexts{
    CursorArea::LogPane, "Write Flash from buffer ---> Writing...",
    OutcomeTexts::Named("Write Flash from buffer", false)};
}  // namespace

bool FlashOperations::NeedsLowSpeedToProgram(const FlashRun& run) const {
    return run.chip.programsAtLowSmbusSpeed && run.AtHighSmbusSpeed();
}

StepReport FlashOperations::ProgramProvenByVerify() {
    return LeavingProof(&FlashOperations::Program);
}

StepReport FlashOperations::Program() {
    FlashRun run = FlashRun::Read(parts_.settings, parts_.cache, parts_.identity);
    const std::optional<std::string> refusal = ImageWriteRefusal(run);
    // The high speed comes back after the outcome line, also after a stop or a failure.
    const auto restoreSpeed = [&] {
        if (run.chip.highSmbusSpeedAfterProgram && run.AtHighSmbusSpeed()) {
            parts_.board.SmbPortControl(PortAction::SmbHighSpeed);
        }
        LogBlocksWritten(run);
    };
    return RunInFrame(
        run, kProgramTexts, refusal, [&] { RunProgram(run); }, restoreSpeed);
}

void FlashOperations::RunProgram(FlashRun& run) {
    run.result = parts_.frame.OperationResult();
    ClearSkipFlagsUnlessSkipFF();
    if (NeedsLowSpeedToProgram(run)) {
        parts_.board.SmbPortControl(PortAction::SmbLowSpeed);
    }
    if (run.IsMode(ConnectMode::Pd)) {
        ProgramPdPages(run);
    } else {
        ProgramBlocks(run);
    }
}

bool FlashOperations::ProgramPdPages(FlashRun& run) {
    auto& image = parts_.image.imageBuffer;
    const std::size_t pages = (image.size() + kPageSize - 1) / kPageSize;
    image.resize(pages * kPageSize, kErased);
    return WalkPdPagesReadBack(run, image, [&](uint16_t page, std::span<uint8_t> bytes) {
        return parts_.boardSide.PdWritePage(parts_.cache.pdI2cAddress,
                                            parts_.identity.pdFlashVariant, page, bytes);
    });
}

bool FlashOperations::ProgramBlocks(FlashRun& run) {
    // The SMBus speed of the program is not the verify's: a rewrite is left to it only when
    // the speeds agree.
    const bool leaves = leaveProof_ && !NeedsLowSpeedToProgram(run);
    WalkPlan plan = UsedBlocksPlan(run);
    // A block Auto's erase found holding the image is not written (its verify proves it).
    plan.skipped = [&](long long b) {
        return SkipsBlock(static_cast<uint32_t>(b)) || fast_.Unchanged(static_cast<uint32_t>(b));
    };
    TestLimit limit;
    WalkTransfers(run, plan, [&](long long unit) {
        const auto b = static_cast<uint32_t>(unit);
        if (!run.QuickPaths()) {
            parts_.flags.quickModeCapable = false;
        }
        if (!WriteImageBlock(run, b).Succeeded()) {
            return false;
        }
        // The block is read back as verify would test it; a block that does not hold the
        // image counts as a failed write and is written again. A program that leaves this
        // to the verify that follows at once leaves it the rewrite too.
        if (leaves) {
            return true;
        }
        const auto wrong = CompareBlock(run, b, limit, ScratchBlock());
        if (wrong && *wrong == 0) {
            return true;
        }
        // Written over a block Auto's erase left unerased: erased before it is written again.
        EraseOverturned(run, b);
        return false;
    });
    if (leaves && run.result) {
        handed_ = Proof::ByVerify;
    }
    return run.result;
}

TransferResult FlashOperations::WriteImageBlock(FlashRun& run, uint32_t b) {
    auto& image = parts_.image;
    const uint32_t used = image.usedBlockCount;
    const long long done = static_cast<long long>(b) - image.startBlock;
    const long long span = static_cast<long long>(used) - image.startBlock;
    const bool halfBlock = image.halfLastBlock && b == used - 1;
    const std::size_t length = halfBlock ? kHalfBlock : kBlockSize;
    const std::size_t offset = std::size_t{b} * kBlockSize;
    const auto pageWriteSize = static_cast<uint8_t>(run.type.pageWriteSize);
    const bool quick = !image.halfLastBlock && parts_.flags.quickModeCapable &&
                       !parts_.eflash.internalFlashSelected &&
                       IsWriteMode(run.type.commandModeWrite, WriteCommandMode::BoardWrites) &&
                       run.type.pageWriteSize == kQuickWritePageSize &&
                       (run.IsMode(ConnectMode::Kbs) || run.IsMode(ConnectMode::Smbus));
    if (quick) {
        return parts_.board.QuickWriteBlock(
            static_cast<int>(b), run.QuickWriteByte(),
            ImageBytes(image.imageBuffer, offset, kBlockSize, imageScratch_));
    }
    if (!IsWriteMode(run.type.commandModeWrite, WriteCommandMode::BoardWrites) ||
        run.type.pageWriteSize > kLargestSmallPage) {
        return parts_.board.WriteBlock(
            static_cast<int>(b), static_cast<uint8_t>(run.type.commandModeWrite),
            static_cast<uint32_t>(length),
            ImageBytes(image.imageBuffer, offset, length, imageScratch_), pageWriteSize);
    }
    TransferResult result;
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
        // A Stop pressed here is noticed before the next block: this one is finished first.
        Step(done * kPagesPerBlock + t, span * kPagesPerBlock);
    }
    return result;
}

}  // namespace quillon
