#include <vector>

#include "board/block_checksum.h"
#include "flashops/block_bytes.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"
#include "flashops/refusal_texts.h"

namespace quillon {

namespace {
constexpr std::size_t kKiB = 1024;

// The read's OK line has its own spelling.
const FlashOperations::OperationTexts kReadTexts{
    CursorArea::Window, "Read Flash to Buffer ---> Reading...",
    OutcomeTexts{"Read Flash to Bufferr", "Read Flash to Buffer", false, false}};
}  // namespace

StepReport FlashOperations::Read() {
    FlashRun run = FlashRun::Read(parts_.settings, parts_.cache, parts_.identity);
    std::optional<std::string> refusal;
    if (parts_.cache.flashblock == 0) {
        refusal = kChoiceFlashTypeFirst;
    } else if (run.IsMode(ConnectMode::Pd)) {
        refusal = PdPagesRefusal(0);
    } else {
        refusal = FlashblockRefusal();
    }
    return RunInFrame(run, kReadTexts, refusal, [&] { RunRead(run); });
}

void FlashOperations::RunRead(FlashRun& run) {
    run.result = parts_.frame.OperationResult();
    // The PD flash is sized by its own facts, not by the flash type.
    const bool firstPass = run.IsMode(ConnectMode::Pd) ? ReadPdPages(run) : ReadBlocks(run);
    if (firstPass && controls_.readTwice) {
        ReadSecondPass(run);
    }
}

bool FlashOperations::ReadPdPages(FlashRun& run) {
    auto& buffer = parts_.image.readBuffer;
    buffer.resize(static_cast<std::size_t>(parts_.eflash.eFlashSizeKB) * kKiB);
    // The controller has no checksum compare: a page counts as read once a second read
    // brings the same bytes.
    return WalkPdPagesReadBack(run, buffer, [&](uint16_t page, std::span<uint8_t> bytes) {
        return parts_.boardSide.PdReadPage(parts_.cache.pdI2cAddress,
                                           parts_.identity.pdFlashVariant, page, bytes);
    });
}

bool FlashOperations::ReadBlocks(FlashRun& run) {
    auto& buffer = parts_.image.readBuffer;
    const int blocks = run.type.flashblock;
    buffer.resize(static_cast<std::size_t>(blocks) * kBlockSize);
    WalkPlan plan;
    plan.units = blocks;
    return WalkTransfers(run, plan, [&](long long unit) {
        const auto b = static_cast<int>(unit);
        const auto bytes =
            std::span<uint8_t>(buffer).subspan(std::size_t(b) * kBlockSize, kBlockSize);
        return parts_.board.ReadBlock(b, static_cast<uint8_t>(run.type.commandModeRead), bytes)
                   .Succeeded() &&
               ReadConfirmed(run, b, bytes);
    });
}

// A block read is confirmed by the board comparing the checksums of the bytes received
// with the flash where it can, else by a second read that must bring the same bytes.
bool FlashOperations::ReadConfirmed(FlashRun& run, int b, std::span<const uint8_t> bytes) {
    if (run.QuickPaths() && BoardCompares(run, false)) {
        return parts_.board.VerifyBlockChecksums(b, BlockChecksums(bytes)).Succeeded();
    }
    const auto again = ScratchBlock();
    return parts_.board.ReadBlock(b, static_cast<uint8_t>(run.type.commandModeRead), again)
               .Succeeded() &&
           CountDifferent(again, bytes) == 0;
}

// Reads the part again into a buffer of its own and compares block by block (page by page on
// a USB-PD controller). It runs only after a first pass that read everything, and a Stop ends
// it like the first pass. The bytes that differ are the run's errors.
bool FlashOperations::ReadSecondPass(FlashRun& run) {
    const auto& buffer = parts_.image.readBuffer;
    std::vector<uint8_t> second(buffer.size());
    const bool pd = run.IsMode(ConnectMode::Pd);
    const std::size_t unit = pd ? kPageSize : kBlockSize;
    WalkPlan plan;
    plan.units = static_cast<long long>(buffer.size() / unit);
    const WalkEnd end = walk_.Run(plan, run.retries, [&](long long u) {
        const std::size_t offset = static_cast<std::size_t>(u) * unit;
        const auto target = std::span<uint8_t>(second).subspan(offset, unit);
        const auto result =
            pd ? parts_.boardSide.PdReadPage(parts_.cache.pdI2cAddress,
                                             parts_.identity.pdFlashVariant,
                                             static_cast<uint16_t>(u), target)
               : parts_.board.ReadBlock(static_cast<int>(u),
                                        static_cast<uint8_t>(run.type.commandModeRead), target);
        if (!result.Succeeded()) {
            return Turn::Repeat;
        }
        run.errors +=
            CountDifferent(target, std::span<const uint8_t>(buffer).subspan(offset, unit));
        return Turn::Done;
    });
    run.result = end == WalkEnd::Completed && run.errors == 0;
    return run.result;
}

}  // namespace quillon
