#include "config/settings_defaults.h"

#include <array>
#include <stdexcept>

#include "config/setting_names.h"

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
    Dword(setting::kPinDefSource, 3),
    Dword(setting::kConnectMode, 2),
    Dword(setting::kAllocation, 1),
    Text(setting::kAssignedAddress, "0"),
    Dword(setting::kFlashblock, 8),
    Dword(setting::kCommandModeReadId, 0),
    Dword(setting::kCommandModeRead, 0),
    Dword(setting::kCommandModeErase, 0),
    Dword(setting::kCommandModeWrite, 0),
    Dword(setting::kEraseType, 1),
    Text(setting::kSectorOffset, "0"),
    Flag(setting::kSkipFFChecked, false),
    Dword(setting::kSectorSize, 64),
    Dword(setting::kPageWriteSize, 1),
    Flag(setting::kShowMessage, true),
    Flag(setting::kDualFlash, false),
    Flag(setting::kCheckBoxCheck, true),
    Flag(setting::kCheckBoxErase, true),
    Flag(setting::kCheckBoxProgram, true),
    Flag(setting::kCheckBoxVerify, true),
    Dword(setting::kSpecialForm, 0),
    Dword(setting::kPinDefNum, 0),
    Flag(setting::kInternalClock, false),
    Binary(setting::kExtraEcChipId),
    Dword(setting::kSpecialWave, 2),
    Dword(setting::kUsbTimeOutSec, 120),
    Flag(setting::kBreakAt0, true),
    Flag(setting::kRomKey, false),
    Dword(setting::kKeyNames[0], 0),
    Dword(setting::kKeyNames[1], 0),
    Dword(setting::kKeyNames[2], 0),
    Dword(setting::kKeyNames[3], 0),
    Dword(setting::kKeyNames[4], 0),
    Dword(setting::kKeyNames[5], 0),
    Dword(setting::kKeyNames[6], 0),
    Dword(setting::kKeyNames[7], 0),
    Flag(setting::kUnprotectTheLast1K, false),
    Flag(setting::kUnprotectKeyMatch, false),
    Dword(setting::kSmbusSpeed, 1),
    Dword(setting::kQuickMode, 0),
    Dword(setting::kPdI2cAddress, 128),
    Flag(setting::kSwitchRom, false),
    Dword(setting::kDesignatedEflashSizeKB, 0),
    Flag(setting::kReadEFlashId16Bytes, false),
    Dword(setting::kShowWriteStatus, 0),
    Dword(setting::kFastFlash, 0),
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
    SettingValue value{entry.name, entry.type, entry.dword, {}, {}};
    if (entry.type == SettingType::Text) {
        value.text = entry.text;
    }
    store.Write(value);
    return true;
}

}  // namespace quillon
