#include "flashops/debugger_flash.h"

#include "flashops/block_limits.h"

namespace quillon {

bool DebuggerFlash::QuickComparePath() const {
    return !InternalFlashBlocksQuickPath(run_, work_.parts.eflash);
}

bool DebuggerFlash::QuickWritePath() const {
    return boardWritesBlocks_ && !work_.parts.eflash.internalFlashSelected;
}

}  // namespace quillon
