#pragma once

#include "flashops/block_flash.h"

namespace quillon {

// The flash behind the controller's debugger (KBS or SMBus): the external SPI part, or the
// controller's own eFlash when it is selected. The board compares checksums and writes whole
// blocks itself when the quick probe allowed it, on the eFlash only as the chip's traits say.
class DebuggerFlash : public BlockFlash {
public:
    // `boardWritesBlocks`: the mode lets the board write whole blocks (a stored mode outside
    // the four walks the same blocks without it).
    DebuggerFlash(FlashWork& work, FlashRun& run, bool boardWritesBlocks)
        : BlockFlash(work, run), boardWritesBlocks_(boardWritesBlocks) {}

protected:
    bool QuickComparePath() const override;
    bool QuickWritePath() const override;

private:
    bool boardWritesBlocks_;
};

}  // namespace quillon
