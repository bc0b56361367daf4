#include "config/settings_defaults.h"

#include <array>
#include <stdexcept>

namespace quillon {

namespace {
constexpr SettingDefault Dword(const char* name, int32_t value) {
    return {name, SettingType::Dword, value, ""};
}
constexpr SettingDefault Flag(const char* name, bool value) {
    return {name, SettingType::Dword, value ? 1 : 0, ""};
}
constexpr SettingDefault Text(const char* name, const char* value) {
    return {name, SettingType::Text, 0, value};
}
constexpr SettingDefault Binary(const char* name) {
    return {name, SettingType::Binary, 0, ""};
}

constexpr std::array kDefaults = {
    Dword("PinDefSource", 3),
    Dword("ConnectMode", 2),
    Dword("Allocation", 1),
    Text("AssignedAddress", "0"),
    Dword("Flashblock", 8),
    Dword("CommandMode_ReadID", 0),
    Dword("CommandMode_Read", 0),
    Dword("CommandMode_Erase", 0),
    Dword("CommandMode_Write", 0),
    Dword("EraseType", 1),
    Text("SectorOffset", "0"),
    Flag("SkipFFChecked", false),
    Dword("SectorSize", 64),
    Dword("PageWriteSize", 1),
    Flag("ShowMessage", true),
    Flag("DualFlash", false),
    Flag("CheckBox_Check", true),
    Flag("CheckBox_Erase", true),
    Flag("CheckBox_Program", true),
    Flag("CheckBox_Verify", true),
    Dword("SpecialForm", 0),
    Dword("PinDefNum", 0),
    Flag("InternalClock", false),
    Binary("ExtraECChipID"),
    Dword("SpecialWave", 2),
    Dword("USBTimeOutSec", 120),
    Flag("BreakAt0", true),
    Flag("RomKey", false),
    Dword("Key0", 0),
    Dword("Key1", 0),
    Dword("Key2", 0),
    Dword("Key3", 0),
    Dword("Key4", 0),
    Dword("Key5", 0),
    Dword("Key6", 0),
    Dword("Key7", 0),
    Flag("UnprotectTheLast1K", false),
    Flag("UnprotectKeyMatch", false),
    Dword("SMBusSpeed", 1),
    Dword("QuickMode", 0),
    Dword("PDI2CAddress", 128),
    Flag("SwitchRom", false),
    Dword("DesignatedEflashSizeKB", 0),
    Flag("ReadEFlashID16Bytes", false),
    Dword("ShowWriteStatus", 0),
};
}  // namespace

std::span<const SettingDefault> SettingDefaults() {
    return kDefaults;
}

const SettingDefault& DefaultOf(const std::string& name) {
    for (const auto& entry : kDefaults) {
        if (name == entry.name) {
            return entry;
        }
    }
    throw std::out_of_range("no default for setting '" + name + "'");
}

bool EnsureDefault(SettingsStore& store, const std::string& name) {
    if (store.Exists(name)) {
        return false;
    }
    const auto& entry = DefaultOf(name);
    switch (entry.type) {
        case SettingType::Dword:
            store.WriteInt(entry.name, entry.dword);
            break;
        case SettingType::Text:
            store.WriteText(entry.name, entry.text);
            break;
        case SettingType::Binary:
            store.WriteBinary(entry.name, {});
            break;
    }
    return true;
}

}  // namespace quillon
