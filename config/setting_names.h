#pragma once

namespace quillon::setting {

// The names of the values in the settings key, spelled as they are stored. Names are
// compared without regard to letter case; use these constants rather than literals.
inline constexpr const char* kPinDefSource = "PinDefSource";
inline constexpr const char* kConnectMode = "ConnectMode";
inline constexpr const char* kAllocation = "Allocation";
inline constexpr const char* kAssignedAddress = "AssignedAddress";
inline constexpr const char* kFlashblock = "Flashblock";
inline constexpr const char* kCommandModeReadId = "CommandMode_ReadID";
inline constexpr const char* kCommandModeRead = "CommandMode_Read";
inline constexpr const char* kCommandModeErase = "CommandMode_Erase";
inline constexpr const char* kCommandModeWrite = "CommandMode_Write";
inline constexpr const char* kEraseType = "EraseType";
inline constexpr const char* kSectorOffset = "SectorOffset";
inline constexpr const char* kSkipFFChecked = "SkipFFChecked";
inline constexpr const char* kSectorSize = "SectorSize";
inline constexpr const char* kPageWriteSize = "PageWriteSize";
inline constexpr const char* kShowMessage = "ShowMessage";
inline constexpr const char* kDualFlash = "DualFlash";
inline constexpr const char* kLastFilePath = "LastFilePath";
inline constexpr const char* kLastFileName = "LastFileName";
inline constexpr const char* kLastFile = "LastFile";
inline constexpr const char* kLastFlashId1 = "LastFlashID1";
inline constexpr const char* kLastFlashId2 = "LastFlashID2";
inline constexpr const char* kCheckBoxCheck = "CheckBox_Check";
inline constexpr const char* kCheckBoxErase = "CheckBox_Erase";
inline constexpr const char* kCheckBoxProgram = "CheckBox_Program";
inline constexpr const char* kCheckBoxVerify = "CheckBox_Verify";
inline constexpr const char* kSpecialForm = "SpecialForm";
inline constexpr const char* kPinDefNum = "PinDefNum";
inline constexpr const char* kInternalClock = "InternalClock";
inline constexpr const char* kExtraEcChipId = "ExtraECChipID";
inline constexpr const char* kSpecialWave = "SpecialWave";
inline constexpr const char* kUsbTimeOutSec = "USBTimeOutSec";
inline constexpr const char* kBreakAt0 = "BreakAt0";
inline constexpr const char* kRomKey = "RomKey";
inline constexpr const char* kKey0 = "Key0";  // Key0 .. Key7: KeyName(i)
inline constexpr const char* kUnprotectTheLast1K = "UnprotectTheLast1K";
inline constexpr const char* kUnprotectKeyMatch = "UnprotectKeyMatch";
inline constexpr const char* kSmbusSpeed = "SMBusSpeed";
inline constexpr const char* kQuickMode = "QuickMode";
inline constexpr const char* kPdI2cAddress = "PDI2CAddress";
inline constexpr const char* kSwitchRom = "SwitchRom";
inline constexpr const char* kDesignatedEflashSizeKB = "DesignatedEflashSizeKB";
inline constexpr const char* kReadEFlashId16Bytes = "ReadEFlashID16Bytes";
inline constexpr const char* kShowWriteStatus = "ShowWriteStatus";
inline constexpr const char* kCheckBoxUnProtect = "CheckBox_UnProtect";
// Auto reads each used block before its erase and skips what the read proves unneeded.
inline constexpr const char* kFastFlash = "FastFlash";

// "Key0" .. "Key7": the operator's protection-key bytes.
inline constexpr const char* kKeyNames[8] = {"Key0", "Key1", "Key2", "Key3",
                                             "Key4", "Key5", "Key6", "Key7"};

}  // namespace quillon::setting
