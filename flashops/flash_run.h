#pragma once

#include <cstdint>
#include <string>

#include "chip/target_identity.h"
#include "config/settings_cache.h"
#include "config/settings_store.h"
#include "config/stored_modes.h"
#include "flashops/flash_kind.h"

namespace quillon {

// How the selected flash type erases: the whole part in one command (EraseType Chip), sector
// by sector along the layout its SectorOffset gives, or each used block's sectors in turn
// (SectorOffset "0").
enum class EraseWay { WholeChip, SectorLayout, BlockSectors };

// The values one operation reads once when it starts, and its counters.
struct FlashRun {
    // Settings of the run.
    FlashKind kind = FlashKind::DebuggerBlocks;  // from the connect mode
    std::optional<Allocation> allocation;
    std::optional<QuickMode> quickMode;
    std::optional<SmbusSpeed> smbusSpeed;
    bool romKey = false;   // RomKey not Off
    SettingsCache type;    // the selected flash type, as it stood at the start
    ChipTraits chip;       // of the identified controller
    FlashPartTraits part;  // of the selected flash type (LastFlashID1, 2) and the flash ID

    // OperationResult as the run leaves it: the previous value until a command is sent.
    bool result = false;
    // Counters.
    int retries = 0;
    long long errors = 0;
    // Why the run failed, when it knows better than its counters say.
    std::string cause;

    // The quick paths may be used (QuickMode Enable or KBS Burst Write).
    bool QuickPaths() const { return QuickPathsAllowed(quickMode); }
    // QuickWriteBlock's byte for the QuickMode; only asked while QuickPaths().
    uint8_t QuickWriteByte() const { return quickMode ? quillon::QuickWriteByte(*quickMode) : 0; }
    bool AtHighSmbusSpeed() const { return smbusSpeed == SmbusSpeed::High; }
    // The chip is programmed, or verified, at the low SMBus speed while the high one is set.
    bool ProgramsAtLowSpeed() const { return chip.programsAtLowSmbusSpeed && AtHighSmbusSpeed(); }
    bool VerifiesAtLowSpeed() const { return chip.verifiesAtLowSmbusSpeed && AtHighSmbusSpeed(); }
    EraseWay Erases() const {
        if (type.eraseType == static_cast<int32_t>(EraseType::Chip)) {
            return EraseWay::WholeChip;
        }
        return type.sectorOffset == "0" ? EraseWay::BlockSectors : EraseWay::SectorLayout;
    }
    // Blocks below StartBlock are worked on only with the From Top allocation.
    bool Covers(uint32_t block, uint32_t startBlock) const {
        return allocation == Allocation::FromTop || block >= startBlock;
    }

    static FlashRun Read(const SettingsStore& settings, const SettingsCache& cache,
                         const TargetIdentity& identity);
};

}  // namespace quillon
