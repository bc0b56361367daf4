#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "config/stored_modes.h"

namespace quillon {

// The steps of an Auto unit that follow its erase.
struct UnitSteps {
    bool check = false;
    bool program = false;
    bool verify = false;
};

// What an Auto unit still does with one used block once its erase has read it (FastFlash).
enum class BlockPlan : uint8_t {
    Full,          // erase, blank check, program, verify: the full sequence
    BlankProven,   // the read found it blank: not erased, and that read is its blank check;
                   // the verify reads it again after its write
    BlankToCheck,  // the read found it blank: not erased; nothing reads it again after that
                   // read, so the blank check does (skip flag set, or no verify follows)
    Holds,         // the read found the image: neither erased nor programmed; the verify
                   // reads it again, and that second read is its proof
};

// Decides, from one read of each used block made by Auto's erase, what the unit may leave
// undone, and answers the later steps of the same unit. A decision can only save work that
// a later read proves unneeded: every block left unerased or unwritten is read again before
// the unit can end in OK, and a block whose second read shows the decision wrong is
// overturned (erased, then written and tested as in the full sequence).
//
// The plan lives from BeginUnit to EndUnit; while no plan was made (FastFlash Off, no Auto
// erase, an erase that does not walk blocks) every block is Full.
class FastFlashPlan {
public:
    // Auto begins a unit with FastFlash `mode` (Off: no plan) and the steps after its erase.
    void BeginUnit(FastFlash mode, UnitSteps follows);
    void EndUnit();
    // The erase of this unit reads its blocks first and decides.
    bool Deciding() const { return mode_ != FastFlash::Off; }
    FastFlash Mode() const { return mode_; }

    // The erase's walk begins: `blocks` used blocks of the image, `walked` of them in its
    // range. A block that holds the image is left unwritten only when the walk reads another
    // block between its deciding read and its proving read, so a board that repeats its last
    // reply cannot confirm its own answer.
    void StartWalk(uint32_t blocks, uint32_t walked);
    // Decides block `block` from `read` (its bytes as read, the length the unit writes of it)
    // against `image` (the same length of the image). `skipFlagged`: the program and the
    // verify pass over it (Skip FF).
    BlockPlan Decide(uint32_t block, std::span<const uint8_t> read, std::span<const uint8_t> image,
                     bool skipFlagged);
    bool Decided(uint32_t block) const;
    BlockPlan Of(uint32_t block) const;
    bool ErasesBlock(uint32_t block) const { return Of(block) == BlockPlan::Full; }
    // The blank check passes over it: its blank proof exists, or it is not to be blank.
    bool CheckPasses(uint32_t block) const;
    // The program passes over it: it holds the image already.
    bool Unchanged(uint32_t block) const { return Of(block) == BlockPlan::Holds; }
    // A later read showed block `block` not as decided. True when the plan had left it
    // unerased: it must be erased now. The block is Full from here on.
    bool Overturn(uint32_t block);

    // Blocks decided, and how many of them were found blank or holding the image.
    uint32_t DecidedCount() const { return decided_; }
    uint32_t BlankCount() const { return blank_; }

private:
    FastFlash mode_ = FastFlash::Off;
    UnitSteps follows_;
    bool mayLeaveUnwritten_ = false;
    std::vector<uint8_t> plans_;  // BlockPlan per block; kUndecided before its read
    uint32_t decided_ = 0;
    uint32_t blank_ = 0;
};

// The lines the unit's log gets: after the erase, how many blocks were already blank; after
// the program, how many were written.
std::string AlreadyBlankLine(uint32_t blank, uint32_t blocks);
std::string BlocksWrittenLine(uint32_t written, uint32_t blocks);

}  // namespace quillon
