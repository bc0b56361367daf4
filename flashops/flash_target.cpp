#include "flashops/flash_target.h"

#include "flashops/block_bytes.h"
#include "flashops/debugger_flash.h"
#include "flashops/flash_run.h"
#include "flashops/pd_flash.h"
#include "flashops/socket_flash.h"

namespace quillon {

std::unique_ptr<FlashTarget> ChooseFlashTarget(FlashWork& work, FlashRun& run) {
    switch (run.kind) {
        case FlashKind::PdPages:
            return std::make_unique<PdFlash>(work, run);
        case FlashKind::SocketBlocks:
            return std::make_unique<SocketFlash>(work, run);
        case FlashKind::DebuggerBlocks:
            return std::make_unique<DebuggerFlash>(work, run, true);
        case FlashKind::UnknownModeBlocks:
            break;
    }
    return std::make_unique<DebuggerFlash>(work, run, false);
}

bool ReadsSame(FlashTarget& flash, FlashWork& work, long long unit,
               std::span<const uint8_t> bytes) {
    const auto again = work.Scratch().first(flash.UnitSize());
    return flash.Read(unit, again).Succeeded() && CountDifferent(again, bytes) == 0;
}

}  // namespace quillon
