#include "flashops/socket_flash.h"

#include "flashops/flash_run.h"

namespace quillon {

namespace {
constexpr uint8_t kLastPageOfBlock = 255;
constexpr auto kBlockEraseType = static_cast<uint8_t>(EraseType::Block);
}  // namespace

bool SocketFlash::ErasesWholePart() const {
    return run_.part.socketEraseWholeByBlocks;
}

std::optional<std::string> SocketFlash::EraseProblem() const {
    return ErasesWholePart() ? std::nullopt : BlockFlash::EraseProblem();
}

// A part erased whole is erased block by block; a failed block is repeated like any block
// transfer.
void SocketFlash::Erase() {
    if (!ErasesWholePart()) {
        BlockFlash::Erase();
        return;
    }
    work_.WalkTransfers(run_, Plan(Range::Whole), [&](long long k) {
        return work_.parts.board
            .EraseFlash(static_cast<int>(k), kLastPageOfBlock, kBlockEraseType,
                        static_cast<uint8_t>(run_.type.commandModeErase))
            .Succeeded();
    });
}

}  // namespace quillon
