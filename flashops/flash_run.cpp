#include "flashops/flash_run.h"

#include "config/setting_names.h"
#include "flashops/block_walk.h"
#include "target/chip_groups.h"

namespace quillon {

bool FlashRun::RetriesExhausted() const {
    return BlockWalk::RetriesExhausted(retries);
}

FlashRun FlashRun::Read(const SettingsStore& settings, const SettingsCache& cache,
                        const TargetIdentity& identity) {
    FlashRun run;
    run.connectMode = settings.ReadInt(setting::kConnectMode);
    run.allocation = settings.ReadInt(setting::kAllocation);
    run.quickMode = settings.ReadInt(setting::kQuickMode);
    run.smbusSpeed = settings.ReadInt(setting::kSmbusSpeed);
    run.romKey = settings.ReadBool(setting::kRomKey);
    run.flashMaker = settings.ReadText(setting::kLastFlashId1);
    run.flashPart = settings.ReadText(setting::kLastFlashId2);
    run.type = cache;
    run.chipCode = identity.C();
    run.romCodeFamily = IsInGroup(ChipGroup::RomCodeFamilies, run.chipCode);
    return run;
}

}  // namespace quillon
