#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "config/settings_store.h"

namespace quillon {

// A value the start-up load creates when it does not exist, with what it writes.
struct SettingDefault {
    const char* name;
    SettingType type;  // flags are DWORDs
    int32_t dword;     // for Dword
    const char* text;  // for Text; Binary defaults are empty
};

// Every value with a default, in the order the start-up load handles them. SectorSize is
// created only while SectorOffset is "0", Key0..Key7 only while RomKey is 0.
std::span<const SettingDefault> SettingDefaults();

// The default of `name` (exact spelling); throws std::out_of_range for a value without one.
const SettingDefault& DefaultOf(const std::string& name);

// Writes the default of `name` when the value does not exist. Returns true when it wrote.
bool EnsureDefault(SettingsStore& store, const std::string& name);

}  // namespace quillon
