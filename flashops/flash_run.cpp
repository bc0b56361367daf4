#include "flashops/flash_run.h"

#include "config/setting_names.h"

namespace quillon {

FlashRun FlashRun::Read(const SettingsStore& settings, const SettingsCache& cache,
                        const TargetIdentity& identity) {
    FlashRun run;
    run.kind = FlashKindOf(settings);
    run.allocation = ReadMode<Allocation>(settings);
    run.quickMode = ReadMode<QuickMode>(settings);
    run.smbusSpeed = ReadMode<SmbusSpeed>(settings);
    run.romKey = ReadRomKey(settings) != RomKey::Off;
    run.type = cache;
    run.chip = identity.Traits();
    FlashPartKey key = JedecKeyOf(identity.chipIdStrings);
    key.maker = settings.ReadText(setting::kLastFlashId1);
    key.part = settings.ReadText(setting::kLastFlashId2);
    run.part = FlashPartTraitsOf(key);
    return run;
}

}  // namespace quillon
