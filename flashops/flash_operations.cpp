#include "flashops/flash_operations.h"

#include <algorithm>
#include <utility>

#include "board/block_checksum.h"
#include "flashops/block_bytes.h"
#include "flashops/block_limits.h"
#include "flashops/flash_run.h"
#include "flashops/refusal_texts.h"

namespace quillon {

namespace {
constexpr const char* kUnmergedImage =
    "The flash beside the image could not be read when the file was merged, so the image is "
    "not complete. Please Open BIN File Again !";
// Block numbers travel as two bytes.
constexpr long long kAddressableBlocks = 65536;
constexpr long long kAddressablePdPages = 65536;
}  // namespace

FlashOperations::FlashOperations(FlashOpsParts parts, FlashOpsControls controls)
    : parts_(parts),
      controls_(std::move(controls)),
      walk_(parts_.frame, parts_.stop, parts_.clock) {}

std::optional<std::string> FlashOperations::ImageAndTypeRefusal() const {
    if (parts_.image.imageBuffer.empty() || controls_.deviceLines.empty()) {
        return kOpenBinFirst;
    }
    return std::nullopt;
}

std::optional<std::string> FlashOperations::FlashblockRefusal() const {
    const long long blocks = parts_.cache.flashblock;
    if (blocks >= 1 && blocks <= kMaxBlocks && blocks <= kAddressableBlocks) {
        return std::nullopt;
    }
    return "The flash type's size of " + std::to_string(blocks) +
           " blocks of 64 KB cannot be used (1 to " + std::to_string(kMaxBlocks) +
           " blocks). Please Choice Flash Type Again !";
}

std::optional<std::string> FlashOperations::ImageWriteRefusal(const FlashRun& run) const {
    if (auto refusal = ImageAndTypeRefusal()) {
        return refusal;
    }
    if (auto refusal = UnmergedImageRefusal()) {
        return refusal;
    }
    const std::size_t pages = (parts_.image.imageBuffer.size() + kPageSize - 1) / kPageSize;
    return run.IsMode(ConnectMode::Pd) ? PdPagesRefusal(pages) : UsedBlocksRefusal();
}

std::optional<std::string> FlashOperations::UnmergedImageRefusal() const {
    if (parts_.image.besideFileUnread) {
        return kUnmergedImage;
    }
    return std::nullopt;
}

std::optional<std::string> FlashOperations::UsedBlocksRefusal() const {
    const long long used = parts_.image.usedBlockCount;
    if (used <= kMaxBlocks) {
        return std::nullopt;
    }
    return "The image covers " + std::to_string(used) + " blocks of 64 KB, more than the " +
           std::to_string(kMaxBlocks) + " a part can hold. Please Open BIN File Again !";
}

std::optional<std::string> FlashOperations::PdPagesRefusal(std::size_t pages) const {
    const long long flashPages = static_cast<long long>(parts_.eflash.eFlashSizeKB) * 4;
    const long long count = static_cast<long long>(pages);
    if (count > kAddressablePdPages || (flashPages > 0 && count > flashPages)) {
        return "The image (" + std::to_string(parts_.image.imageBuffer.size()) +
               " bytes) is larger than the PD flash (" +
               std::to_string(parts_.eflash.eFlashSizeKB) + " KB)";
    }
    return std::nullopt;
}

bool FlashOperations::SkipsBlock(uint32_t block) const {
    return parts_.image.blockSkipFlags.IsSkipped(block) &&
           IsAllErased(parts_.image.imageBuffer, static_cast<std::size_t>(block) * kBlockSize,
                       kBlockSize);
}

bool FlashOperations::BoardCompares(const FlashRun& run, bool halfLastBlock) const {
    return !halfLastBlock && parts_.flags.quickModeCapable &&
           !InternalFlashBlocksQuickPath(run, parts_.eflash) && !run.IsMode(ConnectMode::Socket) &&
           !run.IsMode(ConnectMode::Pd);
}

std::span<uint8_t> FlashOperations::ScratchBlock() {
    readBackScratch_.resize(kBlockSize);
    return readBackScratch_;
}

void FlashOperations::ClearSkipFlagsUnlessSkipFF() {
    if (!controls_.skipFF) {
        parts_.image.blockSkipFlags.Clear(parts_.image.usedBlockCount);
    }
}

bool FlashOperations::Step(long long done, long long total) {
    if (const auto percent = OperationFrame::GaugePercent(done, total)) {
        return parts_.frame.Progress(*percent);
    }
    return parts_.frame.Pump();
}

WalkPlan FlashOperations::UsedBlocksPlan(const FlashRun& run) const {
    WalkPlan plan;
    plan.units = parts_.image.usedBlockCount;
    plan.gaugeFrom = parts_.image.startBlock;
    plan.workFrom = run.Covers(0, parts_.image.startBlock) ? 0 : plan.gaugeFrom;
    return plan;
}

bool FlashOperations::WalkTransfers(FlashRun& run, const WalkPlan& plan,
                                    const std::function<bool(long long unit)>& transfer) {
    const WalkEnd end = walk_.Run(plan, run.retries, [&](long long unit) {
        run.result = transfer(unit);
        return run.result ? Turn::Done : Turn::Repeat;
    });
    if (end == WalkEnd::Ended) {
        run.result = false;
    }
    return run.result;
}

bool FlashOperations::WalkPdPagesReadBack(
    FlashRun& run, std::span<uint8_t> pages,
    const std::function<TransferResult(uint16_t page, std::span<uint8_t> bytes)>& transfer) {
    WalkPlan plan;
    plan.units = static_cast<long long>(pages.size() / kPageSize);
    return WalkTransfers(run, plan, [&](long long unit) {
        const auto page = static_cast<uint16_t>(unit);
        const auto bytes = pages.subspan(std::size_t{page} * kPageSize, kPageSize);
        return transfer(page, bytes).Succeeded() && PdPageHolds(page, bytes);
    });
}

StepReport FlashOperations::LeavingProof(StepReport (FlashOperations::*operation)()) {
    leaveProof_ = true;
    StepReport report = (this->*operation)();
    leaveProof_ = false;
    return report;
}

StepReport FlashOperations::RunInFrame(FlashRun& run, const OperationTexts& texts,
                                       const std::optional<std::string>& refusal,
                                       const std::function<void()>& body,
                                       std::function<void()> afterOutcome) {
    // A proof handed on is taken by the very next operation, whichever it is.
    taken_ = std::exchange(handed_, Proof::Own);
    // An operation is named as its failure line names it (the read's OK line has a spelling
    // of its own).
    const std::string name = texts.outcome ? texts.outcome->failureName : std::string();
    const OperationSpec spec{
        texts.cursor,  [&] { return !refusal; }, refusal.value_or(""), name, texts.progressLine,
        texts.outcome, std::move(afterOutcome),  kRetryLimit};
    // The frame names the cause of a failure the run did not name itself.
    return parts_.frame.Run(spec, [&] {
        body();
        return StepReport{StepFrom(run.result), run.retries,
                          static_cast<uint64_t>(std::max(0LL, run.errors)), run.cause, 0.0};
    });
}

}  // namespace quillon
