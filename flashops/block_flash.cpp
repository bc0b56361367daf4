#include "flashops/block_flash.h"

#include <array>

#include "board/block_checksum.h"
#include "flashops/block_bytes.h"
#include "flashops/block_erase.h"
#include "flashops/flash_run.h"
#include "flashops/range_refusals.h"
#include "flashops/refusal_texts.h"

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
constexpr int32_t kQuickWritePageSize = 256;
constexpr int32_t kLargestSmallPage = 32;  // smaller program commands go page by page
}  // namespace

std::size_t BlockFlash::UnitSize() const {
    return kBlockSize;
}

WalkPlan BlockFlash::Plan(Range range) const {
    if (range == Range::Whole) {
        WalkPlan plan;
        plan.units = run_.type.flashblock;
        return plan;
    }
    WalkPlan plan = work_.UsedBlocksPlan(run_);
    if (range == Range::Image) {
        plan.skipped = [this](long long b) { return work_.SkipsBlock(static_cast<uint32_t>(b)); };
    }
    return plan;
}

std::optional<std::string> BlockFlash::Refusal(Range range) const {
    return range == Range::Whole ? FlashblockRefusal(work_.parts.cache.flashblock)
                                 : UsedBlocksRefusal(work_.parts.image);
}

std::optional<std::string> BlockFlash::EraseRefusal() const {
    if (run_.Erases() == EraseWay::BlockSectors && SectorPageBytes(run_.type.sectorSize).empty()) {
        return SectorSizeRefusal(static_cast<int>(run_.type.sectorSize));
    }
    return std::nullopt;
}

std::optional<std::string> BlockFlash::EraseProblem() const {
    return HalfBlockEraseProblem(run_, work_.parts.image, work_.controls.smallSectorKB);
}

// Every sector of each used block; a block with a failed sector is erased again whole.
void BlockFlash::Erase() {
    if (work_.fast.Deciding()) {
        ErasePlanned();
        return;
    }
    WalkPlan plan = Plan(Range::Erased);
    plan.gauge = WalkGauge::ByUnit;
    const WalkEnd end = work_.walk.Run(plan, run_.retries, [&](long long b) {
        return EraseSectors(static_cast<uint32_t>(b), &plan);
    });
    if (end == WalkEnd::Ended) {
        run_.result = false;
    }
}

Turn BlockFlash::EraseSectors(uint32_t block, const WalkPlan* plan) {
    const bool halfBlock = work_.IsHalfBlock(block);
    bool failed = false;
    for (const SectorCommand& command :
         BlockEraseCommands(run_, halfBlock, work_.controls.smallSectorKB)) {
        if (work_.parts.frame.StopRequested()) {
            return Turn::Ended;
        }
        const auto result =
            work_.parts.board.EraseFlash(static_cast<int>(block), command.page, command.eraseType,
                                         static_cast<uint8_t>(run_.type.commandModeErase));
        run_.result = result.Succeeded();
        if (!run_.result) {
            failed = true;
        } else if (plan) {
            work_.walk.Gauge(*plan, block);
        }
    }
    return failed ? Turn::Repeat : Turn::Done;
}

TransferResult BlockFlash::Read(long long unit, std::span<uint8_t> into) {
    return work_.parts.board.ReadBlock(static_cast<int>(unit),
                                       static_cast<uint8_t>(run_.type.commandModeRead), into);
}

// Confirmed by the board comparing the checksums of the bytes received with the flash where
// it can, else by a second read that must bring the same bytes.
bool BlockFlash::ReadConfirmed(long long unit, std::span<const uint8_t> bytes) {
    if (run_.QuickPaths() && BoardCompares(false)) {
        return work_.parts.board.VerifyBlockChecksums(static_cast<int>(unit), BlockChecksums(bytes))
            .Succeeded();
    }
    return ReadsSame(*this, work_, unit, bytes);
}

std::optional<long long> BlockFlash::CountNotBlank(long long unit, std::span<uint8_t> into) {
    const auto b = static_cast<uint32_t>(unit);
    ForgetQuickModeUnlessAllowed();
    const bool quick = BoardCompares(work_.parts.image.halfLastBlock);
    TransferResult result;
    if (quick) {
        work_.parts.board.WriteTargetRegister(kQuickRegisterHigh, kQuickRegisterLow,
                                              b < kFirstHighBankBlock ? kLowBank : kHighBank);
        result =
            work_.parts.board.VerifyBlockChecksums(static_cast<int>(b), ErasedBlockChecksums());
    } else {
        result = Read(unit, into);
    }
    MaskRomCodeArea(run_, b, into);
    if (!result.Succeeded()) {
        return std::nullopt;
    }
    limit_.Update(run_, work_.parts.eflash, b);
    // Every block that was read is tested; the board has tested the others.
    if (quick) {
        return 0;
    }
    return CountNotErased(into.first(limit_.Length(work_.IsHalfBlock(b))));
}

TransferResult BlockFlash::Write(long long unit) {
    ForgetQuickModeUnlessAllowed();
    const auto b = static_cast<uint32_t>(unit);
    auto& image = work_.parts.image;
    auto& board = work_.parts.board;
    const uint32_t used = image.usedBlockCount;
    const long long done = static_cast<long long>(b) - image.startBlock;
    const long long span = static_cast<long long>(used) - image.startBlock;
    const std::size_t length = work_.IsHalfBlock(b) ? kHalfBlock : kBlockSize;
    const std::size_t offset = std::size_t{b} * kBlockSize;
    const auto pageWriteSize = static_cast<uint8_t>(run_.type.pageWriteSize);
    const bool boardWrites = IsWriteMode(run_.type.commandModeWrite, WriteCommandMode::BoardWrites);
    const bool quick = !image.halfLastBlock && work_.parts.flags.quickModeCapable &&
                       QuickWritePath() && boardWrites &&
                       run_.type.pageWriteSize == kQuickWritePageSize;
    if (quick) {
        return board.QuickWriteBlock(static_cast<int>(b), run_.QuickWriteByte(),
                                     work_.Image(offset, kBlockSize));
    }
    if (!boardWrites || run_.type.pageWriteSize > kLargestSmallPage) {
        return board.WriteBlock(
            static_cast<int>(b), static_cast<uint8_t>(run_.type.commandModeWrite),
            static_cast<uint32_t>(length), work_.Image(offset, length), pageWriteSize);
    }
    TransferResult result;
    const int pageCount = static_cast<int>(length / kPageSize);
    for (int t = 0; t < pageCount; ++t) {
        result = board.WritePage(static_cast<int>(b), static_cast<uint8_t>(t),
                                 work_.Image(offset + std::size_t(t) * kPageSize, kPageSize),
                                 pageWriteSize);
        if (!result.Succeeded()) {
            break;
        }
        // A Stop pressed here is noticed before the next block: this one is finished first.
        work_.Step(done * kPagesPerBlock + t, span * kPagesPerBlock);
    }
    return result;
}

// The board compares checksums, or the block is read into `into` and compared over its
// tested bytes; 0 after a checksum match.
std::optional<long long> BlockFlash::Compare(long long unit, std::span<uint8_t> into) {
    ForgetQuickModeUnlessAllowed();
    const auto b = static_cast<uint32_t>(unit);
    const bool read = !BoardCompares(work_.parts.image.halfLastBlock);
    const std::size_t offset = std::size_t{b} * kBlockSize;
    TransferResult result;
    if (read) {
        result = Read(unit, into);
    } else {
        result = work_.parts.board.VerifyBlockChecksums(
            static_cast<int>(b), BlockChecksums(work_.Image(offset, kBlockSize)));
    }
    MaskRomCodeArea(run_, b, into);
    if (!result.Succeeded()) {
        return std::nullopt;
    }
    limit_.Update(run_, work_.parts.eflash, b);
    // A block that was read is compared here; the board has compared the others.
    if (!read) {
        return 0;
    }
    const std::size_t length = limit_.Length(work_.IsHalfBlock(b));
    return CountDifferent(into.first(length), work_.Image(offset, length));
}

bool BlockFlash::BoardCompares(bool halfLastBlock) const {
    return !halfLastBlock && work_.parts.flags.quickModeCapable && QuickComparePath();
}

void BlockFlash::ForgetQuickModeUnlessAllowed() {
    if (!run_.QuickPaths()) {
        work_.parts.flags.quickModeCapable = false;
    }
}

}  // namespace quillon
