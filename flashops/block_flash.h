#pragma once

#include "flashops/block_limits.h"
#include "flashops/flash_target.h"
#include "flashops/flash_work.h"

namespace quillon {

// A flash the board reaches with its block commands, in 64 KiB blocks: the debugger's path
// and the board's socket. The two differ in where the board may compare checksums and write
// whole blocks itself, and in how the socket erases some parts.
class BlockFlash : public FlashTarget {
public:
    BlockFlash(FlashWork& work, FlashRun& run) : work_(work), run_(run) {}

    std::size_t UnitSize() const override;
    WalkPlan Plan(Range range) const override;
    std::optional<std::string> Refusal(Range range) const override;
    std::optional<std::string> EraseRefusal() const override;
    std::optional<std::string> EraseProblem() const override;
    void Erase() override;
    bool EraseOverturned(long long unit) override;
    TransferResult Read(long long unit, std::span<uint8_t> into) override;
    bool ReadConfirmed(long long unit, std::span<const uint8_t> bytes) override;
    std::optional<long long> CountNotBlank(long long unit, std::span<uint8_t> into) override;
    TransferResult Write(long long unit) override;
    std::optional<long long> Compare(long long unit, std::span<uint8_t> into) override;

protected:
    // The board may compare a block's checksums itself here (the quick compare).
    virtual bool QuickComparePath() const = 0;
    // The board may write a whole block itself here (QuickWriteBlock).
    virtual bool QuickWritePath() const = 0;

    FlashWork& work_;
    FlashRun& run_;

private:
    // The board compares checksums itself: set up for it, and not for an image with a half
    // last block.
    bool BoardCompares(bool halfLastBlock) const;
    // Sends the erase commands of block b; the gauge moves per command when `plan` is given.
    // Turn::Done, Repeat when a command failed, Ended on a stop request.
    Turn EraseSectors(uint32_t block, const WalkPlan* plan);
    // The FastFlash erase walk: reads each used block into ReadBuffer (the blank check's
    // proof where the plan says so), lets the plan decide, and erases only what it must.
    void ErasePlanned();
    // The QuickMode setting 0 clears QuickModeCapable before each block's transfer.
    void ForgetQuickModeUnlessAllowed();

    // The bytes of a block a blank check or verify tests, over the run's one walk.
    TestLimit limit_;
};

}  // namespace quillon
