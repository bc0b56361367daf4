#include <array>

#include "board/block_checksum.h"
#include "flashops/block_bytes.h"
#include "flashops/block_limits.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"

namespace quillon {

namespace {
// The checksums of an erased block: 64 words of 0x7F0D, the checksum of 1 KiB of 0xFF.
const std::array<uint8_t, kChecksumsPerBlock * 2>& ErasedBlockChecksums() {
    static const auto sums = [] {
        const std::vector<uint8_t> erased(kBlockSize, kErased);
        return BlockChecksums(erased);
    }();
    return sums;
}

constexpr uint8_t kQuickRegisterHigh = 0x10;  // register 0x10A2 selects the bank the board
constexpr uint8_t kQuickRegisterLow = 0xA2;   // checks: 0x40 below block 256, 0x50 above
constexpr uint8_t kLowBank = 0x40;
constexpr uint8_t kHighBank = 0x50;
constexpr uint32_t kFirstHighBankBlock = 256;
constexpr std::size_t kKiB = 1024;

const FlashOperations::OperationTexts kBlankCheckTexts{
    CursorArea::Window, "Check Flash be cleared ---> Checking...",
    OutcomeTexts::Named("Check Flash be cleared", true)};
}  // namespace

StepReport FlashOperations::BlankCheck() {
    FlashRun run = FlashRun::Read(parts_.settings, parts_.cache, parts_.identity);
    std::optional<std::string> refusal = ImageAndTypeRefusal();
    if (!refusal) {
        refusal = run.IsMode(ConnectMode::Pd) ? PdPagesRefusal(0) : UsedBlocksRefusal();
    }
    return RunInFrame(run, kBlankCheckTexts, refusal, [&] { RunBlankCheck(run); });
}

void FlashOperations::RunBlankCheck(FlashRun& run) {
    parts_.image.readBuffer.resize(static_cast<std::size_t>(parts_.image.usedBlockCount) *
                                   kBlockSize);
    run.errors = run.IsMode(ConnectMode::Pd) ? CheckPdPages(run, CheckWalk::BlankCheck)
                                             : CheckBlocks(run, CheckWalk::BlankCheck);
    run.result = run.errors == 0 && !parts_.frame.StopRequested();
}

long long FlashOperations::CheckPdPages(FlashRun& run, CheckWalk walk) {
    const bool blankCheck = walk == CheckWalk::BlankCheck;
    auto& buffer = parts_.image.readBuffer;
    if (blankCheck) {
        buffer.resize(static_cast<std::size_t>(parts_.eflash.eFlashSizeKB) * kKiB);
    }
    WalkPlan plan;
    plan.units = static_cast<long long>(parts_.eflash.eFlashSizeKB) * 4;
    plan.gauge = blankCheck ? WalkGauge::Step : WalkGauge::Pump;
    long long errors = 0;
    walk_.Run(plan, run.retries, [&](long long page) {
        const auto target = blankCheck ? std::span<uint8_t>(buffer).subspan(
                                             static_cast<std::size_t>(page) * kPageSize, kPageSize)
                                       : ScratchBlock().first(kPageSize);
        const auto result =
            parts_.boardSide.PdReadPage(parts_.cache.pdI2cAddress, parts_.identity.pdFlashVariant,
                                        static_cast<uint16_t>(page), target);
        if (!result.Succeeded()) {
            return Turn::Repeat;
        }
        errors += CountNotErased(target);
        return Turn::Done;
    });
    return errors;
}

long long FlashOperations::CheckBlocks(FlashRun& run, CheckWalk walk) {
    const bool blankCheck = walk == CheckWalk::BlankCheck;
    auto& image = parts_.image;
    const uint32_t used = image.usedBlockCount;
    WalkPlan plan = UsedBlocksPlan(run);
    plan.gauge = blankCheck ? WalkGauge::Step : WalkGauge::Pump;
    // A block whose blank proof Auto's erase already read, or that holds the image, is not
    // read again here.
    plan.skipped = [&](long long b) { return fast_.CheckPasses(static_cast<uint32_t>(b)); };
    TestLimit limit;
    long long errors = 0;
    walk_.Run(plan, run.retries, [&](long long unit) {
        const auto b = static_cast<uint32_t>(unit);
        if (!run.QuickPaths()) {
            parts_.flags.quickModeCapable = false;
        }
        const bool quick = BoardCompares(run, image.halfLastBlock);
        const auto block = blankCheck ? std::span<uint8_t>(image.readBuffer)
                                            .subspan(std::size_t{b} * kBlockSize, kBlockSize)
                                      : ScratchBlock();
        TransferResult result;
        if (quick) {
            parts_.board.WriteTargetRegister(kQuickRegisterHigh, kQuickRegisterLow,
                                             b < kFirstHighBankBlock ? kLowBank : kHighBank);
            result = parts_.board.VerifyBlockChecksums(static_cast<int>(b), ErasedBlockChecksums());
        } else {
            result = parts_.board.ReadBlock(static_cast<int>(b),
                                            static_cast<uint8_t>(run.type.commandModeRead), block);
        }
        MaskRomCodeArea(run, b, block);
        long long found = 0;
        if (result.Succeeded()) {
            limit.Update(run, parts_.eflash, b);
            // Every block that was read is tested; the board has tested the others.
            if (!quick) {
                const bool halfBlock = image.halfLastBlock && b == used - 1;
                found = CountNotErased(block.first(limit.Length(halfBlock)));
            }
        }
        // A block Auto's erase left unerased that is not blank after all is erased now and
        // checked again.
        if ((!result.Succeeded() || found > 0) && EraseOverturned(run, b)) {
            return Turn::Repeat;
        }
        if (!result.Succeeded()) {
            return Turn::Repeat;
        }
        errors += found;
        return Turn::Done;
    });
    return errors;
}

}  // namespace quillon
