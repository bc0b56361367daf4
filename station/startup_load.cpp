#include "station/startup_load.h"

#include <array>

#include "config/hex_text.h"
#include "config/rom_key.h"
#include "config/settings_defaults.h"
#include "image/file_commands.h"
#include "station/control_rules.h"

namespace quillon {

namespace {
constexpr int kHeightWithLog = 625;
constexpr int kHeightWithoutLog = 470;
}  // namespace

void ApplyShowMessage(bool shown, WindowControls& window) {
    window.showMessage = shown;
    window.logVisible = shown;
    window.height = shown ? kHeightWithLog : kHeightWithoutLog;
}

int32_t StartupLoad::EnsureInt(const char* name) {
    EnsureDefault(store_, name);
    return store_.ReadInt(name);
}

bool StartupLoad::EnsureBool(const char* name) {
    return EnsureInt(name) != 0;
}

std::string StartupLoad::EnsureText(const char* name) {
    EnsureDefault(store_, name);
    return store_.ReadText(name);
}

void StartupLoad::Run() {
    // One durable commit for the values the load creates, instead of one per value: a first
    // start writes 45 of them.
    SettingsBatch batch(store_);
    PinSource();
    ConnectMode();
    Allocation();
    AssignedAddress();
    FlashSize();
    CommandModes();
    EraseType();
    SectorOffset();
    SkipFF();
    SectorSize();
    PageWriteSize();
    ShowMessage();
    DualFlash();
    LastFile();
    DeviceBox();
    StepCheckBoxes();
    PageModeAndPins();
    InternalClock();
    SpecialWave();
    BreakAt0();
    KeyGrid();
    Unprotect();
    SmbAndQuickMode();
    PdAddress();
    Remaining();
    batch.Commit();
}

void StartupLoad::PinSource() {
    const int value = EnsureInt("PinDefSource");
    auto& setup = controls_.setup;
    const int item = ClampRadioItem(value - 1, 3);
    if (item != setup.pinDefSourceItem) {
        setup.pinDefSourceItem = item;
        if (hooks_.pinSourceSelected) {
            hooks_.pinSourceSelected(item);
        }
    }
    setup.pinSetListEnabled = value == 3;
}

void StartupLoad::ConnectMode() {
    static constexpr std::array<const char*, 4> kLines = {
        "Connect Mode : Kavo USB for DBGR/KBS", "Connect Mode : Kavo USB for DBGR/SMB",
        "Connect Mode : Kavo USB for FSPI ROM", "Connect Mode : Kavo USB for PD_CC/I2C"};
    const int value = EnsureInt("ConnectMode");
    if (value < 1 || value > 4) {
        return;
    }
    log_.Append(kLines[static_cast<size_t>(value - 1)]);
    if (controls_.setup.connectModeItem != value - 1) {
        controls_.setup.connectModeItem = value - 1;
        ApplyConnectModeRule(value - 1, store_, controls_);
    }
}

void StartupLoad::Allocation() {
    static constexpr std::array<const char*, 3> kLines = {
        "Allocation : From Top", "Allocation : From Medium", "Allocation : From Assigned"};
    const int value = EnsureInt("Allocation");
    if (value >= 1 && value <= 3) {
        log_.Append(kLines[static_cast<size_t>(value - 1)]);
        controls_.setup.allocationItem = value - 1;
    }
}

void StartupLoad::AssignedAddress() {
    controls_.setup.assignedAddress = EnsureText("AssignedAddress");
    // A text that is no number (an imported file can hold anything) is reported and read as 0;
    // it must not end the load and leave the window half set up.
    try {
        cache_.assignedAddress = ParseHexText(controls_.setup.assignedAddress);
    } catch (const ConversionError& error) {
        cache_.assignedAddress = 0;
        panel_.Error(error.what());
    }
}

void StartupLoad::FlashSize() {
    static constexpr std::array<const char*, 9> kSizes = {"512 Kbit", "1 Mbit",  "2 Mbit",
                                                          "4 Mbit",   "8 Mbit",  "16 Mbit",
                                                          "32 Mbit",  "64 Mbit", "128 Mbit"};
    cache_.flashblock = EnsureInt("Flashblock");
    for (size_t i = 0; i < kSizes.size(); ++i) {
        if (cache_.flashblock == (1 << i)) {
            log_.Append(std::string("Flash Size : ") + kSizes[i]);
        }
    }
}

void StartupLoad::CommandModes() {
    const std::array<std::pair<const char*, int32_t*>, 4> modes = {{
        {"CommandMode_ReadID", &cache_.commandModeReadId},
        {"CommandMode_Read", &cache_.commandModeRead},
        {"CommandMode_Erase", &cache_.commandModeErase},
        {"CommandMode_Write", &cache_.commandModeWrite},
    }};
    for (const auto& [name, cached] : modes) {
        *cached = EnsureInt(name);
        log_.Append(std::string(name) + " : " + std::to_string(*cached));
    }
}

void StartupLoad::EraseType() {
    static constexpr std::array<const char*, 3> kLines = {
        "EraseType : Chip Erase", "EraseType : Sector Erase", "EraseType : Block Erase"};
    const int value = EnsureInt("EraseType");
    if (value >= 0 && value <= 2) {
        cache_.eraseType = value;
        log_.Append(kLines[static_cast<size_t>(value)]);
    }
}

void StartupLoad::SectorOffset() {
    cache_.sectorOffset = EnsureText("SectorOffset");
    log_.Append("SectorOffset : " + cache_.sectorOffset);
}

void StartupLoad::SkipFF() {
    controls_.main.skipFF = EnsureBool("SkipFFChecked");
}

void StartupLoad::SectorSize() {
    if (cache_.sectorOffset != "0") {
        return;
    }
    cache_.sectorSize = EnsureInt("SectorSize");
    log_.Append("SectorSize : " + std::to_string(cache_.sectorSize) + " Kb");
}

void StartupLoad::PageWriteSize() {
    const int value = EnsureInt("PageWriteSize");
    if (value == 16 || value == 32 || value == 64 || value == 128 || value == 256) {
        cache_.pageWriteSize = value;
        log_.Append("Page Write Size : " + std::to_string(value) + " Bytes");
    } else {
        cache_.pageWriteSize = 1;
        log_.Append("Page Write Size : None");
    }
}

void StartupLoad::ShowMessage() {
    ApplyShowMessage(EnsureBool("ShowMessage"), controls_.window);
}

void StartupLoad::DualFlash() {
    controls_.setup.dualFlash = EnsureBool("DualFlash");
}

void StartupLoad::LastFile() {
    if (!store_.Exists("LastFilePath") && !store_.Exists("LastFile")) {
        return;
    }
    auto& main = controls_.main;
    const auto path = store_.ReadText("LastFilePath");
    main.filePathHint = path;
    main.filePathText = store_.ReadText("LastFileName");
    bool reloaded = true;
    if (path.empty()) {
        reloaded = false;  // nothing to open
    } else if (hooks_.reloadLastFile) {
        reloaded = hooks_.reloadLastFile(path);
    }
    if (!reloaded) {
        store_.WriteText("LastFilePath", "");
        store_.WriteText("LastFileName", "");
        main.filePathText.clear();
        main.filePathHint.clear();
        log_.Append(kCantFindFileLine);
    }
}

void StartupLoad::DeviceBox() {
    if (store_.Exists("LastFlashID1") && store_.Exists("LastFlashID2") && hooks_.fillDeviceBox) {
        hooks_.fillDeviceBox();
    }
}

void StartupLoad::StepCheckBoxes() {
    auto& main = controls_.main;
    main.checkCheck = EnsureBool("CheckBox_Check");
    main.checkErase = EnsureBool("CheckBox_Erase");
    main.checkProgram = EnsureBool("CheckBox_Program");
    main.checkVerify = EnsureBool("CheckBox_Verify");
}

void StartupLoad::PageModeAndPins() {
    cache_.pageMode = EnsureInt("SpecialForm");
    controls_.window.pageMode = cache_.pageMode;
    EnsureDefault(store_, "PinDefNum");  // read when the pin-set list is filled
}

void StartupLoad::InternalClock() {
    controls_.setup.internalClock = EnsureBool("InternalClock");
}

void StartupLoad::SpecialWave() {
    EnsureDefault(store_, "ExtraECChipID");
    const int value = EnsureInt("SpecialWave");
    // Two items. SpecialWave 3 has no item of its own: it selects none, so that a later
    // Setup OK stores nothing over it until the operator picks one; a value outside 1..3
    // leaves the group as it is.
    if (value >= 1 && value <= 3) {
        controls_.setup.specialWaveItem = SpecialWaveItem(value);
    }
    EnsureDefault(store_, "USBTimeOutSec");
}

void StartupLoad::BreakAt0() {
    controls_.setup.breakAt0 = EnsureBool("BreakAt0");
}

void StartupLoad::KeyGrid() {
    auto& setup = controls_.setup;
    if (EnsureBool("RomKey")) {
        for (size_t i = 0; i < setup.keyCells.size(); ++i) {
            setup.keyCells[i] = HexDigits(kBuiltInRomKey[i], 2);
        }
        setup.keyGridEnabled = false;
        return;
    }
    for (size_t i = 0; i < setup.keyCells.size(); ++i) {
        EnsureDefault(store_, "Key" + std::to_string(i));
    }
    for (size_t i = 0; i < setup.keyCells.size(); ++i) {
        const auto value = store_.ReadInt("Key" + std::to_string(i));
        setup.keyCells[i] = HexDigits(static_cast<uint32_t>(value), 2);
    }
    setup.keyGridEnabled = true;
}

void StartupLoad::Unprotect() {
    auto& setup = controls_.setup;
    setup.unprotectTheLast1K = EnsureBool("UnprotectTheLast1K");
    const bool keyMatch = EnsureBool("UnprotectKeyMatch");
    if (keyMatch != setup.unprotectKeyMatch) {
        setup.unprotectKeyMatch = keyMatch;
        ApplyKeyMatchRule(keyMatch, setup);
    }
    setup.keyGridEnabled = keyMatch;
}

void StartupLoad::SmbAndQuickMode() {
    auto& setup = controls_.setup;
    const int speed = EnsureInt("SMBusSpeed");
    if (speed == 1 || speed == 2) {
        setup.smbSpeedItem = speed - 1;
    }
    setup.quickModeItem = ClampRadioItem(EnsureInt("QuickMode"), 3);
}

void StartupLoad::PdAddress() {
    cache_.pdI2cAddress = static_cast<uint8_t>(EnsureInt("PDI2CAddress") & 0xFF);
    controls_.setup.pdI2cAddress = HexDigits(cache_.pdI2cAddress, 2);
}

void StartupLoad::Remaining() {
    controls_.setup.switchRom = EnsureBool("SwitchRom");
    EnsureDefault(store_, "DesignatedEflashSizeKB");
    EnsureDefault(store_, "ReadEFlashID16Bytes");
    controls_.main.writeStatus.visible = EnsureInt("ShowWriteStatus") != 0;
}

}  // namespace quillon
