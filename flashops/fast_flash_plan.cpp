#include "flashops/fast_flash_plan.h"

#include "flashops/block_bytes.h"

namespace quillon {

namespace {
constexpr uint8_t kUndecided = 0xFF;
}  // namespace

void FastFlashPlan::BeginUnit(FastFlash mode, UnitSteps follows) {
    EndUnit();
    mode_ = mode;
    follows_ = follows;
}

void FastFlashPlan::EndUnit() {
    mode_ = FastFlash::Off;
    follows_ = {};
    mayLeaveUnwritten_ = false;
    plans_.clear();
    decided_ = 0;
    blank_ = 0;
}

void FastFlashPlan::StartWalk(uint32_t blocks, uint32_t walked) {
    plans_.assign(blocks, kUndecided);
    decided_ = 0;
    blank_ = 0;
    mayLeaveUnwritten_ = walked >= 2;
}

BlockPlan FastFlashPlan::Decide(uint32_t block, std::span<const uint8_t> read,
                                std::span<const uint8_t> image, bool skipFlagged) {
    if (block >= plans_.size()) {
        return BlockPlan::Full;
    }
    // Only a verify that reads the block after this read can prove what this read found.
    const bool readAgainByVerify = follows_.verify && !skipFlagged;
    BlockPlan plan = BlockPlan::Full;
    if (mode_ == FastFlash::ChangedBlocksOnly && readAgainByVerify && mayLeaveUnwritten_ &&
        read.size() == image.size() && CountDifferent(read, image) == 0) {
        plan = BlockPlan::Holds;
    } else if (mode_ != FastFlash::Off && CountNotErased(read) == 0) {
        plan = readAgainByVerify ? BlockPlan::BlankProven : BlockPlan::BlankToCheck;
        ++blank_;
    }
    plans_[block] = static_cast<uint8_t>(plan);
    ++decided_;
    return plan;
}

bool FastFlashPlan::Decided(uint32_t block) const {
    return block < plans_.size() && plans_[block] != kUndecided;
}

BlockPlan FastFlashPlan::Of(uint32_t block) const {
    return Decided(block) ? static_cast<BlockPlan>(plans_[block]) : BlockPlan::Full;
}

bool FastFlashPlan::CheckPasses(uint32_t block) const {
    const BlockPlan plan = Of(block);
    return plan == BlockPlan::BlankProven || plan == BlockPlan::Holds;
}

bool FastFlashPlan::Overturn(uint32_t block) {
    if (Of(block) == BlockPlan::Full) {
        return false;
    }
    plans_[block] = static_cast<uint8_t>(BlockPlan::Full);
    return true;
}

std::string AlreadyBlankLine(uint32_t blank, uint32_t blocks) {
    return "Fast Flash ---> " + std::to_string(blank) + " of " + std::to_string(blocks) +
           " blocks already blank, not erased";
}

std::string BlocksWrittenLine(uint32_t written, uint32_t blocks) {
    return "Fast Flash ---> " + std::to_string(written) + " of " + std::to_string(blocks) +
           " blocks written";
}

}  // namespace quillon
