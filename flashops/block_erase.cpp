#include "flashops/block_erase.h"

#include "flashops/block_bytes.h"

namespace quillon {

std::vector<SectorCommand> BlockEraseCommands(const FlashRun& run, bool halfBlock,
                                              const SmallSectorSize& smallSectorKB) {
    const auto commandsFor = [&](int32_t sectorKB, uint8_t eraseType) {
        std::vector<SectorCommand> commands;
        for (const uint8_t page : SectorPageBytes(sectorKB)) {
            if (!halfBlock || page < kPagesPerBlock / 2) {
                commands.push_back({eraseType, page});
            }
        }
        return commands;
    };
    auto commands = commandsFor(run.type.sectorSize, static_cast<uint8_t>(run.type.eraseType));
    if (commands.empty() && halfBlock && smallSectorKB) {
        commands = commandsFor(smallSectorKB(), static_cast<uint8_t>(EraseType::Sector));
    }
    return commands;
}

std::optional<std::string> HalfBlockEraseProblem(const FlashRun& run, const ImageState& image,
                                                 const SmallSectorSize& smallSectorKB) {
    if (!image.halfLastBlock || image.usedBlockCount == 0 ||
        !BlockEraseCommands(run, true, smallSectorKB).empty()) {
        return std::nullopt;
    }
    return "The image ends 32 KB into block " + std::to_string(image.usedBlockCount - 1) +
           ", and the flash type erases only whole " + std::to_string(run.type.sectorSize) +
           " KB sectors: erasing that block would lose its upper half, so nothing was erased";
}

}  // namespace quillon
