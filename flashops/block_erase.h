#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "flashops/flash_run.h"
#include "image/image_state.h"

namespace quillon {

// One erase command of a block: the erase type (P1) and the sector's page byte.
struct SectorCommand {
    uint8_t eraseType;
    uint8_t page;
};

// The KB of the small sectors the selected part has besides its erase unit; empty: none.
using SmallSectorSize = std::function<int32_t()>;

// The erase commands of a block. A half last block gets only the sectors of its used half;
// when the part's erase unit is larger than that half, its small sectors do it. Empty for a
// half block the part cannot erase without erasing the other half too.
std::vector<SectorCommand> BlockEraseCommands(const FlashRun& run, bool halfBlock,
                                              const SmallSectorSize& smallSectorKB);

// The half last block cannot be erased alone: the line that says why, else nothing.
std::optional<std::string> HalfBlockEraseProblem(const FlashRun& run, const ImageState& image,
                                                 const SmallSectorSize& smallSectorKB);

}  // namespace quillon
