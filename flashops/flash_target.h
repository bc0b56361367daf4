#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "board/transfer_result.h"
#include "flashops/block_walk.h"

namespace quillon {

class FlashWork;
struct FlashRun;

// The flash one operation works on, chosen when the operation starts: the unit its walks go
// over, the ranges it walks, and the transfers of one unit. The operations make one walk over
// a range of units whatever the flash; the flash says what a unit's erase, read, write, blank
// test and compare send.
class FlashTarget {
public:
    // The ranges the operations walk.
    enum class Range {
        Erased,  // what an erase clears and a blank check reads
        Image,   // what a program writes and a verify compares
        Whole,   // what a read reads: the whole flash
    };

    virtual ~FlashTarget() = default;

    // Bytes of one unit: a 64 KiB block, or a USB-PD page of 256 bytes.
    virtual std::size_t UnitSize() const = 0;
    // The walk over `range`: its units, where the work and the gauge begin, and the units
    // Skip FF passes over.
    virtual WalkPlan Plan(Range range) const = 0;
    // Why `range` cannot be walked on this flash; nothing when it can.
    virtual std::optional<std::string> Refusal(Range range) const = 0;

    // Why the flash type's erase cannot be used here; nothing when it can.
    virtual std::optional<std::string> EraseRefusal() const = 0;
    // The erase covers the part's whole size, whatever the image covers.
    virtual bool ErasesWholePart() const { return false; }
    // The erase walk would lose bytes beside the image: the line that says why, else nothing.
    virtual std::optional<std::string> EraseProblem() const { return std::nullopt; }
    // The erase walk: the run's result is the last command's, false when the walk ended early.
    virtual void Erase() = 0;
    // A unit the FastFlash plan left unerased that a later read showed wrong is erased now
    // (true).
    virtual bool EraseOverturned(long long /*unit*/) { return false; }

    // Reads the unit into `into` (one unit long).
    virtual TransferResult Read(long long unit, std::span<uint8_t> into) = 0;
    // A read that answered success is trusted only once confirmed.
    virtual bool ReadConfirmed(long long unit, std::span<const uint8_t> bytes) = 0;
    // The unit's bytes that are not erased (read into `into` where they are read); nothing
    // when the transfer failed.
    virtual std::optional<long long> CountNotBlank(long long unit, std::span<uint8_t> into) = 0;
    // Writes the image's bytes of the unit.
    virtual TransferResult Write(long long unit) = 0;
    // The unit's bytes that differ from the image (read into `into` where they are read);
    // nothing when the transfer failed or the board found a mismatch.
    virtual std::optional<long long> Compare(long long unit, std::span<uint8_t> into) = 0;

    // Brings ImageBuffer to the units the program and the verify walk (before Plan(Image)).
    virtual void FitImage() {}
    // A program may leave its read-back (and its rewrites) to the verify that follows.
    virtual bool LeavesReadBackToVerify() const { return true; }
};

// The flash of a run, from its connect mode and the identity.
std::unique_ptr<FlashTarget> ChooseFlashTarget(FlashWork& work, FlashRun& run);

// A second read of the unit brings the same bytes.
bool ReadsSame(FlashTarget& flash, FlashWork& work, long long unit, std::span<const uint8_t> bytes);

}  // namespace quillon
