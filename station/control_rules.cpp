#include "station/control_rules.h"
#include "config/setting_names.h"
#include "config/stored_modes.h"

namespace quillon {

void ApplyConnectModeRule(int item, SettingsStore& store, ControlState& controls) {
    auto& setup = controls.setup;
    auto& main = controls.main;
    const bool pd = item == 3;
    setup.allocationEnabled = !pd;
    setup.specialWaveEnabled = !pd;
    setup.quickModeEnabled = !pd;
    setup.othersEnabled = !pd;
    setup.keyGridEnabled = !pd;
    setup.unprotectEnabled = !pd;
    setup.pinDefineEnabled = !pd;
    main.resetEcVisible = !pd;
    main.skipFFVisible = !pd;
    if (!pd) {
        return;
    }
    store.WriteBool(setting::kDualFlash, false);
    setup.dualFlash = false;
    controls.window.dualFlashButtonsVisible = false;
    store.WriteBool(setting::kCheckBoxUnProtect, false);
    store.WriteBool(setting::kUnprotectKeyMatch, false);
    if (setup.unprotectKeyMatch) {
        setup.unprotectKeyMatch = false;
        ApplyKeyMatchRule(false, setup);
    }
    store.WriteBool(setting::kSkipFFChecked, false);
    main.skipFF = false;
}

void ApplyKeyMatchRule(bool checked, SetupPageControls& setup) {
    setup.keyGridEnabled = checked;
    setup.eraseLast1KEnabled = checked;
    if (!checked) {
        setup.unprotectTheLast1K = false;
    }
}

int ClampRadioItem(int item, int itemCount) {
    if (item < -1) {
        return -1;
    }
    return item >= itemCount ? itemCount - 1 : item;
}

int SpecialWaveItem(int specialWave) {
    constexpr int kItems = 2;
    const int item = specialWave - 1;
    return item >= 0 && item < kItems ? item : -1;
}

int FastFlashItem(int32_t stored) {
    const auto mode = ModeFrom<FastFlash>(stored);
    return mode ? RadioItem(*mode) : -1;
}

}  // namespace quillon
