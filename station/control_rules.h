#pragma once

#include "config/settings_store.h"
#include "station/control_state.h"

namespace quillon {

// Rules that run whenever a control changes, by the operator or by the program.

// RadioGroup_Connect_Mode changed to `item`: mode 4 (item 3) shuts the groups it has no use
// for and stores false in DualFlash, CheckBox_UnProtect, UnprotectKeyMatch and SkipFFChecked
// at once; items 0..2 open them again.
void ApplyConnectModeRule(int item, SettingsStore& store, ControlState& controls);

// The "KeyMatch" box changed: the key grid and "Erase Last 1K" follow it; unchecking also
// unchecks "Erase Last 1K".
void ApplyKeyMatchRule(bool checked, SetupPageControls& setup);

// Selects an item the way a radio group does: below -1 is none, past the end is the last item.
int ClampRadioItem(int item, int itemCount);

// The SMB Special Wave item of a stored SpecialWave 1..3: item = SpecialWave - 1. The group
// has two items, so 3 selects none.
int SpecialWaveItem(int specialWave);

// The Fast Flash choice's item of a stored FastFlash: the value itself; none (-1) for a value
// that names no mode.
int FastFlashItem(int32_t stored);

}  // namespace quillon
